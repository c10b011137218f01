// A small named block of memory shared by the running copies of the program (POSIX shared
// memory), read and written as 32-bit words; the port grab keeps its list of owners in one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/errno_result.h"

namespace kestrova {

// The shared-memory object name for `name`: "/" followed by `name` with every character that
// may not appear in such a name ("/", "%", control and non-ASCII bytes) written as %XX, so
// that different names never meet. Names too long for the system are shortened with a hash.
std::string SharedMemoryName(std::string_view name);

class SharedMemoryBlock {
 public:
  // Maps the block `name` (mapped through SharedMemoryName), creating it with `size` zero
  // bytes when it does not exist yet; `size` is rounded up to whole words. Only the current
  // user may open it (mode 0600). The block outlives its users; Unlink removes the name.
  static ErrnoResult<std::unique_ptr<SharedMemoryBlock>> Open(std::string_view name, size_t size);
  // Removes the name; mappings stay valid, the next Open creates a fresh block.
  static int Unlink(std::string_view name);

  ~SharedMemoryBlock();
  SharedMemoryBlock(const SharedMemoryBlock&) = delete;
  SharedMemoryBlock& operator=(const SharedMemoryBlock&) = delete;

  // True when this Open created the block (it then holds zeros).
  bool created() const { return created_; }
  size_t word_count() const { return word_count_; }

  // Single-word reads and writes, each atomic; other processes may change the block at any
  // time, and nothing orders a group of words: the users agree on who writes when.
  // `index` must be below word_count().
  uint32_t Word(size_t index) const;
  void SetWord(size_t index, uint32_t value);

 private:
  SharedMemoryBlock(uint32_t* words, size_t word_count, bool created);

  uint32_t* words_;
  size_t word_count_;
  bool created_;
};

}  // namespace kestrova
