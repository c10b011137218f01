#include "util/screen_fit.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace kestrova {
namespace {

TEST(UnionOfWorkAreas, BoundingRectangleOfPrimaryAndMonitors) {
  const Rect primary{0, 0, 1920, 1040};
  const std::vector<Rect> beside = {primary, {1920, 0, 1280, 984}};
  EXPECT_EQ(UnionOfWorkAreas(primary, beside), (Rect{0, 0, 3200, 1040}));
  const std::vector<Rect> left_and_above = {primary, {-1280, -200, 1280, 1024}};
  EXPECT_EQ(UnionOfWorkAreas(primary, left_and_above), (Rect{-1280, -200, 3200, 1240}));
  EXPECT_EQ(UnionOfWorkAreas(primary, {}), primary);
  EXPECT_EQ(UnionOfWorkAreas(std::nullopt, {}), (Rect{0, 0, 640, 480}));
  const std::vector<Rect> far = {{1000, 600, 100, 100}};
  EXPECT_EQ(UnionOfWorkAreas(std::nullopt, far), (Rect{0, 0, 1100, 700}));
}

TEST(FitRectToArea, TableOfPlacements) {
  const Rect area{0, 0, 1920, 1040};
  struct Case {
    Rect form;
    Rect area;
    Rect fitted;
  } const cases[] = {
      {{100, 100, 400, 300}, area, {100, 100, 400, 300}},    // inside: unchanged
      {{1800, 900, 400, 300}, area, {1520, 740, 400, 300}},  // past right and bottom
      {{-50, -20, 400, 300}, area, {0, 0, 400, 300}},        // past left and top
      {{100, 100, 3000, 2000}, area, {0, 0, 1920, 1040}},    // larger: shrunk to the area
      {{-500, 50, 2500, 300}, area, {0, 50, 1920, 300}},
      {{100, 100, 400, 300}, {-1280, -200, 3200, 1240}, {100, 100, 400, 300}},
      {{-2000, -900, 400, 300}, {-1280, -200, 3200, 1240}, {-1280, -200, 400, 300}},
      {{3000, 1200, 400, 300}, {-1280, -200, 3200, 1240}, {1520, 740, 400, 300}},
  };
  for (const auto& c : cases) {
    const Rect fitted = FitRectToArea(c.form, c.area);
    EXPECT_EQ(fitted, c.fitted) << c.form.left << "," << c.form.top << " " << c.form.width << "x"
                                << c.form.height;
  }
}

TEST(CentreRectOn, PutsTheCentreOnThePoint) {
  EXPECT_EQ(CentreRectOn({5, 5, 500, 300}, 320, 240), (Rect{70, 90, 500, 300}));
  EXPECT_EQ(CentreRectOn({0, 0, 101, 51}, 0, 0), (Rect{-50, -25, 101, 51}));
}

}  // namespace
}  // namespace kestrova
