// Colours as the platform's RGB value $00BBGGRR; clNone means "no colour". The named colours
// of settings and filter rules, and the system colours that the GUI resolves to the desktop
// theme's colour for a role.
#pragma once

#include <cstdint>

namespace kestrova {

using TColor = uint32_t;
inline constexpr TColor clNone = 0x1FFFFFFF;

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clMoneyGreen = 0xC0DCC0;
inline constexpr TColor clSkyBlue = 0xF0CAA6;
inline constexpr TColor clCream = 0xF0FBFF;
inline constexpr TColor clMedGray = 0xA4A0A0;
inline constexpr TColor clDefault = 0x20000000;

// System colours: the desktop theme's colour for a role, resolved by the GUI when drawn.
inline constexpr TColor kSystemColorFlag = 0xFF000000;
inline constexpr TColor clScrollBar = kSystemColorFlag | 0;
inline constexpr TColor clBackground = kSystemColorFlag | 1;
inline constexpr TColor clActiveCaption = kSystemColorFlag | 2;
inline constexpr TColor clInactiveCaption = kSystemColorFlag | 3;
inline constexpr TColor clMenu = kSystemColorFlag | 4;
inline constexpr TColor clWindow = kSystemColorFlag | 5;
inline constexpr TColor clWindowFrame = kSystemColorFlag | 6;
inline constexpr TColor clMenuText = kSystemColorFlag | 7;
inline constexpr TColor clWindowText = kSystemColorFlag | 8;
inline constexpr TColor clCaptionText = kSystemColorFlag | 9;
inline constexpr TColor clActiveBorder = kSystemColorFlag | 10;
inline constexpr TColor clInactiveBorder = kSystemColorFlag | 11;
inline constexpr TColor clAppWorkSpace = kSystemColorFlag | 12;
inline constexpr TColor clHighlight = kSystemColorFlag | 13;
inline constexpr TColor clHighlightText = kSystemColorFlag | 14;
inline constexpr TColor clBtnFace = kSystemColorFlag | 15;
inline constexpr TColor clBtnShadow = kSystemColorFlag | 16;
inline constexpr TColor clGrayText = kSystemColorFlag | 17;
inline constexpr TColor clBtnText = kSystemColorFlag | 18;
inline constexpr TColor clInactiveCaptionText = kSystemColorFlag | 19;
inline constexpr TColor clBtnHighlight = kSystemColorFlag | 20;
inline constexpr TColor cl3DDkShadow = kSystemColorFlag | 21;
inline constexpr TColor cl3DLight = kSystemColorFlag | 22;
inline constexpr TColor clInfoText = kSystemColorFlag | 23;
inline constexpr TColor clInfoBk = kSystemColorFlag | 24;
inline constexpr TColor clHotLight = kSystemColorFlag | 26;
inline constexpr TColor clGradientActiveCaption = kSystemColorFlag | 27;
inline constexpr TColor clGradientInactiveCaption = kSystemColorFlag | 28;
inline constexpr TColor clMenuHighlight = kSystemColorFlag | 29;
inline constexpr TColor clMenuBar = kSystemColorFlag | 30;

constexpr bool IsSystemColor(TColor color) {
  return (color & kSystemColorFlag) == kSystemColorFlag;
}
constexpr uint8_t RedOf(TColor color) { return color & 0xFF; }
constexpr uint8_t GreenOf(TColor color) { return (color >> 8) & 0xFF; }
constexpr uint8_t BlueOf(TColor color) { return (color >> 16) & 0xFF; }
constexpr TColor Rgb(uint8_t red, uint8_t green, uint8_t blue) {
  return red | (green << 8) | (static_cast<TColor>(blue) << 16);
}

}  // namespace kestrova
