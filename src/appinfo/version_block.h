// The version block that the build embeds in each program (the ELF section ".kestrova_version")
// and its reading. The block is the magic text "KestrovaVersion1" and a NUL, then entries
// "path" NUL "value" NUL, ended by an empty path or the block's end. Paths name values as a
// version resource does: "\VarFileInfo\Translation" lists the translations as eight hex
// digits each (language, code page), separated by spaces; "\StringFileInfo\<translation>\<name>"
// holds the string entries of one translation.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

namespace kestrova {

inline constexpr std::string_view kVersionSectionName = ".kestrova_version";
inline constexpr std::string_view kVersionBlockMagic{"KestrovaVersion1\0", 17};
inline constexpr size_t kMaxVersionBlockSize = size_t{64} * 1024;

using VersionValues = std::map<std::string, std::string, std::less<>>;

// The values of a block, or false when it is not a well-formed block.
bool ParseVersionBlock(std::string_view block, VersionValues& values);

}  // namespace kestrova
