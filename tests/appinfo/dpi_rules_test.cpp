#include "appinfo/dpi_rules.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace kestrova {
namespace {

TEST(DpiRulesTest, MulDivRoundsHalfAwayFromZero) {
  EXPECT_EQ(MulDiv(10, 3, 4), 8);  // 7.5
  EXPECT_EQ(MulDiv(-10, 3, 4), -8);
  EXPECT_EQ(MulDiv(10, 3, -4), -8);
  EXPECT_EQ(MulDiv(7, 1, 3), 2);
  EXPECT_EQ(MulDiv(2000000000, 3, 2), INT32_MAX);  // limited, not wrapped
  EXPECT_EQ(MulDiv(-2000000000, 3, 2), INT32_MIN);
  EXPECT_EQ(MulDiv(1000000, 1000000, 1000000), 1000000);  // no overflow in between
  EXPECT_EQ(MulDiv(5, 1, 0), 0);
}

TEST(DpiRulesTest, DesignTextHeights) {
  const struct {
    const char* family;
    int actual, ppi;
    int expected_actual, expected_design;
  } cases[] = {
      {"Sans", 13, 96, 13, 13},
      {"Sans", 16, 120, 16, 13},  // (1536 + 30) / 120
      {"Sans", 20, 144, 20, 13},  // (1920 + 30) / 144
      {"Tahoma", 16, 120, 16, 13},
      {"Tahoma", 17, 120, 17, 13},  // the rule would give 13 as well
      {"Tahoma", 18, 120, 18, 14},
      {"Tahoma", 17, 144, 17, 11},  // exceptions only at 120
      {"MS Shell Dlg 2", 17, 120, 25, 19},
      {"MS Shell Dlg 2", 16, 120, 16, 13},
      {"Sans", 13, 0, 13, 13},  // no density known
  };
  for (const auto& c : cases) {
    TextHeights heights = DesignTextHeights(c.family, c.actual, c.ppi);
    EXPECT_EQ(heights.actual, c.expected_actual) << c.family << " " << c.actual << "@" << c.ppi;
    EXPECT_EQ(heights.design, c.expected_design) << c.family << " " << c.actual << "@" << c.ppi;
  }
}

TEST(DpiRulesTest, ScaledClientSize) {
  const ScreenMetrics design_screen;
  const ScreenMetrics tall_bars{30, 24};
  const struct {
    const char* what;
    TextHeights text;
    bool sizeable, menu;
    ScreenMetrics screen;
    ClientSize expected;
  } cases[] = {
      {"same density", {13, 13}, true, true, design_screen, {400, 300}},
      {"125 %", {16, 13}, false, false, design_screen, {492, 369}},
      {"caption correction, sizeable only", {13, 13}, true, false, tall_bars, {400, 305}},
      {"no caption correction when fixed", {13, 13}, false, false, tall_bars, {400, 300}},
      {"menu correction", {13, 13}, false, true, tall_bars, {400, 304}},
      {"both, then scaled", {26, 13}, true, true, tall_bars, {800, 618}},
      {"nothing measured", {0, 0}, false, true, tall_bars, {400, 304}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ScaledClientSize({400, 300}, c.text, c.sizeable, c.menu, c.screen), c.expected)
        << c.what;
  }
}

}  // namespace
}  // namespace kestrova
