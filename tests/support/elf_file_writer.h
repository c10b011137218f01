// Builds small ELF files with chosen sections (32- or 64-bit, either byte order) for tests of
// code that reads them; the layout is header, section contents, name table, section headers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrova::testing_support {

struct ElfSection {
  std::string name;
  std::string contents;
  uint32_t type = 1;  // SHT_PROGBITS; 8 is SHT_NOBITS (no contents in the file)
};

struct ElfOptions {
  bool is64 = true;
  bool big_endian = false;
  // Keep the section count and name-table index in section 0, as files with very many
  // sections do.
  bool extended_numbering = false;
};

class ElfFileWriter {
 public:
  static std::string Build(const std::vector<ElfSection>& sections, const ElfOptions& options) {
    ElfFileWriter writer(options);
    return writer.Run(sections);
  }

 private:
  explicit ElfFileWriter(const ElfOptions& options) : options_(options) {}

  void Put(std::string& out, size_t offset, uint64_t value, size_t width) const {
    for (size_t i = 0; i < width; ++i) {
      const size_t shift = 8 * (options_.big_endian ? width - 1 - i : i);
      out[offset + i] = static_cast<char>((value >> shift) & 0xFF);
    }
  }

  std::string Run(const std::vector<ElfSection>& sections) {
    const bool is64 = options_.is64;
    const size_t header_size = is64 ? 64 : 52;
    const size_t entry_size = is64 ? 64 : 40;
    std::string file(header_size, '\0');

    std::vector<ElfSection> all = {{"", "", 0}};
    all.insert(all.end(), sections.begin(), sections.end());
    std::string names(1, '\0');
    std::vector<uint64_t> name_offsets;
    std::vector<uint64_t> offsets;
    for (const auto& section : all) {
      name_offsets.push_back(section.name.empty() ? 0 : names.size());
      if (!section.name.empty()) names += section.name + '\0';
      offsets.push_back(file.size());
      if (section.type != 8) file += section.contents;
    }
    name_offsets.push_back(names.size());
    names += std::string(".shstrtab") + '\0';
    offsets.push_back(file.size());
    file += names;
    all.push_back({".shstrtab", names, 3});

    const uint64_t table_offset = file.size();
    file.resize(file.size() + all.size() * entry_size, '\0');
    for (size_t i = 0; i < all.size(); ++i) {
      const size_t at = table_offset + i * entry_size;
      uint64_t size = all[i].contents.size();
      uint32_t link = 0;
      if (i == 0 && options_.extended_numbering) {
        size = all.size();
        link = static_cast<uint32_t>(all.size() - 1);
      }
      Put(file, at, name_offsets[i], 4);
      Put(file, at + 4, all[i].type, 4);
      Put(file, at + (is64 ? 24 : 16), i == 0 ? 0 : offsets[i], is64 ? 8 : 4);
      Put(file, at + (is64 ? 32 : 20), size, is64 ? 8 : 4);
      Put(file, at + (is64 ? 40 : 24), link, 4);
    }

    file[0] = 0x7F;
    file[1] = 'E';
    file[2] = 'L';
    file[3] = 'F';
    file[4] = is64 ? 2 : 1;
    file[5] = options_.big_endian ? 2 : 1;
    file[6] = 1;
    Put(file, 16, 2, 2);  // an executable
    Put(file, is64 ? 0x28 : 0x20, table_offset, is64 ? 8 : 4);
    Put(file, is64 ? 0x34 : 0x28, header_size, 2);
    Put(file, is64 ? 0x3A : 0x2E, entry_size, 2);
    Put(file, is64 ? 0x3C : 0x30, options_.extended_numbering ? 0 : all.size(), 2);
    Put(file, is64 ? 0x3E : 0x32, options_.extended_numbering ? 0xFFFF : all.size() - 1, 2);
    return file;
  }

  ElfOptions options_;
};

}  // namespace kestrova::testing_support
