#include "platform/shared_memory_block.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

namespace kestrova {
namespace {

// Longest name part the system takes (NAME_MAX), and where a longer one is cut for its hash.
constexpr size_t kMaxNameLength = 255;
constexpr size_t kCutLength = 200;

bool AllowedInName(unsigned char c) { return c > 0x20 && c < 0x7F && c != '/' && c != '%'; }

uint64_t Fnv1a(std::string_view text) {
  uint64_t hash = 0xcbf29ce484222325u;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 0x100000001b3u;
  }
  return hash;
}

}  // namespace

std::string SharedMemoryName(std::string_view name) {
  std::string escaped;
  escaped.reserve(name.size() + 1);
  for (unsigned char c : name) {
    if (AllowedInName(c)) {
      escaped += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      escaped += hex;
    }
  }
  if (escaped.size() > kMaxNameLength) {
    char hash[20];
    std::snprintf(hash, sizeof hash, "~%016llx", static_cast<unsigned long long>(Fnv1a(name)));
    escaped.resize(kCutLength);
    escaped += hash;
  }
  return "/" + escaped;
}

ErrnoResult<std::unique_ptr<SharedMemoryBlock>> SharedMemoryBlock::Open(std::string_view name,
                                                                        size_t size) {
  const std::string shm_name = SharedMemoryName(name);
  const size_t words = std::max<size_t>(1, (size + sizeof(uint32_t) - 1) / sizeof(uint32_t));
  const size_t bytes = words * sizeof(uint32_t);
  int fd = -1;
  bool created = false;
  // Another user of the name may remove it between our two attempts; then try again.
  for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
    fd = shm_open(shm_name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    created = fd >= 0;
    if (fd < 0 && errno == EEXIST) fd = shm_open(shm_name.c_str(), O_RDWR | O_CLOEXEC, 0);
    if (fd < 0 && errno != ENOENT) return {errno, nullptr};
  }
  if (fd < 0) return {ENOENT, nullptr};
  // The creator may not have sized the block yet; growing it is the same for everyone, and
  // touching a page beyond the end would kill us.
  struct stat info {};
  if (fstat(fd, &info) != 0 || (static_cast<size_t>(info.st_size) < bytes &&
                                ftruncate(fd, static_cast<off_t>(bytes)) != 0)) {
    const int error = errno;
    close(fd);
    return {error, nullptr};
  }
  void* mapped = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  const int map_error = errno;
  close(fd);
  if (mapped == MAP_FAILED) return {map_error, nullptr};
  return {0, std::unique_ptr<SharedMemoryBlock>(
                 new SharedMemoryBlock(static_cast<uint32_t*>(mapped), words, created))};
}

int SharedMemoryBlock::Unlink(std::string_view name) {
  return shm_unlink(SharedMemoryName(name).c_str()) == 0 ? 0 : errno;
}

SharedMemoryBlock::SharedMemoryBlock(uint32_t* words, size_t word_count, bool created)
    : words_(words), word_count_(word_count), created_(created) {}

SharedMemoryBlock::~SharedMemoryBlock() { munmap(words_, word_count_ * sizeof(uint32_t)); }

uint32_t SharedMemoryBlock::Word(size_t index) const {
  return std::atomic_ref<uint32_t>(words_[index]).load();
}

void SharedMemoryBlock::SetWord(size_t index, uint32_t value) {
  std::atomic_ref<uint32_t>(words_[index]).store(value);
}

}  // namespace kestrova
