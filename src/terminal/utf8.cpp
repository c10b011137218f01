#include "terminal/utf8.h"

namespace kestrova {

char32_t DecodeUtf8(std::string_view bytes, size_t& pos) {
  const auto lead = static_cast<unsigned char>(bytes[pos]);
  int extra = 0;
  char32_t code_point = lead;
  char32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1;
    code_point = lead & 0x1Fu;
    minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2;
    code_point = lead & 0x0Fu;
    minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3;
    code_point = lead & 0x07u;
    minimum = 0x10000;
  }
  if (extra == 0 || bytes.size() - pos <= static_cast<size_t>(extra)) {
    ++pos;
    return lead;
  }
  for (int i = 1; i <= extra; ++i) {
    const auto next = static_cast<unsigned char>(bytes[pos + static_cast<size_t>(i)]);
    if ((next & 0xC0u) != 0x80u) {
      ++pos;
      return lead;
    }
    code_point = (code_point << 6) | (next & 0x3Fu);
  }
  if (code_point < minimum || code_point > 0x10FFFF ||
      (code_point >= 0xD800 && code_point <= 0xDFFF)) {
    ++pos;
    return lead;
  }
  pos += static_cast<size_t>(extra) + 1;
  return code_point;
}

void AppendUtf8(std::string& out, char32_t code_point) {
  if (code_point < 0x80) {
    out.push_back(static_cast<char>(code_point));
  } else if (code_point < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code_point >> 6)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else if (code_point < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code_point >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code_point >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  }
}

}  // namespace kestrova
