#include "monitor/entry_values.h"

#include <charconv>

#include "monitor/framers.h"
#include "util/hex.h"

namespace kestrova {
namespace {

// Two hex digits as a byte, or -1.
int HexByte(std::string_view text) {
  if (text.size() != 2) return -1;
  const int high = HexDigitValue(text[0], -1);
  const int low = HexDigitValue(text[1], -1);
  return high < 0 || low < 0 ? -1 : high * 16 + low;
}

}  // namespace

FrameDelimiterEntry ReadFrameDelimiter(std::string_view text) {
  const int value = HexByte(text);
  if (value < 0) return {kDefaultFrameDelimiter, false};
  return {static_cast<uint8_t>(value), true};
}

SkipByteEntry ReadSkipByte(std::string_view text) {
  if (text.empty()) return {-1, true};
  if (text.front() == '\'') {
    if (text.size() == 3 && text[2] == '\'') return {static_cast<uint8_t>(text[1]), true};
    return {-1, false};
  }
  const int value = HexByte(text);
  return {value, value >= 0};
}

std::string RemoveSkipByte(std::string_view data, int skip_byte) {
  std::string kept;
  kept.reserve(data.size());
  for (char c : data) {
    if (static_cast<uint8_t>(c) != skip_byte) kept += c;
  }
  return kept;
}

int ReadPacketTimeout(std::string_view text) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end) return -1;
  return value;
}

}  // namespace kestrova
