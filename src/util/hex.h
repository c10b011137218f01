// Hex digits and the hex form of byte strings used by the terminal's hex line and the logger.
#pragma once

#include <string>
#include <string_view>

namespace kestrova {

// "0".."9", "A".."F" for 0..15; "?" for any other value.
constexpr char HexDigit(int value) {
  if (value < 0 || value > 15) return '?';
  return static_cast<char>(value < 10 ? '0' + value : 'A' + value - 10);
}

// 0..15 for "0".."9", "A".."F", "a".."f"; `default_value` for any other character.
constexpr int HexDigitValue(char c, int default_value) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return default_value;
}

// Each byte as two upper-case hex digits and one space: "AB" gives "41 42 ".
std::string BytesToHex(std::string_view bytes);

// Reads hex text left to right: two adjacent hex digits make one byte (first digit high), a lone
// digit makes a byte of its own value, any other character above space is taken over as it is,
// spaces and control characters only separate. "41 42" and "4142" give "AB"; "7 x" gives
// 07 and "x".
std::string HexToBytes(std::string_view text);

}  // namespace kestrova
