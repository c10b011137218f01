#include "util/tokens.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace kestrova {
namespace {

using namespace std::string_literals;

// Reads every token of `text`, as a caller loops while NextToken says more follow.
std::vector<std::string> AllTokens(std::string_view text, std::string_view separators) {
  std::vector<std::string> tokens;
  size_t position = 0;
  std::string token;
  bool more = true;
  while (more) {
    more = NextToken(text, position, separators, token);
    tokens.push_back(token);
  }
  return tokens;
}

TEST(NextToken, TableOfTokenForms) {
  using Tokens = std::vector<std::string>;
  struct Case {
    std::string text;
    std::string_view separators;
    Tokens tokens;
  } const cases[] = {
      {"", kTokenSeparators, {""}},
      {"COM1", kTokenSeparators, {"COM1"}},
      {R"("COM1","19200","8","1","None","1/1 1/1","10 0 0 0 0")",
       kTokenSeparators,
       {"COM1", "19200", "8", "1", "None", "1/1 1/1", "10 0 0 0 0"}},
      {"1/1 1/1", kTokenSeparators, {"1/1", "1/1"}},
      {"a, b", kTokenSeparators, {"a", "", "b"}},  // two separators: an empty token between
      {"a,", kTokenSeparators, {"a", ""}},
      {"a\tb c", kTokenSeparators, {"a", "b", "c"}},
      {R"("say ""hi""")", kTokenSeparators, {R"(say "hi")"}},
      {R"("AB"#13#10)", kTokenSeparators, {"AB\r\n"}},
      {R"(#65"B"#67,x)", kTokenSeparators, {"ABC", "x"}},
      {"#0", kTokenSeparators, {"\0"s}},
      {"#255#256",
       kTokenSeparators,
       {"\xFF\x19"
        "6"}},                                 // a code stops before exceeding 255
      {"COM#1", kTokenSeparators, {"COM#1"}},  // "#" inside plain text is plain
      {"#x", kTokenSeparators, {"#x"}},
      {R"("open)", kTokenSeparators, {"open"}},  // an unterminated string runs to the end
      {R"("ab"cd ef)", kTokenSeparators, {"abcd", "ef"}},
      {"(a, b) c", kTokenSeparators, {"a, b", "c"}},
      {"(a, b", kTokenSeparators, {"a, b"}},
      {"(a)b c", kTokenSeparators, {"ab", "c"}},
      {"()", kTokenSeparators, {""}},
      {"x(a b)", kTokenSeparators, {"x(a", "b)"}},  // a group only at a token's start
      {"Form1|VMurTerminal1_Form", "|", {"Form1", "VMurTerminal1_Form"}},
      {"10.0.0.5:4001", ":", {"10.0.0.5", "4001"}},
  };
  for (const auto& c : cases) EXPECT_EQ(AllTokens(c.text, c.separators), c.tokens) << c.text;
}

TEST(NextToken, AdvancesPositionAndReportsWhetherMoreFollows) {
  const std::string text = "ab cd";
  size_t position = 0;
  std::string token = "stale";
  EXPECT_TRUE(NextToken(text, position, kTokenSeparators, token));
  EXPECT_EQ(token, "ab");
  EXPECT_EQ(position, 3u);
  EXPECT_FALSE(NextToken(text, position, kTokenSeparators, token));
  EXPECT_EQ(token, "cd");
  EXPECT_EQ(position, 5u);
  EXPECT_FALSE(NextToken(text, position, kTokenSeparators, token));  // past the end: empty
  EXPECT_EQ(token, "");
  position = 99;
  EXPECT_FALSE(NextToken(text, position, kTokenSeparators, token));
  EXPECT_EQ(position, 5u);
}

TEST(SplitFirstToken, LeavesTheRestBehindTheSeparator) {
  std::string text = "|Form1|Form2";
  EXPECT_EQ(SplitFirstToken(text, "|"), "");
  EXPECT_EQ(text, "Form1|Form2");
  EXPECT_EQ(SplitFirstToken(text, "|"), "Form1");
  EXPECT_EQ(text, "Form2");
  EXPECT_EQ(SplitFirstToken(text, "|"), "Form2");
  EXPECT_EQ(text, "");
  EXPECT_EQ(SplitFirstToken(text, "|"), "");
}

TEST(QuoteToken, PlainWhenSafeQuotedOtherwise) {
  EXPECT_EQ(QuoteToken("COM1", kTokenSeparators), "COM1");
  EXPECT_EQ(QuoteToken("", kTokenSeparators), R"("")");
  EXPECT_EQ(QuoteToken("a b", kTokenSeparators), R"("a b")");
  EXPECT_EQ(QuoteToken(R"(say "hi")", kTokenSeparators), R"("say ""hi""")");
  EXPECT_EQ(QuoteToken("AB\r\n", kTokenSeparators), R"("AB"#13#10)");
  EXPECT_EQ(QuoteToken(std::string{'\x01', '5'}, kTokenSeparators), R"(#1"5")");
  EXPECT_EQ(QuoteToken("(x)", kTokenSeparators), "\"(x)\"");
  EXPECT_EQ(QuoteToken("a b", "|"), "a b");
}

TEST(QuoteToken, ReadsBackWholeForRandomValues) {
  std::mt19937 random(3);
  const std::string alphabet = "ab (),\t\"#|:5\r\n\x01\xFF";
  for (int round = 0; round < 2000; ++round) {
    std::string value(random() % 12, ' ');
    for (char& c : value) c = alphabet[random() % alphabet.size()];
    for (const std::string_view separators : {kTokenSeparators, std::string_view("|")}) {
      const std::string written =
          QuoteToken(value, separators) + std::string(separators.substr(0, 1)) + "next";
      size_t position = 0;
      std::string token;
      EXPECT_TRUE(NextToken(written, position, separators, token)) << written;
      EXPECT_EQ(token, value) << written;
      EXPECT_EQ(written.substr(position), "next") << written;
    }
  }
}

}  // namespace
}  // namespace kestrova
