#include "cp2112/spa9_frame.h"

#include <algorithm>

namespace kestrova {

CP2112WriteChunk NextWriteChunk(TProtocolCP2112 protocol, std::string_view pending) {
  CP2112WriteChunk chunk;
  if (protocol != cp2112pSPA9) {
    chunk.taken = std::min(pending.size(), kCP2112TransferBytes);
    chunk.bus_bytes = pending.substr(0, chunk.taken);
    return chunk;
  }
  chunk.taken = std::min(pending.size(), kSpa9MaxPayload);
  chunk.bus_bytes.reserve(chunk.taken + 2);
  chunk.bus_bytes.push_back(kSpa9Start);
  chunk.bus_bytes.push_back(static_cast<char>(chunk.taken));
  chunk.bus_bytes.append(pending.substr(0, chunk.taken));
  return chunk;
}

bool CP2112ReadCollector::Add(std::span<const uint8_t> response) {
  const size_t owed = kCP2112TransferBytes - bytes_read_;
  const bool within = response.size() <= owed;
  response = response.first(std::min(response.size(), owed));
  for (uint8_t byte : response) {
    if (protocol_ == cp2112pSPA9) {
      AddSpa9Byte(byte);
    } else {
      data_.push_back(static_cast<char>(byte));
    }
    ++bytes_read_;
  }
  return within;
}

void CP2112ReadCollector::AddSpa9Byte(uint8_t byte) {
  const size_t position = bytes_read_;
  if (position == 0) {
    not_a_frame_ = byte != static_cast<uint8_t>(kSpa9Start);
  } else if (not_a_frame_) {
    return;
  } else if (position == 1) {
    payload_length_ = byte & 0x3F;
  } else if (position < payload_length_ + 2) {
    data_.push_back(static_cast<char>(byte));
  } else if (byte != 0) {
    needs_reset_ = true;
  }
}

}  // namespace kestrova
