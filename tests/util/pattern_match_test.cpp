#include "util/pattern_match.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrova {
namespace {

int MatchFrom(size_t start, std::string_view subject, std::string_view pattern,
              size_t* end = nullptr) {
  size_t position = start;
  std::vector<int64_t> captures;
  const int result = Match(position, subject, pattern, captures);
  EXPECT_EQ(position, start + (result < 0 ? 0 : result));
  if (end != nullptr) *end = position;
  return result;
}

TEST(Match, TableOfElementsAndOperators) {
  struct Case {
    std::string pattern;
    std::string subject;
    int result;
  } const cases[] = {
      {"AB", "ABC", 2},
      {"AB", "XAB", -1},
      {"AB", "A", -1},  // an element that needs a byte fails at the end
      {"", "", 0},
      {"", "xyz", 0},
      {"*?AB", "XXAB", 4},
      {"*?AB", "XXABAB", 4},  // fewest first
      {"*?AB", "XXA", -1},
      {"+[0-9]X", "123X", 4},
      {"+[0-9]X", "X", 1},
      {"+[0-9]3", "123", -1},  // "+" gives nothing back
      {"*[0-9]3", "123", 3},   // "*" does
      {"|AB", "A..", 1},
      {"|AB", "B..", 1},
      {"|AB", "C..", -1},
      {"{AB}", "AB..", 2},
      {"{AB}", "A...", -1},
      {"{AB}", "B...", -1},
      {"?", "", -1},
      {"??", std::string("\x00\xFF", 2), 2},
      {"\\*\\?", "*?", 2},
      {"\\*\\?", "x?", -1},
      {R"( \*\* d)", " ** d...", 5},  // the filter dialog's first example, after conversion
      {"*?recv:", "...recv: ok", 8},
      {"*?recv:", "...rec", -1},
      {"[abc]", "b", 1},
      {"[a-c]", "d", -1},
      {"[-a]", "-", 1},
      {"[\\]]", "]", 1},
      {"[\\--\\/]", ".", 1},  // a range between escaped bytes
      {"[a-c-e]", "-", 1},    // "-" after a range is a plain byte
      {"[a-c-e]", "d", -1},
      {"[\x80-\xFF]", "\x90", 1},  // unsigned ranges
      {"[\x80-\xFF]", "\x7F", -1},
      {"[z-a]", "m", -1},  // an empty range
      {"[]", "]", -1},
      {"[]", "", -1},
      {"*{AB}C", "ABABC", 5},
      {"*{AB}C", "ABAC", -1},
      {"+{AB}", "ABABA", 4},
      {"+{AB}", "", 0},
      {"|{AB}{AC}", "AC", 2},   // the group AB fails, the choice takes AC
      {"{|{AB}A}C", "ABC", 3},  // groups commit: the choice took AB
      {"{|{AB}A}B", "AB", -1},  // ... and does not go back to A
      {"{*?A}B", "xAB", 3},
      {"{*?A}B", "xAyAB", -1},  // the group's "*" stops at the first A and commits
      {"*?{*?A}B", "xAyAB", 5},
      {"||ABC", "C", 1},  // a choice as an operand of a choice
      {"||ABC", "B", 1},
      {"*|ABC", "ABBAC", 5},
      {"+|AB", "ABBAC", 4},
      {"*.1.A", "AAA", 1},  // a mark consumes nothing: "*" stops
      {"*{}A", "A", 1},
      {"+{}A", "A", 1},
      {"{{{A}}}", "A", 1},
      {"{AB", "AB", 2},  // an unclosed group ends with the pattern
      {"A{", "A", 1},
      {"*{", "AAAA", 0},  // a star of an empty, unclosed group
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MatchFrom(0, c.subject, c.pattern), c.result)
        << '"' << c.pattern << "\" on \"" << c.subject << '"';
  }
}

TEST(Match, MalformedPatterns) {
  const char* const malformed[] = {
      "[a-",  "[abc", "[a-]", "[ab-]", "[",   "[\\", "[a\\", "[a-\\", "\\",   "A\\",
      "*",    "+",    "|",    "|A",    "*+A", "+*A", "**A",  "|*AB",  "|A+B", "{*}",
      "{A|}", "}",    "A}",   "{A}}",  "..",  ".1",  ".1A",  ".A.",   ".",    ".99999.",
      "{*",  // an operator waiting inside a group that never closes
  };
  for (const char* pattern : malformed) {
    EXPECT_EQ(MatchFrom(0, "AAAA", pattern), kMatchMalformed) << '"' << pattern << '"';
  }
  // Malformed even when the subject fails before the fault is reached.
  EXPECT_EQ(MatchFrom(0, "B", "A[a-"), kMatchMalformed);
  EXPECT_EQ(MatchFrom(0, "", std::string(".") + std::to_string(kMaxCaptureNumber) + "."), 0);
}

TEST(Match, CapturesRecordPositionsAndGrow) {
  size_t position = 0;
  std::vector<int64_t> captures = {7, 7};
  EXPECT_EQ(Match(position, "AB", ".1.AB.2.", captures), 2);
  EXPECT_EQ(captures, (std::vector<int64_t>{-1, 0, 2}));

  position = 2;
  captures = {5, 5, 5, 5, 5};
  EXPECT_EQ(Match(position, "xxAB", ".1.AB.2.", captures), 2);
  EXPECT_EQ(position, 4u);
  EXPECT_EQ(captures, (std::vector<int64_t>{-1, 0 + 2, 4, -1, -1}));  // positions in the subject

  position = 0;
  captures = {5};
  EXPECT_EQ(Match(position, "XY", "*?.3.Y", captures), 2);
  EXPECT_EQ(captures, (std::vector<int64_t>{-1, -1, -1, 1}));

  position = 0;
  captures = {5, 5};
  EXPECT_EQ(Match(position, "AB", "[", captures), kMatchMalformed);
  EXPECT_EQ(captures, (std::vector<int64_t>{-1, -1}));  // reset even when malformed
}

TEST(Match, StartsAtThePositionAndNeverBeyondTheSubject) {
  size_t end = 0;
  EXPECT_EQ(MatchFrom(2, "xxAB", "AB", &end), 2);
  EXPECT_EQ(end, 4u);
  EXPECT_EQ(MatchFrom(4, "xxAB", "", &end), 0);
  EXPECT_EQ(MatchFrom(9, "xxAB", "?"), -1);
  EXPECT_EQ(MatchFrom(9, "xxAB", "*?", &end), 0);
  EXPECT_EQ(end, 9u);  // a start beyond the subject counts as its end and is kept
}

// A megabyte of subject and deep nesting: answers come back without exhausting the stack and
// without running away.
TEST(Match, LongSubjectsAndDeepNestingStayBounded) {
  const std::string megabyte(1 << 20, 'a');
  EXPECT_EQ(MatchFrom(0, megabyte + "recv:", "*?recv:"), (1 << 20) + 5);
  EXPECT_EQ(MatchFrom(0, megabyte, "*?recv:"), -1);
  EXPECT_EQ(MatchFrom(0, megabyte, "+a"), 1 << 20);
  EXPECT_EQ(MatchFrom(0, megabyte, "+{a}b"), -1);
  EXPECT_EQ(MatchFrom(0, megabyte, "*?*?*?*?b"), -1);  // nested stars stay near linear
  EXPECT_EQ(MatchFrom(0, megabyte, "*?{*?a}b"), -1);
  EXPECT_EQ(MatchFrom(0, megabyte, "*?+{aa}b"), -1);
  EXPECT_EQ(MatchFrom(0, megabyte + "b", "*?*?*?*?b"), (1 << 20) + 1);

  const std::string open(10000, '{');
  const std::string close(10000, '}');
  EXPECT_EQ(MatchFrom(0, megabyte, open), 0);  // unclosed empty groups
  EXPECT_EQ(MatchFrom(0, megabyte, open + "a" + close), 1);
  EXPECT_EQ(MatchFrom(0, megabyte, open + "+a" + close), 1 << 20);
  EXPECT_EQ(MatchFrom(0, megabyte, open + "b" + close), -1);
  EXPECT_EQ(MatchFrom(0, megabyte, open + "a" + close + "}"), kMatchMalformed);
  EXPECT_EQ(MatchFrom(0, megabyte, std::string(10000, '|') + "a" + std::string(10000, 'b')), 1);
  EXPECT_EQ(MatchFrom(0, megabyte, "*?" + open + "b" + close), kMatchMalformed);
  // Work beyond the limit gives up with -2 rather than freezing the caller.
  EXPECT_EQ(MatchFrom(0, megabyte, "*" + open + "?" + close + "b"), kMatchMalformed);
}

}  // namespace
}  // namespace kestrova
