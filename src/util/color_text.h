// The texts of colours: names such as "clGreen", "$C00040" hex numbers in the $00BBGGRR form,
// decimals; and back.
#pragma once

#include <string>
#include <string_view>

#include "util/color.h"

namespace kestrova {

// Reads a colour name (case ignored, for example "clGreen"), a "$" or "0x" hex number in the
// $00BBGGRR form, or a decimal number (negative ones as their 32-bit pattern), with spaces
// around it allowed. Raises Exception ("Invalid colour value: ...") for anything else.
TColor TextToColor(std::string_view text);

// The colour's name when it has one, otherwise "$" and eight hex digits; TextToColor reads it
// back to the same colour.
std::string ColorToText(TColor color);

// The colour of a name (case ignored); false when the name is unknown.
bool ColorFromName(std::string_view name, TColor& color);

}  // namespace kestrova
