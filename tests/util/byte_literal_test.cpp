#include "util/byte_literal.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrova {
namespace {

using namespace std::string_literals;

TEST(ByteStringLiteral, TableOfLiterals) {
  struct Case {
    std::string text;
    std::string bytes;
  } const cases[] = {
      {"", ""},
      {R"(" \*\*"#$20"d")", R"( \*\* d)"},  // the filter dialog's first example
      {R"("*?recv:")", "*?recv:"},
      {R"("AB"#13#10)", "AB\r\n"},
      {R"(#$1B"[0m")", "\x1B[0m"},
      {R"("say ""hi""")", R"(say "hi")"},
      {"*?recv:", "*?recv:"},  // text before any quote is taken as it is
      {R"(ab"cd")", "abcd"},
      {"AB#13CD", "AB\r"},     // a code ends the plain text; "C" then ends the conversion
      {R"("AB" "CD")", "AB"},  // anything else after a quote ends it
      {R"("AB"x)", "AB"},
      {"#0", "\0"s},
      {"#255", "\xFF"},
      {"#256", "\x19"},   // a third digit that would exceed 255 is not taken
      {"#1234", "\x7B"},  // at most three digits: "4" ends the conversion
      {"#$4", "\x04"},
      {"#$4G", "\x04"},
      {"#$FFF", "\xFF"},
      {"#$ff", "\xFF"},
      {"a#b", "a#b"},  // "#" without a code is a plain "#" before any quote
      {"a#$x", "a#$x"},
      {R"("x"#)", "x"},  // "#" without a code after a quote ends it
      {R"("unterminated)", "unterminated"},
      {R"(#65#66"C"#$44)", "ABCD"},
  };
  for (const auto& c : cases) EXPECT_EQ(ByteStringLiteral(c.text), c.bytes) << c.text;
}

}  // namespace
}  // namespace kestrova
