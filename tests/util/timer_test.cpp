#include "util/timer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "platform/poll_message_loop.h"
#include "util/exception.h"
#include "util/unhandled_exception.h"

namespace kestrova {
namespace {

using std::chrono::milliseconds;

class TimerTest : public ::testing::Test {
 protected:
  TimerTest() { SetMainLoop(&loop); }
  ~TimerTest() override { SetMainLoop(nullptr); }
  PollMessageLoop loop;
};

TEST_F(TimerTest, FiresWhileEnabledWithAHandler) {
  Timer timer(nullptr);
  timer.SetInterval(5);
  int fired = 0;
  timer.SetOnTimer([&](Object* sender) {
    EXPECT_EQ(sender, &timer);
    ++fired;
  });
  EXPECT_TRUE(loop.RunUntil([&] { return fired >= 3; }, milliseconds(5000)));
  timer.SetEnabled(false);
  const int at_stop = fired;
  loop.RunFor(milliseconds(30));
  EXPECT_EQ(fired, at_stop);
}

TEST_F(TimerTest, WaitsForLoadedAndForAnInterval) {
  Timer timer(nullptr);
  int fired = 0;
  timer.BeginLoading();
  timer.SetInterval(1);
  timer.SetOnTimer([&](Object*) { ++fired; });
  loop.RunFor(milliseconds(20));
  EXPECT_EQ(fired, 0);
  timer.SetInterval(0);
  timer.Loaded();
  loop.RunFor(milliseconds(20));
  EXPECT_EQ(fired, 0);
  timer.SetInterval(1);
  EXPECT_TRUE(loop.RunUntil([&] { return fired > 0; }, milliseconds(5000)));
}

TEST_F(TimerTest, MayBeFreedFromItsOwnHandler) {
  auto* timer = new Timer(nullptr);
  timer->SetInterval(1);
  int fired = 0;
  timer->SetOnTimer([&](Object* sender) {
    ++fired;
    delete sender;
  });
  loop.RunFor(milliseconds(30));
  EXPECT_EQ(fired, 1);
}

TEST_F(TimerTest, HandlerFailuresAreReportedAndTheTimerGoesOn) {
  std::string reported;
  SetUnhandledExceptionHandler([&](const std::exception& e) { reported = e.what(); });
  Timer timer(nullptr);
  timer.SetInterval(1);
  int fired = 0;
  timer.SetOnTimer([&](Object*) {
    if (++fired == 1) throw Exception("tick failed");
  });
  EXPECT_TRUE(loop.RunUntil([&] { return fired >= 2; }, milliseconds(5000)));
  SetUnhandledExceptionHandler(nullptr);
  EXPECT_EQ(reported, "tick failed");
}

}  // namespace
}  // namespace kestrova
