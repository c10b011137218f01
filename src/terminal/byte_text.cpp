#include "terminal/byte_text.h"

#include "terminal/utf8.h"

namespace kestrova {
namespace {

constexpr char16_t kByteEscape = 0xDC00;

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

std::u16string BytesToEditText(std::string_view bytes) {
  std::u16string text;
  text.reserve(bytes.size());
  for (size_t pos = 0; pos < bytes.size();) {
    const size_t start = pos;
    const char32_t code_point = DecodeUtf8(bytes, pos);
    if (code_point >= 0x80 && pos - start == 1) {
      text.push_back(static_cast<char16_t>(kByteEscape + code_point));
    } else if (code_point >= 0x10000) {
      const char32_t offset = code_point - 0x10000;
      text.push_back(static_cast<char16_t>(0xD800 + (offset >> 10)));
      text.push_back(static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
    } else {
      text.push_back(static_cast<char16_t>(code_point));
    }
  }
  return text;
}

std::string EditTextToBytes(std::u16string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      const char32_t code_point =
          0x10000 + ((char32_t{unit} - 0xD800) << 10) + (char32_t{text[i + 1]} - 0xDC00);
      AppendUtf8(bytes, code_point);
      ++i;
    } else if (unit >= kByteEscape + 0x80 && unit <= kByteEscape + 0xFF) {
      bytes.push_back(static_cast<char>(unit - kByteEscape));
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      AppendUtf8(bytes, 0xFFFD);
    } else {
      AppendUtf8(bytes, unit);
    }
  }
  return bytes;
}

void RemoveLastCharacter(std::string& bytes) {
  if (bytes.empty()) return;
  // A sequence is at most four bytes long; decode from the earliest start that could reach the
  // end and keep the start of the last character found.
  size_t pos = bytes.size() > 4 ? bytes.size() - 4 : 0;
  size_t last = pos;
  while (pos < bytes.size()) {
    last = pos;
    DecodeUtf8(bytes, pos);
  }
  bytes.erase(last);
}

}  // namespace kestrova
