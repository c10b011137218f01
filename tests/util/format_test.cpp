#include "util/format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrova {
namespace {

TEST(FormatPositional, TableOfDirectives) {
  const std::vector<FormatArg> args = {FormatArg("7"), FormatArg(-42), FormatArg(true),
                                       FormatArg('x'), FormatArg(2.5), FormatArg("abc")};
  struct Case {
    std::string pattern;
    std::string text;
  } const cases[] = {
      {"Pokusy_%1.rtf", "Pokusy_7.rtf"},
      {"%2 %3 %4 %5 %6", "-42 True x 2.5 abc"},
      {"100%%", "100%"},
      {"%%1", "%1"},
      {"%1%1", "77"},
      {"%6:5|", "  abc|"},     // spaces before
      {"%6:05|", "00abc|"},    // "0" once: before
      {"%6:005|", "abc00|"},   // twice: after
      {"%6:0005|", "0abc0|"},  // three times: both sides, the odd byte after
      {"%6:-6|", "---abc|"},
      {"%6:--6|", "abc---|"},
      {"%6:---7|", "--abc--|"},
      {"%2:06", "-00042"},  // zero padding goes behind the sign
      {"%2:-6", "----42"},  // "-" padding does not
      {"%6:2|", "abc|"},    // never cut
      {"%6:0|", "abc|"},
      {"%(1)23", "723"},
      {"%(6:05)1", "00abc1"},
      {"%1: done", "7: done"},  // a ":" without a width belongs to the text
      {"%1:x", "7:x"},
      {"%1:-x", "7:-x"},
      // Invalid directives are copied as written.
      {"%", "%"},
      {"50%", "50%"},
      {"%x", "%x"},
      {"%0", "%0"},
      {"%7", "%7"},
      {"%99999999999999999999", "%99999999999999999999"},
      {"%(1", "%(1"},
      {"%(", "%("},
      {"%(1:5", "%(1:5"},
      {"%(1x)", "%(1x)"},
      {"%()", "%()"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatPositional(c.pattern, args), c.text) << c.pattern;
}

TEST(FormatPositional, WidthIsLimitedAndNoArgumentsAreNeeded) {
  EXPECT_EQ(FormatPositional("%1:999999999999", {"a"}).size(),
            static_cast<size_t>(kMaxFormatWidth));
  EXPECT_EQ(FormatPositional("%1 and %2", {}), "%1 and %2");
  EXPECT_EQ(FormatPositional("%1", {1.0e100}), "1e+100");
  EXPECT_EQ(FormatPositional("%1/%2", {uint64_t{18446744073709551615u}, false}),
            "18446744073709551615/False");
}

}  // namespace
}  // namespace kestrova
