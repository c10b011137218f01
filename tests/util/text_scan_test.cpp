#include "util/text_scan.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace kestrova {
namespace {

TEST(ReadInteger, TableOfNumbersAndNonNumbers) {
  struct Case {
    std::string text;
    bool read;
    int64_t value;
    size_t end;
  } const cases[] = {
      {"4001", true, 4001, 4},
      {"-12 x", true, -12, 3},
      {"0", true, 0, 1},
      {"007", true, 7, 3},
      {"", false, 0, 0},
      {"-", false, 0, 0},
      {"x1", false, 0, 0},
      {"- 1", false, 0, 0},
      {"+1", false, 0, 0},
      {"9223372036854775807", true, std::numeric_limits<int64_t>::max(), 19},
      {"99999999999999999999999", true, std::numeric_limits<int64_t>::max(), 23},
      {"-9223372036854775808", true, std::numeric_limits<int64_t>::min(), 20},
      {"-99999999999999999999999", true, std::numeric_limits<int64_t>::min(), 24},
  };
  for (const auto& c : cases) {
    size_t position = 0;
    int64_t value = 12345;
    EXPECT_EQ(ReadInteger(c.text, position, value), c.read) << c.text;
    EXPECT_EQ(value, c.read ? c.value : 12345) << c.text;
    EXPECT_EQ(position, c.end) << c.text;
  }
}

TEST(ReadInteger, ReadsTheServerPartOfAnAddressAfterSkippingSpaces) {
  const std::string text = "host:4001  \t:5000";
  size_t position = 5;
  int64_t value = 0;
  ASSERT_TRUE(ReadInteger(text, position, value));
  EXPECT_EQ(value, 4001);
  SkipSpaces(text, position);
  EXPECT_EQ(text[position], ':');
  position = text.size();
  SkipSpaces(text, position);
  EXPECT_EQ(position, text.size());
}

TEST(TestKeyword, IgnoresCaseAndAdvancesOnlyWhenAsked) {
  const std::string text = "tcp://host";
  size_t position = 0;
  EXPECT_TRUE(TestKeyword(text, position, "TCP://", false));
  EXPECT_EQ(position, 0u);
  EXPECT_TRUE(TestKeyword(text, position, "TCP://", true));
  EXPECT_EQ(position, 6u);
  EXPECT_TRUE(TestKeyword(text, position, "HOST", true));
  EXPECT_EQ(position, 10u);
  EXPECT_TRUE(TestKeyword(text, position, "", true));
  position = 0;
  EXPECT_FALSE(TestKeyword(text, position, "UDP://", true));
  EXPECT_FALSE(TestKeyword(text, position, "TCP://HOSTS", true));  // runs past the end
  EXPECT_EQ(position, 0u);
  position = 50;
  EXPECT_FALSE(TestKeyword(text, position, "", true));
}

}  // namespace
}  // namespace kestrova
