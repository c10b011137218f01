// Reads registry files: exports as "REGEDIT4" (8-bit text) or "Windows Registry Editor Version
// 5.00" (UTF-16 LE with a byte-order mark, or 8-bit), and this program's own hives.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/reg_hive.h"

namespace kestrova {

struct RegParseError {
  size_t line = 0;  // 1-based
  std::string message;

  // "line 12: <message>"
  std::string Describe() const;
};

struct RegParseResult {
  std::vector<RegEdit> edits;  // in file order
  std::optional<RegParseError> error;

  bool Ok() const { return !error.has_value(); }
};

// Strings are UTF-8 in the result: a UTF-16 file is decoded; an 8-bit file's text is taken as
// it stands. Texts given as hex(1), hex(2) or hex(7) are UTF-16 in a version 5 file and 8-bit in
// a REGEDIT4 file; one terminating NUL of a hex(1) or hex(2) text is dropped. An empty file is
// a valid file without keys.
RegParseResult ParseRegText(std::string_view bytes);

// Applies a whole file to `hive`; on an error the hive is left unchanged.
std::optional<RegParseError> ReadRegText(std::string_view bytes, RegHive& hive);

}  // namespace kestrova
