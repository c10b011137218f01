#include "util/time_text.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrova {
namespace {

constexpr double kSecond = 1.0 / 86400.0;

TEST(TimeToText, TableOfValuesDecimalsAndHourDigits) {
  struct Case {
    double value;
    int decimals;
    bool whole_days;
    int min_hour_digits;
    std::string text;
  } const cases[] = {
      {0.5, 3, false, 1, "12:00:00.000"},
      {(9 * 3600 + 5 * 60 + 3.12) * kSecond, 3, false, 1, "9:05:03.120"},
      {(9 * 3600 + 5 * 60 + 3.12) * kSecond, 3, false, 2, "09:05:03.120"},
      {(9 * 3600 + 5 * 60 + 3.12) * kSecond, 0, false, 1, "9:05:03"},
      {(9 * 3600 + 5 * 60 + 3.12) * kSecond, 1, false, 1, "9:05:03.1"},
      {3.25, 2, false, 1, "6:00:00.00"},                  // only the fraction of the day counts
      {3.25, 2, true, 1, "78:00:00.00"},                  // whole days counted as hours
      {45.0, 0, true, 1, "1080:00:00"},                   // more digits as needed
      {59.9996 * kSecond, 3, false, 1, "0:01:00.000"},    // rounding carries into the seconds
      {3599.9996 * kSecond, 3, false, 1, "1:00:00.000"},  // ... and on into the hours
      {1.234567891 * kSecond, 7, false, 1, "0:00:01.2345679"},
      {0.5, 9, false, 1, "12:00:00.0000000"},  // decimals limited to 7
      {0.5, -3, false, 1, "12:00:00"},
      {1e12, 0, true, 1, "555555:33:20"},  // limited to 2e9 seconds
      {-0.25, 0, false, 1, "-6:00:00"},
      {-1e12, 0, true, 1, "-555555:33:20"},
      {0.0, 3, false, 1, "0:00:00.000"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TimeToText(c.value, c.decimals, c.whole_days, c.min_hour_digits), c.text)
        << c.value << " decimals " << c.decimals;
  }
}

TEST(LocalTimeOfDay, IsAFractionOfADay) {
  const double now = LocalTimeOfDay();
  EXPECT_GE(now, 0.0);
  EXPECT_LT(now, 1.0);
  const std::string text = TimeToText(now, 3, false, 1);
  EXPECT_GE(text.size(), 11u);  // h:mm:ss.zzz
  EXPECT_EQ(text[text.size() - 4], '.');
}

}  // namespace
}  // namespace kestrova
