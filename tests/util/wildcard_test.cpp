#include "util/wildcard.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrova {
namespace {

TEST(WildcardCompare, TableOfMatchesAndOrderedDifferences) {
  struct Case {
    std::string text;
    size_t position;
    std::string pattern;
    std::string stop_chars;
    int result;
  } const cases[] = {
      {"USBSER000", 0, "USBSER00*", "", 0},
      {"SILABSER0", 0, "SILABSER*", "", 0},
      {"SILABSER0", 0, "SILABSER*|BTPORT*", "|", 0},  // the pattern stops at "|"
      {"BTPORT3", 0, "SILABSER*|BTPORT*", "|", -2},   // "B" < "S", no wildcard passed
      {"ABC", 0, "ABC", "", 0},
      {"ABC", 0, "ABD", "", -2},
      {"ABE", 0, "ABD", "", 2},
      {"AB", 0, "ABC", "", -2},   // the text ends first
      {"ABCD", 0, "ABC", "", 2},  // the pattern ends first
      {"ABC", 0, "A?C", "", 0},
      {"ABD", 0, "A?C", "", 1},  // after a wildcard the magnitude is 1
      {"ABB", 0, "A?C", "", -1},
      {"A", 0, "A?", "", -2},  // the "?" is not passed yet
      {"", 0, "", "", 0},
      {"", 0, "*", "", 0},
      {"", 0, "?", "", -2},
      {"abc", 0, "*", "", 0},
      {"abc", 0, "a*c", "", 0},
      {"ac", 0, "a*c", "", 0},
      {"abcbc", 0, "a*bc", "", 0},  // a shortest run that fails is extended
      {"abcbd", 0, "a*bc", "", 1},  // no run lets it match: the shortest run's difference
      {"xyzABC", 3, "ABC", "", 0},  // compared from the position
      {"xyz", 7, "", "", 0},
      {"a*b", 0, "a\\*b", "", -2},  // no escapes: "\" is an ordinary byte
      {"\xFF", 0, "\x01", "", 2},   // bytes compared unsigned
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WildcardCompare(c.text, c.position, c.pattern, c.stop_chars), c.result)
        << '"' << c.text << "\" vs \"" << c.pattern << '"';
  }
}

TEST(WildcardCompare, ManyStarsOnALongTextFinishQuickly) {
  const std::string text(100000, 'a');
  EXPECT_EQ(WildcardCompare(text, 0, "*a*a*a*a*a*a*a*a*b", ""), -1);
  EXPECT_EQ(WildcardCompare(text + "b", 0, "*a*a*a*a*a*a*a*a*b", ""), 0);
}

}  // namespace
}  // namespace kestrova
