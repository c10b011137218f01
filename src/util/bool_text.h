// Boolean values as stored in configuration strings and settings: "1" and "0".
#pragma once

#include <string_view>

namespace kestrova {

inline const char* BooleanToText(bool value) { return value ? "1" : "0"; }

// "1" and "true" give true, "0" and "false" give false (any letter case); anything else gives
// `default_value`.
bool TextToBoolean(std::string_view text, bool default_value);

}  // namespace kestrova
