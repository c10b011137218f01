// The 29 kinds of traffic line: how each is prefixed, rendered and coloured in the terminal view
// and which marker heads it in a log file.
#pragma once

#include <cstdint>
#include <string_view>

#include "util/color.h"

namespace kestrova {

enum VMurTerminal_LineType : uint8_t {
  VMurTerminal_ltInLine,
  VMurTerminal_ltOutLine,
  VMurTerminal_ltInBin,
  VMurTerminal_ltOutBin,
  VMurTerminal_ltInText,
  VMurTerminal_ltOutText,
  VMurTerminal_ltExtra,
  VMurTerminal_ltExtraR,
  VMurTerminal_ltExtraG,
  VMurTerminal_ltExtraB,
  VMurTerminal_ltExtraRR,
  VMurTerminal_ltExtraA,
  VMurTerminal_ltPlusBrown,
  VMurTerminal_ltMinusBrown,
  VMurTerminal_ltPlusBrown2,
  VMurTerminal_ltMinusBrown2,
  VMurTerminal_ltBinPlusBrown,
  VMurTerminal_ltBinMinusBrown,
  VMurTerminal_ltPlusGrey,
  VMurTerminal_ltMinusGrey,
  VMurTerminal_ltPlusGrey2,
  VMurTerminal_ltMinusGrey2,
  VMurTerminal_ltBinPlusGrey,
  VMurTerminal_ltBinMinusGrey,
  VMurTerminal_ltPlusMag,
  VMurTerminal_ltMinusMag,
  VMurTerminal_ltPlusBlue,
  VMurTerminal_ltMinusBlue,
  VMurTerminal_lt_NoType,
};

inline constexpr int kLineTypeCount = VMurTerminal_lt_NoType + 1;

// Text: bytes 32..127 as they are, others as "<#HH>"; hex: " HH" per byte; raw: the bytes.
enum class LineRenderMode : uint8_t { kText, kHex, kRaw };

struct LineTypeStyle {
  std::string_view view_prefix;
  LineRenderMode mode;
  TColor color;
  TColor second_color;  // escapes in text mode; unused otherwise
  std::string_view log_marker;
};

// The style of `type`; a value outside the enumeration gets the style of VMurTerminal_lt_NoType.
const LineTypeStyle& StyleOf(int type);

}  // namespace kestrova
