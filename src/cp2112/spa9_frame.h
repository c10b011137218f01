// SPA9 frames on the bus: ':' (0x3A), a length byte and that many payload bytes. Writes carry
// at most 59 payload bytes so that a frame fits one 61-byte transfer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "cp2112/cp2112_types.h"

namespace kestrova {

inline constexpr size_t kCP2112TransferBytes = 61;
inline constexpr size_t kSpa9MaxPayload = kCP2112TransferBytes - 2;
inline constexpr char kSpa9Start = ':';

// The first frame's worth of `pending`: the bus bytes to send, and how many bytes of `pending`
// they take. Other protocols send up to 61 bytes as they are.
struct CP2112WriteChunk {
  std::string bus_bytes;
  size_t taken = 0;
};
CP2112WriteChunk NextWriteChunk(TProtocolCP2112 protocol, std::string_view pending);

// Gathers the responses of one 61-byte read transfer into the bytes it yields. With SPA9 only
// the payload of a frame at the start of the transfer counts, and a non-zero byte after the
// frame means the slave's side is out of step (the bridge then needs a USB reset).
class CP2112ReadCollector {
 public:
  explicit CP2112ReadCollector(TProtocolCP2112 protocol) : protocol_(protocol) {}

  // Adds one response; false when it carried more bytes than the transfer still owed (the
  // excess is dropped).
  bool Add(std::span<const uint8_t> response);

  size_t BytesRead() const { return bytes_read_; }
  const std::string& Data() const { return data_; }
  bool NeedsReset() const { return needs_reset_; }

 private:
  void AddSpa9Byte(uint8_t byte);

  const TProtocolCP2112 protocol_;
  size_t bytes_read_ = 0;
  std::string data_;
  bool not_a_frame_ = false;
  size_t payload_length_ = 0;
  bool needs_reset_ = false;
};

}  // namespace kestrova
