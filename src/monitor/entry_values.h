// What the main window's small entry boxes mean: the frame delimiter, the skip byte and the
// packet timeout. An entry that cannot be read falls back to its default and is marked so the
// box can be shown in warning colour.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrova {

struct FrameDelimiterEntry {
  uint8_t delimiter;
  bool valid;
};
// Exactly two hex digits; anything else gives $7E.
FrameDelimiterEntry ReadFrameDelimiter(std::string_view text);

struct SkipByteEntry {
  int value;  // -1: no byte is skipped
  bool valid;
};
// Empty: none. 'c' (three characters, quoted): that character. Two characters: a hex byte.
SkipByteEntry ReadSkipByte(std::string_view text);

// `data` without any byte equal to `skip_byte` (-1: unchanged).
std::string RemoveSkipByte(std::string_view data, int skip_byte);

// Milliseconds; -1 (no pause rule) when the text is not an integer.
int ReadPacketTimeout(std::string_view text);

}  // namespace kestrova
