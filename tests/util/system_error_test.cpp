#include "util/system_error.h"

#include <errno.h>
#include <gtest/gtest.h>

#include <string>

namespace kestrova {
namespace {

TEST(SystemErrorText, KnownCodesGiveTheSystemText) {
  EXPECT_EQ(SystemErrorText(ENOENT), "No such file or directory");
  EXPECT_EQ(SystemErrorText(ECONNREFUSED), "Connection refused");
}

TEST(SystemErrorText, UnknownCodesGiveTheNumber) {
  EXPECT_EQ(SystemErrorText(100000), "Error 000186A0");
  EXPECT_EQ(SystemErrorText(-1), "Error FFFFFFFF");
  EXPECT_EQ(SystemErrorText(632), "Parameter dwSize of the passed structure is not filled.");
}

TEST(SystemErrorText, NeverEndsWithASpaceOrLineBreak) {
  for (int code = -2; code < 200; ++code) {
    const std::string text = SystemErrorText(code);
    ASSERT_FALSE(text.empty()) << code;
    const char last = text.back();
    EXPECT_TRUE(last != ' ' && last != '\r' && last != '\n' && last != '\t') << code;
    EXPECT_EQ(text.find(".."), std::string::npos) << code;
  }
}

TEST(TrimMessageEnd, CutsSpacesBreaksAndFullStopsKeepingOneStop) {
  struct Case {
    const char* text;
    const char* trimmed;
  } const cases[] = {
      {"Access denied.\r\n", "Access denied."},
      {"Access denied\r\n", "Access denied"},
      {"Access denied. . \r\n\t", "Access denied."},
      {"Done...", "Done."},
      {"v1.2 ok", "v1.2 ok"},
      {" \r\n", ""},
      {".", "."},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(TrimMessageEnd(c.text), c.trimmed) << c.text;
}

}  // namespace
}  // namespace kestrova
