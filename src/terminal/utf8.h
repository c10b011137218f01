// UTF-8 decoding and encoding for the terminal view, which shows 8-bit traffic and the
// program's own UTF-8 messages side by side.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrova {

// Decodes the code point at `pos` and moves `pos` past it. A byte that does not start a valid,
// shortest-form sequence stands for itself (its Latin-1 character), so any byte string shows.
char32_t DecodeUtf8(std::string_view bytes, size_t& pos);

void AppendUtf8(std::string& out, char32_t code_point);

// Code points from U+10000 take two UTF-16 units.
constexpr int Utf16Units(char32_t code_point) { return code_point >= 0x10000 ? 2 : 1; }

// Characters the rich-text widget would take as a paragraph or frame break; shown as U+FFFD
// so that only CR and LF break a line.
constexpr bool IsHiddenBreak(char32_t code_point) {
  return code_point == 0x2029 || code_point == 0xFDD0 || code_point == 0xFDD1;
}

}  // namespace kestrova
