#include "terminal/line_type.h"

#include <array>

namespace kestrova {
namespace {

using enum LineRenderMode;

constexpr TColor kBlack = Rgb(0, 0, 0);
constexpr TColor kBlue = Rgb(0, 0, 255);
constexpr TColor kBrown = Rgb(80, 40, 32);
constexpr TColor kLightBrown = Rgb(128, 80, 32);
constexpr TColor kGrey = Rgb(90, 90, 90);
constexpr TColor kDarkGrey = Rgb(40, 40, 40);
constexpr TColor kMagenta = Rgb(128, 0, 128);
constexpr TColor kDarkMagenta = Rgb(64, 0, 64);
constexpr TColor kMidBlue = Rgb(0, 0, 192);
constexpr TColor kNavy = Rgb(0, 0, 128);
constexpr TColor kRed = Rgb(255, 0, 0);

// Hex and raw types never use the second colour; it repeats the first there.
constexpr std::array<LineTypeStyle, kLineTypeCount> kStyles = {{
    {"+ ", kText, kBlack, kBlue, "+ "},                      // ltInLine
    {" - ", kText, kBlack, kBlue, "- "},                     // ltOutLine
    {"+ #", kHex, kBlue, kBlue, "+ #"},                      // ltInBin
    {" - #", kHex, kBlue, kBlue, "- #"},                     // ltOutBin
    {"+ ", kText, kBlue, kBlack, "+ "},                      // ltInText
    {" - ", kText, kBlue, kBlack, "- "},                     // ltOutText
    {"E ", kRaw, kMagenta, kMagenta, "E "},                  // ltExtra
    {"E ", kRaw, kRed, kRed, "! "},                          // ltExtraR
    {"E ", kRaw, Rgb(0, 128, 0), Rgb(0, 128, 0), "EG "},     // ltExtraG
    {"E ", kRaw, kNavy, kNavy, "EB "},                       // ltExtraB
    {"E ", kRaw, Rgb(160, 0, 0), Rgb(160, 0, 0), "!R "},     // ltExtraRR
    {"E ", kRaw, Rgb(0, 128, 255), Rgb(0, 128, 255), "A "},  // ltExtraA
    {"+ ", kText, kBrown, kLightBrown, "+B "},               // ltPlusBrown
    {" - ", kText, kBrown, kLightBrown, "-B "},              // ltMinusBrown
    {"+ ", kRaw, kBrown, kBrown, "+B "},                     // ltPlusBrown2
    {" - ", kRaw, kBrown, kBrown, "-B "},                    // ltMinusBrown2
    {"+ #", kHex, kBrown, kBrown, "+B#"},                    // ltBinPlusBrown
    {" - #", kHex, kBrown, kBrown, "-B#"},                   // ltBinMinusBrown
    {"+ ", kText, kGrey, kDarkGrey, "+G "},                  // ltPlusGrey
    {" - ", kText, kGrey, kDarkGrey, "-G "},                 // ltMinusGrey
    {"+ ", kRaw, kGrey, kGrey, "+G "},                       // ltPlusGrey2
    {" - ", kRaw, kGrey, kGrey, "-G "},                      // ltMinusGrey2
    {"+ #", kHex, kGrey, kGrey, "+G#"},                      // ltBinPlusGrey
    {" - #", kHex, kGrey, kGrey, "-G#"},                     // ltBinMinusGrey
    {"+ ", kText, kMagenta, kDarkMagenta, "+M "},            // ltPlusMag
    {" - ", kText, kMagenta, kDarkMagenta, "-M "},           // ltMinusMag
    {"+ ", kText, kMidBlue, kNavy, "+L "},                   // ltPlusBlue
    {" - ", kText, kMidBlue, kNavy, "-L "},                  // ltMinusBlue
    {"? ", kText, kRed, kRed, "? "},                         // lt_NoType
}};

}  // namespace

const LineTypeStyle& StyleOf(int type) {
  if (type < 0 || type >= kLineTypeCount) type = VMurTerminal_lt_NoType;
  return kStyles[static_cast<size_t>(type)];
}

}  // namespace kestrova
