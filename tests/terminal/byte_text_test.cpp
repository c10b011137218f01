// The send line's bytes as editable text: nothing typed or converted from hex is lost on the
// way through the edit field, and Backspace removes whole characters.
#include "terminal/byte_text.h"

#include <gtest/gtest.h>

#include <random>

namespace kestrova::testing {
namespace {

TEST(ByteTextTest, ValidUtf8ShowsAsItsCharacters) {
  EXPECT_EQ(BytesToEditText("AB"), u"AB");
  EXPECT_EQ(BytesToEditText("\xC5\x99\xC3\xA1"), u"řá");
  EXPECT_EQ(BytesToEditText("\xF0\x9F\x98\x80"), u"\U0001F600");
  EXPECT_EQ(BytesToEditText("\xEF\xBB\xBFx"), u"\uFEFFx");
  EXPECT_EQ(EditTextToBytes(u"žluť \U0001F600"), "\xC5\xBElu\xC5\xA5 \xF0\x9F\x98\x80");
}

TEST(ByteTextTest, OtherBytesShowAsByteEscapes) {
  EXPECT_EQ(BytesToEditText("\xFF\x41\x80"), std::u16string({0xDCFF, u'A', 0xDC80}));
  // A truncated sequence and an encoded surrogate are bytes, not characters.
  EXPECT_EQ(BytesToEditText("\xC5"), std::u16string({0xDCC5}));
  EXPECT_EQ(BytesToEditText("\xED\xB2\x80"), std::u16string({0xDCED, 0xDCB2, 0xDC80}));
}

TEST(ByteTextTest, LoneSurrogatesThatNameNoByteBecomeReplacementCharacters) {
  EXPECT_EQ(EditTextToBytes(std::u16string({0xD800, u'a'})),
            "\xEF\xBF\xBD"
            "a");
  EXPECT_EQ(EditTextToBytes(std::u16string({0xDC41})), "\xEF\xBF\xBD");
  EXPECT_EQ(EditTextToBytes(std::u16string({0xDCFF})), "\xFF");
}

TEST(ByteTextTest, EveryByteStringSurvivesTheEditText) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(EditTextToBytes(BytesToEditText(all)), all);

  std::mt19937 random(7);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> length(0, 24);
  // Mostly high bytes, so that partial and overlong sequences come up often.
  for (int round = 0; round < 20000; ++round) {
    std::string bytes;
    for (int n = length(random); n > 0; --n) {
      const int value = byte(random);
      bytes.push_back(static_cast<char>(value < 64 ? value : 0x80 | value));
    }
    ASSERT_EQ(EditTextToBytes(BytesToEditText(bytes)), bytes);
  }
}

TEST(ByteTextTest, RemoveLastCharacterTakesWholeSequences) {
  struct Case {
    std::string bytes;
    std::string left;
  } cases[] = {
      {"", ""},
      {"ab", "a"},
      {"a\xC5\x99", "a"},
      {"\xC3\xA9\xE2\x82\xAC", "\xC3\xA9"},
      {"x\xF0\x9F\x98\x80", "x"},
      {"\xF0\x9F\x98\x80\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
      {"a\xFF", "a"},
      {"a\xE2\x82", "a\xE2"},  // a cut sequence is loose bytes
      {"\xE2\x82\xAC\x80", "\xE2\x82\xAC"},
  };
  for (const Case& c : cases) {
    std::string bytes = c.bytes;
    RemoveLastCharacter(bytes);
    EXPECT_EQ(bytes, c.left) << "from " << ::testing::PrintToString(c.bytes);
  }
}

}  // namespace
}  // namespace kestrova::testing
