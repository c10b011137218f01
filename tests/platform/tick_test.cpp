#include "platform/tick.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace kestrova {
namespace {

TEST(TickCount, ReplacedSourceIsUsedAndCanBeRestored) {
  uint32_t fake = 0xFFFFFFF0u;
  SetTickSource([&fake] { return fake; });
  EXPECT_EQ(TickCount(), 0xFFFFFFF0u);
  fake += 0x20;  // across the wrap
  EXPECT_EQ(TickCount(), 0x10u);
  SetTickSource(nullptr);

  const uint32_t before = TickCount();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const uint32_t elapsed = TickCount() - before;
  EXPECT_GE(elapsed, 15u);
  EXPECT_LT(elapsed, 5000u);
}

}  // namespace
}  // namespace kestrova
