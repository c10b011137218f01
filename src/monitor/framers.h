// The six protocol framers of the traffic monitor. Each looks at the head of a buffer through
// a claim record and claims the packet that ends first; bytes without a packet end wait for
// more. Each keeps its scan in the record, so a growing packet is examined once, not on every
// block.
#pragma once

#include <cstdint>

#include "distribution/distributor_records.h"

namespace kestrova {

// The items of the protocol choice, in their order.
enum class Protocol : int { kHex = 0, kBase64 = 1, kText = 2, kTextRN = 3, kFatek = 4, kA4A3 = 5 };
inline constexpr int kProtocolCount = 6;

// The protocol's name as the protocol choice shows it and the settings store it.
const char* ProtocolName(Protocol protocol);

inline constexpr uint8_t kDefaultFrameDelimiter = 0x7E;

// Hex: a packet ends with the frame delimiter, or before three plus signs.
void FrameHex(VMurDistributor_ChannelRecord& rec, uint8_t delimiter);
// Base64: a packet ends before the first byte with the top bit set.
void FrameBase64(VMurDistributor_ChannelRecord& rec);
// Text: a packet ends after its run of CR/LF characters, once a further byte shows the run over.
void FrameText(VMurDistributor_ChannelRecord& rec);
// TextRN: a packet ends with LF or the frame delimiter.
void FrameTextRN(VMurDistributor_ChannelRecord& rec, uint8_t delimiter);
// Fatek: STX ... checksum ETX frames; garbage before an STX is claimed as failed.
void FrameFatek(VMurDistributor_ChannelRecord& rec);
// A4A3: frames from $A4 to $A3, or lines; never valid.
void FrameA4A3(VMurDistributor_ChannelRecord& rec);

// The framer of `protocol`.
void Frame(Protocol protocol, uint8_t delimiter, VMurDistributor_ChannelRecord& rec);

}  // namespace kestrova
