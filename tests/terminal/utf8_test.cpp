#include "terminal/utf8.h"

#include <gtest/gtest.h>

#include <vector>

namespace kestrova {
namespace {

std::vector<char32_t> Decode(std::string_view bytes) {
  std::vector<char32_t> code_points;
  for (size_t pos = 0; pos < bytes.size();) code_points.push_back(DecodeUtf8(bytes, pos));
  return code_points;
}

TEST(Utf8Test, DecodesValidSequencesAndTakesOtherBytesAsLatin1) {
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<char32_t> code_points;
  };
  const Case cases[] = {
      {"ascii", "Ab", {'A', 'b'}},
      {"two bytes", "\xC5\x99", {0x159}},
      {"three bytes", "\xE2\x82\xAC", {0x20AC}},
      {"four bytes", "\xF0\x9F\x98\x80", {0x1F600}},
      {"lone continuation",
       "\x80"
       "a",
       {0x80, 'a'}},
      {"truncated at the end", "a\xC5", {'a', 0xC5}},
      {"truncated before ascii",
       "\xE2\x82"
       "a",
       {0xE2, 0x82, 'a'}},
      {"overlong", "\xC0\xAF", {0xC0, 0xAF}},
      {"overlong three bytes", "\xE0\x80\xAF", {0xE0, 0x80, 0xAF}},
      {"surrogate", "\xED\xA0\x80", {0xED, 0xA0, 0x80}},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", {0xF4, 0x90, 0x80, 0x80}},
      {"latin-1 text", "caf\xE9", {'c', 'a', 'f', 0xE9}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Decode(c.bytes), c.code_points);
  }
}

TEST(Utf8Test, EncodingRoundTripsEveryScalarValue) {
  for (char32_t code_point = 0; code_point <= 0x10FFFF; ++code_point) {
    if (code_point >= 0xD800 && code_point <= 0xDFFF) continue;
    std::string bytes;
    AppendUtf8(bytes, code_point);
    size_t pos = 0;
    ASSERT_EQ(DecodeUtf8(bytes, pos), code_point);
    ASSERT_EQ(pos, bytes.size());
  }
}

}  // namespace
}  // namespace kestrova
