#include "platform/event.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/wait.h"

namespace kestrova {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kPatience(5000);  // only reached when something is broken

// Polls `done` until it holds or the patience runs out.
template <typename Predicate>
bool Eventually(Predicate done) {
  const auto give_up = std::chrono::steady_clock::now() + kPatience;
  while (!done()) {
    if (std::chrono::steady_clock::now() > give_up) return false;
    std::this_thread::sleep_for(milliseconds(1));
  }
  return true;
}

TEST(Event, SetResetAndWaitFollowTheMode) {
  struct Step {
    enum { kSet, kReset, kWaitSucceeds, kWaitFails } action;
  };
  struct Case {
    const char* name;
    Event::Mode mode;
    bool initially_set;
    std::vector<Step> steps;
  };
  const Case cases[] = {
      {"manual stays set",
       Event::Mode::kManualReset,
       false,
       {{Step::kWaitFails},
        {Step::kSet},
        {Step::kWaitSucceeds},
        {Step::kWaitSucceeds},
        {Step::kReset},
        {Step::kWaitFails}}},
      {"manual set twice, reset once",
       Event::Mode::kManualReset,
       false,
       {{Step::kSet}, {Step::kSet}, {Step::kReset}, {Step::kWaitFails}}},
      {"manual initially set", Event::Mode::kManualReset, true, {{Step::kWaitSucceeds}}},
      {"auto is taken by a wait",
       Event::Mode::kAutoReset,
       false,
       {{Step::kWaitFails}, {Step::kSet}, {Step::kWaitSucceeds}, {Step::kWaitFails}}},
      {"auto set twice releases once",
       Event::Mode::kAutoReset,
       false,
       {{Step::kSet}, {Step::kSet}, {Step::kWaitSucceeds}, {Step::kWaitFails}}},
      {"auto reset", Event::Mode::kAutoReset, true, {{Step::kReset}, {Step::kWaitFails}}},
      {"auto initially set",
       Event::Mode::kAutoReset,
       true,
       {{Step::kWaitSucceeds}, {Step::kWaitFails}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Event event(c.mode, c.initially_set);
    for (size_t i = 0; i < c.steps.size(); ++i) {
      SCOPED_TRACE(i);
      switch (c.steps[i].action) {
        case Step::kSet:
          event.Set();
          break;
        case Step::kReset:
          event.Reset();
          break;
        case Step::kWaitSucceeds:
          EXPECT_TRUE(event.Wait(milliseconds(0)));
          break;
        case Step::kWaitFails:
          EXPECT_FALSE(event.Wait(milliseconds(0)));
          break;
      }
    }
  }
}

TEST(Event, AutoResetReleasesOneWaiterPerSet) {
  constexpr int kWaiters = 3;
  Event event(Event::Mode::kAutoReset);
  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < kWaiters; ++i) {
    waiters.emplace_back([&] {
      if (event.Wait(kWaitForever)) ++released;
    });
  }
  for (int set = 1; set <= kWaiters; ++set) {
    event.Set();
    EXPECT_TRUE(Eventually([&] { return released >= set; }));
    std::this_thread::sleep_for(milliseconds(10));  // room for a wrong second release
    EXPECT_EQ(released, set);
  }
  for (auto& waiter : waiters) waiter.join();
  EXPECT_FALSE(event.Wait(milliseconds(0)));
}

TEST(Event, ManualResetReleasesEveryWaiter) {
  constexpr int kWaiters = 3;
  Event event(Event::Mode::kManualReset);
  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < kWaiters; ++i) {
    waiters.emplace_back([&] {
      if (event.Wait(kPatience)) ++released;
    });
  }
  event.Set();
  for (auto& waiter : waiters) waiter.join();
  EXPECT_EQ(released, kWaiters);
}

TEST(Event, WaitTimesOutNoEarlierThanAsked) {
  for (const Event::Mode mode : {Event::Mode::kManualReset, Event::Mode::kAutoReset}) {
    Event event(mode);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(event.Wait(milliseconds(20)));
    EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(20));
  }
}

TEST(WaitForAny, ReportsTheLowestReadyDescriptorOrTimeout) {
  Event stop(Event::Mode::kManualReset);
  Event data(Event::Mode::kAutoReset);
  int pipe_fds[2];
  ASSERT_EQ(pipe(pipe_fds), 0);
  const int fds[] = {stop.fd(), pipe_fds[0], data.fd()};

  EXPECT_EQ(WaitForAny(fds, milliseconds(0)), -1);
  EXPECT_EQ(WaitForAny(fds, milliseconds(5)), -1);
  data.Set();
  EXPECT_EQ(WaitForAny(fds, milliseconds(0)), 2);
  EXPECT_EQ(WaitForAny(fds, milliseconds(0)), 2);  // polling does not take the event
  ASSERT_EQ(write(pipe_fds[1], "x", 1), 1);
  EXPECT_EQ(WaitForAny(fds, milliseconds(0)), 1);
  stop.Set();
  EXPECT_EQ(WaitForAny(fds, milliseconds(0)), 0);
  stop.Reset();
  close(pipe_fds[1]);
  char byte = 0;
  ASSERT_EQ(read(pipe_fds[0], &byte, 1), 1);
  EXPECT_EQ(WaitForAny(fds, milliseconds(0)), 1);  // hung up counts as ready
  close(pipe_fds[0]);
  EXPECT_TRUE(data.Wait(milliseconds(0)));
}

TEST(WaitForAny, WakesWhenAnotherThreadSets) {
  Event stop(Event::Mode::kManualReset);
  const int fds[] = {stop.fd()};
  std::thread setter([&stop] {
    std::this_thread::sleep_for(milliseconds(5));
    stop.Set();
  });
  EXPECT_EQ(WaitForAny(fds, kWaitForever), 0);
  setter.join();
}

}  // namespace
}  // namespace kestrova
