#include "appinfo/setting_values.h"

namespace kestrova {
namespace {

std::string_view UpToNul(std::string_view text) { return text.substr(0, text.find('\0')); }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<int32_t> ParseSettingInteger(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::string_view rest = text.substr(i);
  if (rest.starts_with("$") || rest.starts_with("0x") || rest.starts_with("0X")) {
    std::string_view digits = rest.substr(rest[0] == '$' ? 1 : 2);
    if (digits.empty() || digits.size() > 8) return std::nullopt;
    uint32_t value = 0;
    for (char c : digits) {
      int digit = HexDigit(c);
      if (digit < 0) return std::nullopt;
      value = (value << 4) | static_cast<uint32_t>(digit);
    }
    if (negative) value = 0u - value;
    return static_cast<int32_t>(value);
  }
  if (rest.empty()) return std::nullopt;
  int64_t value = 0;
  for (char c : rest) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > int64_t{1} << 31) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(value);
}

std::optional<int32_t> SettingInteger(const RegValue& value) {
  if (std::optional<uint32_t> number = value.DwordValue()) return static_cast<int32_t>(*number);
  if (value.IsText()) return ParseSettingInteger(UpToNul(value.data));
  return std::nullopt;
}

std::optional<std::string> SettingText(const RegValue& value) {
  if (value.IsText()) return std::string(UpToNul(value.data));
  if (std::optional<uint32_t> number = value.DwordValue()) {
    return std::to_string(static_cast<int32_t>(*number));
  }
  return std::nullopt;
}

}  // namespace kestrova
