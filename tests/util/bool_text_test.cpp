#include "util/bool_text.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrova {
namespace {

TEST(BooleanText, WritesDigitsAndReadsDigitsAndWordsInAnyCase) {
  EXPECT_STREQ(BooleanToText(true), "1");
  EXPECT_STREQ(BooleanToText(false), "0");
  struct Case {
    const char* text;
    int result;  // 0, 1, or -1 for "the default"
  } const cases[] = {
      {"1", 1},     {"true", 1},   {"TRUE", 1}, {"tRuE", 1}, {"0", 0},    {"false", 0},
      {"False", 0}, {"FALSE", 0},  {"", -1},    {"2", -1},   {"yes", -1}, {" 1", -1},
      {"1 ", -1},   {"truee", -1}, {"01", -1},  {"t", -1},
  };
  for (const auto& c : cases) {
    for (const bool default_value : {false, true}) {
      const bool expected = c.result < 0 ? default_value : c.result == 1;
      EXPECT_EQ(TextToBoolean(c.text, default_value), expected)
          << '"' << c.text << "\" default " << default_value;
    }
  }
}

}  // namespace
}  // namespace kestrova
