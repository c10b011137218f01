#include "distribution/channel_buffer.h"

#include <algorithm>

namespace kestrova {
namespace {
// Below this the consumed prefix is not worth a move.
constexpr size_t kCompactAtLeast = 4096;
}  // namespace

size_t ChannelBuffer::DropHead(size_t count) {
  const size_t removed = std::min(count, size());
  head_ += removed;
  dropped_ += removed;
  if (head_ == storage_.size()) {
    storage_.clear();
    head_ = 0;
  } else if (head_ >= kCompactAtLeast && head_ >= storage_.size() - head_) {
    // The live part is no longer than the dead prefix, so each byte is moved at most once per
    // byte consumed before it: linear overall.
    storage_.erase(0, head_);
    head_ = 0;
  }
  return removed;
}

}  // namespace kestrova
