// The shared loop and window behaviour on PollMessageLoop, and what only the poll loop does:
// Run and Quit, and exceptions that leave the Run* call.
#include "platform/poll_message_loop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>

#include "support/loop_contract.h"

namespace kestrova {
namespace {

using std::chrono::milliseconds;
using testing::LoopDriverOf;
using testing::LoopKind;

constexpr milliseconds kPatience(5000);  // only reached when something is broken

const LoopKind kPollLoop{"Poll", [] { return std::make_unique<LoopDriverOf<PollMessageLoop>>(); }};

}  // namespace

namespace testing {
INSTANTIATE_TEST_SUITE_P(Poll, MessageLoopContract, ::testing::Values(kPollLoop));
INSTANTIATE_TEST_SUITE_P(Poll, MessageWindowContract, ::testing::Values(kPollLoop));
}  // namespace testing

namespace {

TEST(PollMessageLoop, QuitFromAnotherThreadEndsRun) {
  PollMessageLoop loop;
  std::thread quitter([&loop] {
    std::this_thread::sleep_for(milliseconds(10));
    loop.Quit();
  });
  loop.Run();  // hangs here if the wake-up is lost
  quitter.join();
}

TEST(PollMessageLoop, QuitBeforeRunEndsItAtOnceButRunsNothingTwice) {
  PollMessageLoop loop;
  int runs = 0;
  loop.Post([&] {
    ++runs;
    loop.Quit();
  });
  loop.Run();
  EXPECT_EQ(runs, 1);
  loop.Quit();
  loop.Run();
  EXPECT_EQ(runs, 1);
}

TEST(PollMessageLoop, ExceptionFromCallbackLeavesTheLoopUsable) {
  PollMessageLoop loop;
  int ticks = 0;
  const LoopHandle timer = loop.StartTimer(milliseconds(1), [&] {
    if (++ticks == 1) throw std::runtime_error("first tick");
  });
  EXPECT_THROW(loop.RunUntil([] { return false; }, kPatience), std::runtime_error);
  EXPECT_TRUE(loop.RunUntil([&] { return ticks >= 3; }, kPatience));
}

}  // namespace
}  // namespace kestrova
