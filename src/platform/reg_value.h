// A registry value: its type code and its data. Texts are held as UTF-8 without a terminator;
// every other type keeps its bytes exactly as stored, so unknown types survive a rewrite.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrova {

// The registry's type codes; any other code is kept as it is.
inline constexpr uint32_t kRegNone = 0;
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegExpandSz = 2;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;
inline constexpr uint32_t kRegMultiSz = 7;
inline constexpr uint32_t kRegQword = 11;

struct RegValue {
  uint32_t type = kRegNone;
  std::string data;

  static RegValue String(std::string_view text) { return {kRegSz, std::string(text)}; }
  static RegValue ExpandString(std::string_view text) { return {kRegExpandSz, std::string(text)}; }
  static RegValue Dword(uint32_t value);

  bool IsText() const { return type == kRegSz || type == kRegExpandSz; }
  // The number of a REG_DWORD with exactly four bytes of data.
  std::optional<uint32_t> DwordValue() const;

  friend bool operator==(const RegValue&, const RegValue&) = default;
};

}  // namespace kestrova
