// Resuming a framer's scan where it stopped on the previous call.
#pragma once

#include <cstdint>
#include <string_view>

#include "distribution/distributor_records.h"

namespace kestrova {

// What a scan is worth when bytes left the head without a claim (a buffer bounded by the
// distributor): framers whose packet ends do not depend on where the head is go on from where
// they stopped; the others start afresh.
enum class HeadMove { kRestart, kContinue };

// The buffer as a framer sees it, and its scan state. A scan that belongs to another framer
// (or other settings), to another head, or that points outside the bytes starts afresh.
class FramerScan {
 public:
  FramerScan(VMurDistributor_ChannelRecord& rec, uint32_t owner,
             HeadMove head_move = HeadMove::kRestart)
      : bytes_(rec.Buffer->View()), head_(rec.Buffer->StreamOffset()), scan_(rec.Scan) {
    const bool head_moved_within =
        head_move == HeadMove::kContinue && scan_.head < head_ && head_ <= scan_.next;
    if (head_moved_within) scan_.head = head_;
    if (scan_.owner != owner || scan_.head != head_ || scan_.next < head_ ||
        scan_.next > head_ + bytes_.size()) {
      scan_ = DecodeScan{owner, head_, head_, {}};
    }
  }

  std::string_view bytes() const { return bytes_; }
  uint8_t at(size_t i) const { return static_cast<uint8_t>(bytes_[i]); }
  size_t size() const { return bytes_.size(); }
  // Index of the first byte not examined yet.
  size_t next() const { return static_cast<size_t>(scan_.next - head_); }
  bool fresh() const { return scan_.next == head_; }
  int64_t& value(int i) { return scan_.values[i]; }
  // The next call continues at index `i` (with the values as they are then).
  void StopAt(size_t i) { scan_.next = head_ + i; }
  // The next call starts afresh.
  void Forget() { scan_.owner = 0; }

 private:
  std::string_view bytes_;
  uint64_t head_;
  DecodeScan& scan_;
};

// Distinct owners: the protocol in the low byte, a setting the framer depends on above it.
constexpr uint32_t FramerOwner(int protocol, uint8_t setting = 0) {
  return static_cast<uint32_t>(protocol + 1) | static_cast<uint32_t>(setting) << 8;
}

inline void Claim(VMurDistributor_ChannelRecord& rec, size_t length, bool valid) {
  rec.PacketLength = static_cast<int32_t>(length);
  if (valid) rec.Failed = false;
}

inline bool IsLineEnd(uint8_t b) { return b == '\r' || b == '\n'; }

}  // namespace kestrova
