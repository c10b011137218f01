// Colours as $00BBGGRR numbers with the named colours of the filter rules and settings, and the
// conversions between colours and their texts ("clGreen", "$C00040", "255").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrova {

using Color = uint32_t;

inline constexpr Color clBlack = 0x000000;
inline constexpr Color clMaroon = 0x000080;
inline constexpr Color clGreen = 0x008000;
inline constexpr Color clOlive = 0x008080;
inline constexpr Color clNavy = 0x800000;
inline constexpr Color clPurple = 0x800080;
inline constexpr Color clTeal = 0x808000;
inline constexpr Color clGray = 0x808080;
inline constexpr Color clSilver = 0xC0C0C0;
inline constexpr Color clRed = 0x0000FF;
inline constexpr Color clLime = 0x00FF00;
inline constexpr Color clYellow = 0x00FFFF;
inline constexpr Color clBlue = 0xFF0000;
inline constexpr Color clFuchsia = 0xFF00FF;
inline constexpr Color clAqua = 0xFFFF00;
inline constexpr Color clWhite = 0xFFFFFF;
inline constexpr Color clMoneyGreen = 0xC0DCC0;
inline constexpr Color clSkyBlue = 0xF0CAA6;
inline constexpr Color clCream = 0xF0FBFF;
inline constexpr Color clMedGray = 0xA4A0A0;
inline constexpr Color clNone = 0x1FFFFFFF;
inline constexpr Color clDefault = 0x20000000;

// System colours: the desktop theme's colour for a role, resolved by the GUI when drawn.
inline constexpr Color kSystemColorFlag = 0xFF000000;
inline constexpr Color clScrollBar = kSystemColorFlag | 0;
inline constexpr Color clBackground = kSystemColorFlag | 1;
inline constexpr Color clActiveCaption = kSystemColorFlag | 2;
inline constexpr Color clInactiveCaption = kSystemColorFlag | 3;
inline constexpr Color clMenu = kSystemColorFlag | 4;
inline constexpr Color clWindow = kSystemColorFlag | 5;
inline constexpr Color clWindowFrame = kSystemColorFlag | 6;
inline constexpr Color clMenuText = kSystemColorFlag | 7;
inline constexpr Color clWindowText = kSystemColorFlag | 8;
inline constexpr Color clCaptionText = kSystemColorFlag | 9;
inline constexpr Color clActiveBorder = kSystemColorFlag | 10;
inline constexpr Color clInactiveBorder = kSystemColorFlag | 11;
inline constexpr Color clAppWorkSpace = kSystemColorFlag | 12;
inline constexpr Color clHighlight = kSystemColorFlag | 13;
inline constexpr Color clHighlightText = kSystemColorFlag | 14;
inline constexpr Color clBtnFace = kSystemColorFlag | 15;
inline constexpr Color clBtnShadow = kSystemColorFlag | 16;
inline constexpr Color clGrayText = kSystemColorFlag | 17;
inline constexpr Color clBtnText = kSystemColorFlag | 18;
inline constexpr Color clInactiveCaptionText = kSystemColorFlag | 19;
inline constexpr Color clBtnHighlight = kSystemColorFlag | 20;
inline constexpr Color cl3DDkShadow = kSystemColorFlag | 21;
inline constexpr Color cl3DLight = kSystemColorFlag | 22;
inline constexpr Color clInfoText = kSystemColorFlag | 23;
inline constexpr Color clInfoBk = kSystemColorFlag | 24;
inline constexpr Color clHotLight = kSystemColorFlag | 26;
inline constexpr Color clGradientActiveCaption = kSystemColorFlag | 27;
inline constexpr Color clGradientInactiveCaption = kSystemColorFlag | 28;
inline constexpr Color clMenuHighlight = kSystemColorFlag | 29;
inline constexpr Color clMenuBar = kSystemColorFlag | 30;

constexpr bool IsSystemColor(Color color) { return (color & kSystemColorFlag) == kSystemColorFlag; }
constexpr uint8_t RedOf(Color color) { return color & 0xFF; }
constexpr uint8_t GreenOf(Color color) { return (color >> 8) & 0xFF; }
constexpr uint8_t BlueOf(Color color) { return (color >> 16) & 0xFF; }
constexpr Color Rgb(uint8_t red, uint8_t green, uint8_t blue) {
  return red | (green << 8) | (static_cast<Color>(blue) << 16);
}

// Reads a colour name (case ignored, for example "clGreen"), a "$" or "0x" hex number in the
// $00BBGGRR form, or a decimal number (negative ones as their 32-bit pattern), with spaces
// around it allowed. Raises Exception ("Invalid colour value: ...") for anything else.
Color TextToColor(std::string_view text);

// The colour's name when it has one, otherwise "$" and eight hex digits; TextToColor reads it
// back to the same colour.
std::string ColorToText(Color color);

// The colour of a name (case ignored); false when the name is unknown.
bool ColorFromName(std::string_view name, Color& color);

}  // namespace kestrova
