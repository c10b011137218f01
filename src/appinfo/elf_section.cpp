#include "appinfo/elf_section.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace kestrova {
namespace {

constexpr uint32_t kSectionNoBits = 8;       // SHT_NOBITS: no contents in the file
constexpr uint32_t kExtendedIndex = 0xFFFF;  // SHN_XINDEX
constexpr size_t kMaxNameTable = 1 << 20;

class File {
 public:
  explicit File(const std::string& path)
      // Non-blocking, so that a FIFO or device given by mistake cannot hang the caller.
      : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)) {}
  ~File() {
    if (fd_ >= 0) close(fd_);
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // The size of a regular file, or -1.
  int64_t RegularSize() const {
    struct stat status {};
    if (fd_ < 0 || fstat(fd_, &status) != 0 || !S_ISREG(status.st_mode)) return -1;
    return status.st_size;
  }

  // Reads exactly `size` bytes at `offset`.
  bool ReadAt(uint64_t offset, size_t size, void* buffer) const {
    auto* out = static_cast<char*>(buffer);
    while (size > 0) {
      const ssize_t done = pread(fd_, out, size, static_cast<off_t>(offset));
      if (done <= 0) return false;
      out += done;
      offset += static_cast<uint64_t>(done);
      size -= static_cast<size_t>(done);
    }
    return true;
  }

 private:
  int fd_;
};

// Fields of a header read in the file's byte order.
class Fields {
 public:
  Fields(const unsigned char* bytes, size_t size, bool big_endian)
      : bytes_(bytes), size_(size), big_endian_(big_endian) {}

  uint64_t Get(size_t offset, size_t width) const {
    if (offset + width > size_) return 0;
    uint64_t value = 0;
    for (size_t i = 0; i < width; ++i) {
      const size_t index = big_endian_ ? offset + i : offset + width - 1 - i;
      value = (value << 8) | bytes_[index];
    }
    return value;
  }

 private:
  const unsigned char* bytes_;
  size_t size_;
  bool big_endian_;
};

struct Section {
  uint32_t name = 0;
  uint32_t type = 0;
  uint64_t offset = 0;
  uint64_t size = 0;
  uint32_t link = 0;
};

struct Layout {
  bool is64;
  bool big_endian;
  uint64_t file_size;
  uint64_t table_offset;
  uint64_t entry_size;
};

bool ReadSection(const File& file, const Layout& layout, uint64_t index, Section& section) {
  unsigned char bytes[64];
  const size_t size = layout.is64 ? 64 : 40;
  if (!file.ReadAt(layout.table_offset + index * layout.entry_size, size, bytes)) return false;
  const Fields fields(bytes, size, layout.big_endian);
  section.name = static_cast<uint32_t>(fields.Get(0, 4));
  section.type = static_cast<uint32_t>(fields.Get(4, 4));
  section.offset = layout.is64 ? fields.Get(24, 8) : fields.Get(16, 4);
  section.size = layout.is64 ? fields.Get(32, 8) : fields.Get(20, 4);
  section.link = static_cast<uint32_t>(layout.is64 ? fields.Get(40, 4) : fields.Get(24, 4));
  return true;
}

bool InsideFile(const Section& section, uint64_t file_size) {
  return section.type != kSectionNoBits && section.offset <= file_size &&
         section.size <= file_size - section.offset;
}

}  // namespace

bool ReadElfSection(const std::string& path, std::string_view name, size_t max_size,
                    std::string& contents) {
  const File file(path);
  const int64_t file_size = file.RegularSize();
  unsigned char header[64] = {};
  if (file_size < 52 || !file.ReadAt(0, file_size >= 64 ? 64 : 52, header)) return false;
  if (std::memcmp(header,
                  "\x7F"
                  "ELF",
                  4) != 0)
    return false;
  if ((header[4] != 1 && header[4] != 2) || (header[5] != 1 && header[5] != 2)) return false;

  Layout layout{header[4] == 2, header[5] == 2, static_cast<uint64_t>(file_size), 0, 0};
  if (layout.is64 && file_size < 64) return false;
  const Fields fields(header, sizeof header, layout.big_endian);
  layout.table_offset = layout.is64 ? fields.Get(0x28, 8) : fields.Get(0x20, 4);
  layout.entry_size = fields.Get(layout.is64 ? 0x3A : 0x2E, 2);
  uint64_t count = fields.Get(layout.is64 ? 0x3C : 0x30, 2);
  uint64_t names_index = fields.Get(layout.is64 ? 0x3E : 0x32, 2);
  if (layout.table_offset == 0 || layout.entry_size < (layout.is64 ? 64u : 40u)) return false;
  if (layout.table_offset > layout.file_size) return false;

  // Many sections: the real count and name-table index are kept in section 0.
  if (count == 0 || names_index == kExtendedIndex) {
    Section first;
    if (!ReadSection(file, layout, 0, first)) return false;
    if (count == 0) count = first.size;
    if (names_index == kExtendedIndex) names_index = first.link;
  }
  if (count == 0 || count > (layout.file_size - layout.table_offset) / layout.entry_size) {
    return false;
  }
  if (names_index >= count) return false;

  Section names_section;
  if (!ReadSection(file, layout, names_index, names_section) ||
      !InsideFile(names_section, layout.file_size) || names_section.size > kMaxNameTable) {
    return false;
  }
  std::vector<char> names(names_section.size);
  if (!file.ReadAt(names_section.offset, names.size(), names.data())) return false;

  for (uint64_t i = 0; i < count; ++i) {
    Section section;
    if (!ReadSection(file, layout, i, section)) return false;
    if (section.name >= names.size()) continue;
    const char* start = names.data() + section.name;
    const void* end = std::memchr(start, '\0', names.size() - section.name);
    if (end == nullptr) continue;
    if (std::string_view(start, static_cast<const char*>(end) - start) != name) continue;
    if (!InsideFile(section, layout.file_size) || section.size > max_size) return false;
    contents.resize(section.size);
    return file.ReadAt(section.offset, contents.size(), contents.data());
  }
  return false;
}

}  // namespace kestrova
