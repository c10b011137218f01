// Reads one named section out of an ELF file (32- or 64-bit, either byte order), checking
// every offset and size against the file, so any file at all can be given.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrova {

// True with the section's bytes in `contents` when `path` is a regular ELF file holding a
// section `name` with file contents of at most `max_size` bytes; false for anything else
// (missing or unreadable file, not ELF, damaged headers, no such section).
bool ReadElfSection(const std::string& path, std::string_view name, size_t max_size,
                    std::string& contents);

}  // namespace kestrova
