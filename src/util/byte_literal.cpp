#include "util/byte_literal.h"

#include "util/hex.h"

namespace kestrova {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads a "#" code at `position`; false (and nothing read) when there is none.
bool ReadCode(std::string_view text, size_t& position, std::string& out) {
  size_t i = position + 1;
  if (i < text.size() && text[i] == '$') {
    ++i;
    int value = 0;
    const size_t first = i;
    while (i < text.size() && i - first < 2 && HexDigitValue(text[i], -1) >= 0) {
      value = value * 16 + HexDigitValue(text[i], 0);
      ++i;
    }
    if (i == first) return false;
    out.push_back(static_cast<char>(value));
    position = i;
    return true;
  }
  const size_t first = i;
  int value = 0;
  while (i < text.size() && i - first < 3 && IsDigit(text[i]) &&
         value * 10 + (text[i] - '0') <= 255) {
    value = value * 10 + (text[i] - '0');
    ++i;
  }
  if (i == first) return false;
  out.push_back(static_cast<char>(value));
  position = i;
  return true;
}

}  // namespace

std::string ByteStringLiteral(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  size_t i = 0;
  // Leading plain text.
  while (i < text.size() && text[i] != '"') {
    if (text[i] == '#' && ReadCode(text, i, bytes)) break;
    bytes.push_back(text[i++]);
  }
  // Quoted parts and codes.
  while (i < text.size()) {
    if (text[i] == '"') {
      ++i;
      while (i < text.size()) {
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            bytes.push_back('"');
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        bytes.push_back(text[i++]);
      }
    } else if (text[i] != '#' || !ReadCode(text, i, bytes)) {
      break;
    }
  }
  return bytes;
}

}  // namespace kestrova
