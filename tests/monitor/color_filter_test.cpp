// Which colour the filter's rules give received data.
#include "monitor/color_filter.h"

#include <gtest/gtest.h>

#include "util/exception.h"

namespace kestrova {
namespace {

TEST(ColorFilterTest, LastMatchingRuleWins) {
  struct Case {
    std::vector<std::string> rules;
    std::string data;
    TColor expected;  // clNone: left alone
  };
  const Case cases[] = {
      {{R"(clGreen:" \*\*"#$20"d")"}, " ** data", clGreen},
      {{R"(clGreen:" \*\*"#$20"d")"}, "x ** d", clNone},  // anchored at the first byte
      {{R"($C00040:"*?recv:")"}, "12 recv: ok", 0xC00040},
      {{R"(clRed "a")", R"(clBlue,"a")"}, "abc", clBlue},
      {{R"(clRed "a")", R"(clBlue,"b")"}, "abc", clRed},
      {{"clLime: \t \"a\""}, "a", clLime},  // blanks and TABs after the separator skipped
      {{"clLime"}, "anything", clLime},     // no pattern: matches everything
      {{R"(:"a")", R"( clRed "a")", ""}, "a", clNone},  // no colour text: skipped
      {{R"(clRed:"[a")"}, "a", clNone},                 // malformed pattern: no match
      {{R"(clRed:#$7E#1)"}, "\x7E\x01rest", clRed},
  };
  for (const Case& c : cases) {
    ColorFilter filter;
    filter.SetRules(c.rules);
    TColor color = clNone;
    filter.Apply(c.data, color);
    EXPECT_EQ(color, c.expected) << c.rules.front() << " on " << c.data;
  }
}

TEST(ColorFilterTest, AColourThatIsNoColourRaisesOnlyWhenItsRuleMatches) {
  ColorFilter filter;
  filter.SetRules({R"(clNoSuch:"x")"});
  EXPECT_EQ(filter.Rules(), std::vector<std::string>{R"(clNoSuch:"x")"});
  TColor color = clNone;
  EXPECT_NO_THROW(filter.Apply("y", color));
  EXPECT_THROW(filter.Apply("x", color), Exception);
}

}  // namespace
}  // namespace kestrova
