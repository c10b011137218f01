#include "util/hex.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace kestrova {
namespace {

using namespace std::string_literals;

TEST(HexDigits, BothDirections) {
  EXPECT_EQ(HexDigit(0), '0');
  EXPECT_EQ(HexDigit(9), '9');
  EXPECT_EQ(HexDigit(10), 'A');
  EXPECT_EQ(HexDigit(15), 'F');
  EXPECT_EQ(HexDigit(16), '?');
  EXPECT_EQ(HexDigit(-1), '?');
  for (int value = 0; value < 16; ++value) {
    EXPECT_EQ(HexDigitValue(HexDigit(value), -1), value);
  }
  EXPECT_EQ(HexDigitValue('a', -1), 10);
  EXPECT_EQ(HexDigitValue('f', -1), 15);
  EXPECT_EQ(HexDigitValue('g', -1), -1);
  EXPECT_EQ(HexDigitValue('G', 99), 99);
  EXPECT_EQ(HexDigitValue('\0', 7), 7);
}

TEST(BytesToHex, TwoUpperCaseDigitsAndASpacePerByte) {
  EXPECT_EQ(BytesToHex(""), "");
  EXPECT_EQ(BytesToHex("AB"), "41 42 ");
  EXPECT_EQ(BytesToHex("\x00\xFF\x7F\x80"s), "00 FF 7F 80 ");
}

TEST(HexToBytes, ScansDigitPairsLoneDigitsAndOtherCharacters) {
  struct Case {
    std::string text;
    std::string bytes;
  } const cases[] = {
      {"", ""},
      {"F", "\x0F"},
      {"0g", "\x00g"s},
      {"41 42", "AB"},
      {"4142", "AB"},
      {"7 x", "\x07x"},
      {"414", "A\x04"},       // odd digit count: the last digit stands alone
      {"ab cD", "\xAB\xCD"},  // lower and upper case digits
      {"a\tb\r\nc", "\x0A\x0B\x0C"},
      {"  \x01\x1F", ""},    // spaces and control characters only separate
      {"4,1", "\x04,\x01"},  // a comma is taken over
      {"x41y", "xAy"},
      {"\x7F\x80\xFF", "\x7F\x80\xFF"},  // bytes above space, also the upper half, pass
  };
  for (const auto& c : cases) EXPECT_EQ(HexToBytes(c.text), c.bytes) << '"' << c.text << '"';
}

TEST(HexToBytes, RoundTripsBytesToHexForRandomBlocks) {
  std::mt19937 random(17);
  for (int round = 0; round < 200; ++round) {
    std::string bytes(random() % 64, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    EXPECT_EQ(HexToBytes(BytesToHex(bytes)), bytes);
  }
}

}  // namespace
}  // namespace kestrova
