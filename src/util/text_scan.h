// Small scanners over configuration text: skipping spaces, reading a decimal integer, testing
// for a keyword. Positions are 0-based indices of the next character to read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kestrova {

// Moves `position` past spaces and TABs.
void SkipSpaces(std::string_view text, size_t& position);

// Reads an optional "-" and decimal digits at `position` into `value` and moves past them.
// Without digits nothing is read and false is returned. Values beyond the int64 range are
// limited to it.
bool ReadInteger(std::string_view text, size_t& position, int64_t& value);

// True when the text at `position` begins with `keyword`, letter case ignored (the keyword is
// written in upper case). With `advance` the position moves behind the keyword on a match.
bool TestKeyword(std::string_view text, size_t& position, std::string_view keyword, bool advance);

}  // namespace kestrova
