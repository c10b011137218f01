#include "util/hex.h"

namespace kestrova {

std::string BytesToHex(std::string_view bytes) {
  std::string text(bytes.size() * 3, ' ');
  char* out = text.data();
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    out[0] = HexDigit(byte >> 4);
    out[1] = HexDigit(byte & 0x0F);
    out += 3;
  }
  return text;
}

std::string HexToBytes(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size() / 2 + 1);
  size_t i = 0;
  while (i < text.size()) {
    const int high = HexDigitValue(text[i], -1);
    if (high >= 0) {
      const int low = i + 1 < text.size() ? HexDigitValue(text[i + 1], -1) : -1;
      if (low >= 0) {
        bytes.push_back(static_cast<char>(high * 16 + low));
        i += 2;
      } else {
        bytes.push_back(static_cast<char>(high));
        ++i;
      }
      continue;
    }
    if (static_cast<unsigned char>(text[i]) > ' ') bytes.push_back(text[i]);
    ++i;
  }
  return bytes;
}

}  // namespace kestrova
