// Colours as the platform's RGB value $00BBGGRR; clNone means "no colour".
#pragma once

#include <cstdint>

namespace kestrova {

using TColor = uint32_t;
inline constexpr TColor clNone = 0x1FFFFFFF;

}  // namespace kestrova
