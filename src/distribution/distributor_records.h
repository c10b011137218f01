// The records of the distribution chain: what a decode handler claims for one buffer, the
// handlers and claims of one distributor and direction, and the buffers the head keeps.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "distribution/channel_buffer.h"
#include "distribution/distributor_events.h"
#include "util/channel_key.h"
#include "util/color.h"

namespace kestrova {

// Where a decode handler's scan of one buffer stopped and what it had seen by then, kept from
// call to call so that a growing packet is examined once rather than on every block. The chain
// never touches it. Positions are stream offsets (ChannelBuffer::StreamOffset() based), so a
// handler notices when the head moved under it.
struct DecodeScan {
  uint32_t owner = 0;  // which decoder (and settings) the rest belongs to; 0: nobody
  uint64_t head = 0;   // stream offset of the head the scan started from
  uint64_t next = 0;   // stream offset of the next byte to examine
  int64_t values[3] = {};
};

// What one distributor claims at the head of one buffer. A decode handler reads the bytes
// through Buffer and claims a packet by setting PacketLength > 0 (and Failed = false when the
// packet is valid).
struct VMurDistributor_ChannelRecord {
  ChannelBuffer* Buffer = nullptr;  // cached: the buffer this record is about
  int32_t PacketLength = 0;         // 0: no claim
  bool Failed = true;
  TColor FilterColor = clNone;  // chosen for the current packet by a GetColor handler
  TColor ShownColor = clNone;   // last reported by GetFilterColor
  DecodeScan Scan;
};
using PVMurDistributor_ChannelRecord = VMurDistributor_ChannelRecord*;

// One distributor's handlers and claims for one direction (0 receive, 1 send).
struct VMurDistributor_DataRecord {
  TimeEvent Decode;
  TransferEvent Transfer;
  PollEvent Poll;
  CharPollEvent CharPoll;
  AdvancedDecodeEvent AdvancedDecode;
  AdvancedTransferEvent AdvancedTransfer;
  AdvancedPollEvent AdvancedPoll;
  AdvancedCharPollEvent AdvancedCharPoll;
  AdvancedGetColorEvent AdvancedGetColor;
  // One per channel, as many as the head has channels; held by pointer so that a record's
  // address stays valid while a handler works on it, even if channels come or go meanwhile.
  std::vector<std::unique_ptr<VMurDistributor_ChannelRecord>> Channels;
};

// One buffer (channel and direction) held by the head of the chain.
struct VMurDistributor_TopDataRecord {
  bool Busy = false;        // being processed
  bool Rerun = false;       // bytes arrived while being processed: go round again
  int64_t Transferred = 0;  // bytes at the head of Data already handed to the Transfer events
  ChannelBuffer Data;
  ChannelKey Channel;
  bool Closed = false;  // communication ended; for channels >= 1 deletion is pending
};

}  // namespace kestrova
