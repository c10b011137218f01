// How a stored registry value reads as a setting: as an integer or as a text, by its type.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/reg_value.h"

namespace kestrova {

// A REG_DWORD as it is (reinterpreted as signed); a REG_SZ or REG_EXPAND_SZ up to its first NUL
// when that parses as an integer; nothing for other types or text that does not parse.
std::optional<int32_t> SettingInteger(const RegValue& value);

// A REG_SZ or REG_EXPAND_SZ up to its first NUL; a REG_DWORD as signed decimal text; nothing
// for other types.
std::optional<std::string> SettingText(const RegValue& value);

// Integer text as settings have always been written: optional blanks before, an optional sign,
// then decimal digits or "$" / "0x" and up to 8 hex digits (taken as 32 bits, so "$FFFFFFFF"
// is -1). Decimal values outside the 32-bit range and anything else after the digits fail.
std::optional<int32_t> ParseSettingInteger(std::string_view text);

}  // namespace kestrova
