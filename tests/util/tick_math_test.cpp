#include "util/tick_math.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace kestrova {
namespace {

struct ElapsedCase {
  uint32_t start;
  uint32_t interval;
  uint32_t now;
  bool elapsed;
};

TEST(TimeElapsed, StrictlyMoreThanTheIntervalAcrossTheWrap) {
  const ElapsedCase cases[] = {
      {1000, 100, 1100, false},  // exactly the interval is not yet elapsed
      {1000, 100, 1101, true},
      {1000, 0, 1000, false},
      {1000, 0, 1001, true},
      {0xFFFFFFF0u, 0x20, 0x0Fu, false},  // wrapped: 0x1F ms passed
      {0xFFFFFFF0u, 0x20, 0x10u, false},  // exactly 0x20
      {0xFFFFFFF0u, 0x20, 0x11u, true},
      {0x80000000u, 5, 0x7FFFFFFFu, true},  // both in the upper half: now before start
      {1000, 5, 999, true},                 // both in the lower half: now before start
      {0x7FFFFFFFu, 0xFFFFFFFFu, 0x10u, true},
      {0x90000000u, 0x70000010u, 0x00000010u, false},  // wrapped, 0x70000010 passed: not more
      {0x90000000u, 0x7000000Fu, 0x00000010u, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TimeElapsed(c.start, c.interval, c.now), c.elapsed)
        << std::hex << c.start << " + " << c.interval << " at " << c.now;
  }
}

TEST(TickDifference, ModularAndTimeoutTestMatchesIt) {
  EXPECT_EQ(TickDifference(0x10u, 0xFFFFFFF0u), 0x20u);
  EXPECT_EQ(TickDifference(500, 200), 300u);
  EXPECT_EQ(TickDifference(200, 500), 0xFFFFFED4u);
  EXPECT_FALSE(TimeoutPassed(0xFFFFFFF0u, 0x20, 0x10u));
  EXPECT_TRUE(TimeoutPassed(0xFFFFFFF0u, 0x1F, 0x10u));
  EXPECT_FALSE(TimeoutPassed(7, 0, 7));
}

}  // namespace
}  // namespace kestrova
