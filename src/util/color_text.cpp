#include "util/color_text.h"

#include <cstdio>

#include "util/ascii.h"
#include "util/exception.h"
#include "util/hex.h"

namespace kestrova {
namespace {

struct NamedColor {
  std::string_view name;
  TColor color;
};

// The first name of a colour is the one written for it.
constexpr NamedColor kNamedColors[] = {
    {"clBlack", clBlack},
    {"clMaroon", clMaroon},
    {"clGreen", clGreen},
    {"clOlive", clOlive},
    {"clNavy", clNavy},
    {"clPurple", clPurple},
    {"clTeal", clTeal},
    {"clGray", clGray},
    {"clSilver", clSilver},
    {"clRed", clRed},
    {"clLime", clLime},
    {"clYellow", clYellow},
    {"clBlue", clBlue},
    {"clFuchsia", clFuchsia},
    {"clAqua", clAqua},
    {"clWhite", clWhite},
    {"clMoneyGreen", clMoneyGreen},
    {"clSkyBlue", clSkyBlue},
    {"clCream", clCream},
    {"clMedGray", clMedGray},
    {"clNone", clNone},
    {"clDefault", clDefault},
    {"clScrollBar", clScrollBar},
    {"clBackground", clBackground},
    {"clActiveCaption", clActiveCaption},
    {"clInactiveCaption", clInactiveCaption},
    {"clMenu", clMenu},
    {"clWindow", clWindow},
    {"clWindowFrame", clWindowFrame},
    {"clMenuText", clMenuText},
    {"clWindowText", clWindowText},
    {"clCaptionText", clCaptionText},
    {"clActiveBorder", clActiveBorder},
    {"clInactiveBorder", clInactiveBorder},
    {"clAppWorkSpace", clAppWorkSpace},
    {"clHighlight", clHighlight},
    {"clHighlightText", clHighlightText},
    {"clBtnFace", clBtnFace},
    {"clBtnShadow", clBtnShadow},
    {"clGrayText", clGrayText},
    {"clBtnText", clBtnText},
    {"clInactiveCaptionText", clInactiveCaptionText},
    {"clBtnHighlight", clBtnHighlight},
    {"cl3DDkShadow", cl3DDkShadow},
    {"cl3DLight", cl3DLight},
    {"clInfoText", clInfoText},
    {"clInfoBk", clInfoBk},
    {"clHotLight", clHotLight},
    {"clGradientActiveCaption", clGradientActiveCaption},
    {"clGradientInactiveCaption", clGradientInactiveCaption},
    {"clMenuHighlight", clMenuHighlight},
    {"clMenuBar", clMenuBar},
    {"clLtGray", clSilver},
    {"clDkGray", clGray},
};

bool ParseHex(std::string_view digits, TColor& color) {
  if (digits.empty() || digits.size() > 8) return false;
  TColor value = 0;
  for (const char c : digits) {
    const int digit = HexDigitValue(c, -1);
    if (digit < 0) return false;
    value = value * 16 + static_cast<TColor>(digit);
  }
  color = value;
  return true;
}

// Decimal numbers from -2^31 to 2^32-1; a negative one gives its two's complement pattern.
bool ParseDecimal(std::string_view text, TColor& color) {
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) text.remove_prefix(1);
  if (text.empty() || text.size() > 10) return false;
  uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (value > (negative ? 0x80000000u : 0xFFFFFFFFu)) return false;
  color = static_cast<TColor>(negative ? 0u - value : value);
  return true;
}

}  // namespace

bool ColorFromName(std::string_view name, TColor& color) {
  for (const auto& named : kNamedColors) {
    if (EqualsIgnoringAsciiCase(named.name, name)) {
      color = named.color;
      return true;
    }
  }
  return false;
}

TColor TextToColor(std::string_view text) {
  std::string_view trimmed = text;
  while (!trimmed.empty() && (trimmed.front() == ' ' || trimmed.front() == '\t')) {
    trimmed.remove_prefix(1);
  }
  while (!trimmed.empty() && (trimmed.back() == ' ' || trimmed.back() == '\t')) {
    trimmed.remove_suffix(1);
  }
  TColor color = clNone;
  if (ColorFromName(trimmed, color)) return color;
  if (!trimmed.empty() && trimmed[0] == '$' && ParseHex(trimmed.substr(1), color)) return color;
  if (trimmed.size() > 2 && trimmed[0] == '0' && AsciiLower(trimmed[1]) == 'x' &&
      ParseHex(trimmed.substr(2), color)) {
    return color;
  }
  if (ParseDecimal(trimmed, color)) return color;
  throw Exception("Invalid colour value: \"" + std::string(text) + "\"");
}

std::string ColorToText(TColor color) {
  for (const auto& named : kNamedColors) {
    if (named.color == color) return std::string(named.name);
  }
  char text[16];
  std::snprintf(text, sizeof text, "$%08X", color);
  return text;
}

}  // namespace kestrova
