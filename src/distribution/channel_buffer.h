// The bytes of one channel and direction waiting in the distribution chain: appended at the
// tail, consumed from the head in amortised constant time per byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrova {

class ChannelBuffer {
 public:
  std::string_view View() const { return std::string_view(storage_).substr(head_); }
  size_t size() const { return storage_.size() - head_; }
  bool empty() const { return size() == 0; }
  char operator[](size_t i) const { return storage_[head_ + i]; }

  void Append(std::string_view bytes) { storage_.append(bytes); }
  // Removes min(count, size()) bytes from the head and returns how many went.
  size_t DropHead(size_t count);

  // How many bytes have ever left the head: a framer that keeps a scan position between calls
  // stores it as StreamOffset() + position and so survives bytes dropped by anybody.
  uint64_t StreamOffset() const { return dropped_; }

 private:
  std::string storage_;
  size_t head_ = 0;  // consumed bytes still at the front of storage_
  uint64_t dropped_ = 0;
};

}  // namespace kestrova
