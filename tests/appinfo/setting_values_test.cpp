#include "appinfo/setting_values.h"

#include <gtest/gtest.h>

#include "support/reg_value_printer.h"

namespace kestrova {
namespace {

TEST(SettingValuesTest, IntegerText) {
  const struct {
    const char* text;
    std::optional<int32_t> expected;
  } cases[] = {
      {"12", 12},
      {"0", 0},
      {"-7", -7},
      {"+7", 7},
      {"  42", 42},
      {"2147483647", INT32_MAX},
      {"-2147483648", INT32_MIN},
      {"2147483648", std::nullopt},
      {"99999999999999999999", std::nullopt},
      {"$1F", 31},
      {"0x1f", 31},
      {"$FFFFFFFF", -1},
      {"-$10", -16},
      {"$123456789", std::nullopt},
      {"$", std::nullopt},
      {"abc", std::nullopt},
      {"", std::nullopt},
      {"12 ", std::nullopt},
      {"1.5", std::nullopt},
      {"-", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseSettingInteger(c.text), c.expected) << '"' << c.text << '"';
  }
}

TEST(SettingValuesTest, ByStoredType) {
  const struct {
    const char* what;
    RegValue value;
    std::optional<int32_t> integer;
    std::optional<std::string> text;
  } cases[] = {
      {"text number", RegValue::String("12"), 12, "12"},
      {"text", RegValue::String("abc"), std::nullopt, "abc"},
      {"text up to its NUL", RegValue::String(std::string("34\0xyz", 6)), 34, "34"},
      {"expand string", RegValue::ExpandString("5"), 5, "5"},
      {"dword", RegValue::Dword(5), 5, "5"},
      {"dword above the signed range", RegValue::Dword(0xFFFFFFFE), -2, "-2"},
      {"short dword", RegValue{kRegDword, "\x05"}, std::nullopt, std::nullopt},
      {"binary", RegValue{kRegBinary, "12"}, std::nullopt, std::nullopt},
      {"multi-string", RegValue{kRegMultiSz, std::string("1\0\0", 3)}, std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(SettingInteger(c.value), c.integer);
    EXPECT_EQ(SettingText(c.value), c.text);
  }
}

}  // namespace
}  // namespace kestrova
