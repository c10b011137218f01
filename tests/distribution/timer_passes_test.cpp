// The periodic passes a timer tick drives through the chain.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "distribution/distributor.h"
#include "distribution/top_distributor.h"
#include "platform/poll_message_loop.h"
#include "platform/tick.h"
#include "util/timer.h"

namespace kestrova {
namespace {

class TimerPasses : public ::testing::Test {
 protected:
  TimerPasses() {
    SetTickSource([this] { return now; });
    member.SetDistributor(&top);
    below.SetDistributor(&member);
  }
  ~TimerPasses() override { SetTickSource(nullptr); }

  TimeEvent Log(const char* who) {
    return [this, who](VMurGeneralDistributor*, uint32_t&) { log.push_back(who); };
  }

  uint32_t now = 1000;
  VMurTopDistributor top{nullptr};
  VMurDistributor member{nullptr};
  VMurDistributor below{nullptr};
  std::vector<std::string> log;
};

TEST_F(TimerPasses, TimerPollRunsChildrenFirstAndSkipsDisabledBranches) {
  top.OnTimerPoll() = Log("top");
  member.OnTimerPoll() = Log("member");
  below.OnTimerPoll() = Log("below");
  top.TimerTick();
  EXPECT_EQ(log, (std::vector<std::string>{"below", "member", "top"}));
  log.clear();
  member.SetGlobalEnabled(false);
  top.TimerTick();
  EXPECT_EQ(log, std::vector<std::string>{"top"});
  EXPECT_EQ(below.CurrentTime(), 1000u);
}

TEST_F(TimerPasses, NestedTickSkipsTheBusyHandlerAndRefreshesItsTime) {
  int depth = 0;
  top.OnTimerPoll() = [&](VMurGeneralDistributor*, uint32_t& the_time) {
    log.push_back("top@" + std::to_string(the_time));
    if (depth++ == 0) {
      now = 1500;
      top.TimerTick();  // a handler pumping messages
    }
  };
  member.OnTimerPoll() = [&](VMurGeneralDistributor*, uint32_t& the_time) {
    log.push_back("member@" + std::to_string(the_time));
  };
  top.TimerTick();
  // The nested pass stops at the busy head, children included; the head then takes the time.
  EXPECT_EQ(log, (std::vector<std::string>{"member@1000", "top@1000"}));
  EXPECT_EQ(top.CurrentTime(), 1500u);
}

TEST_F(TimerPasses, TimeoutFiresOnceAfterTheIntervalHasPassed) {
  member.OnTimeout() = Log("timeout");
  top.TimerTick();  // sets the current time
  member.ArmTimeout(100);
  now = 1100;
  top.TimerTick();  // exactly the interval: not yet
  EXPECT_TRUE(log.empty());
  now = 1101;
  top.TimerTick();
  top.TimerTick();
  EXPECT_EQ(log, std::vector<std::string>{"timeout"});
  EXPECT_FALSE(member.TimeoutArmed());
}

TEST_F(TimerPasses, TimeoutArmedJustBeforeTheTickWrapsFires) {
  now = 0xFFFFFFF0u;
  member.OnTimeout() = Log("timeout");
  top.TimerTick();
  member.ArmTimeout(50);
  now = 0x20;  // 0x30 ms later, across the wrap
  top.TimerTick();
  EXPECT_TRUE(log.empty());
  now = 0x23;
  top.TimerTick();
  EXPECT_EQ(log, std::vector<std::string>{"timeout"});
}

TEST_F(TimerPasses, CallbacksRepeatOrRunOnceAndTheRestWaitsWhenTheListChanges) {
  top.TimerTick();
  int once = 0, repeated = 0, added = 0;
  member.RegisterCallback([&] { ++once; }, 10, false);
  const int repeat_id = member.RegisterCallback([&] { ++repeated; }, 10, true);
  now = 1011;
  top.TimerTick();
  EXPECT_EQ(once, 1);
  EXPECT_EQ(repeated, 1);
  now = 1015;
  top.TimerTick();  // the repeating one restarted at 1011
  EXPECT_EQ(repeated, 1);
  now = 1022;
  top.TimerTick();
  EXPECT_EQ(repeated, 2);
  EXPECT_EQ(once, 1);

  // A callback that registers another one: the rest of the list waits for the next tick.
  member.UnregisterCallback(repeat_id);
  member.RegisterCallback([&] { member.RegisterCallback([&] { ++added; }, 0, false); }, 0, false);
  member.RegisterCallback([&] { ++repeated; }, 0, false);
  now = 1030;
  top.TimerTick();
  EXPECT_EQ(repeated, 2);
  EXPECT_EQ(added, 0);
  now = 1031;
  top.TimerTick();
  EXPECT_EQ(repeated, 3);
  EXPECT_EQ(added, 1);
}

TEST_F(TimerPasses, WithTheTimerDisabledOnlyCallbacksRun) {
  top.SetTimerEnabled(false);
  top.OnTimerPoll() = Log("poll");
  top.OnTimeout() = Log("timeout");
  top.ArmTimeout(0);
  top.OnAdvancedComDecode() = [this](VMurGeneralDistributor*, ChannelKey,
                                     VMurDistributor_ChannelRecord*,
                                     uint32_t) { log.push_back("decode"); };
  top.RegisterCallback([this] { log.push_back("callback"); }, 0, true);
  top.SetDoTimerAfterData(false);
  top.ComReceive(nullptr, nullptr, "x");
  log.clear();
  now += 5;
  top.TimerTick();
  EXPECT_EQ(log, std::vector<std::string>{"callback"});
  top.DeleteChannel(nullptr);
}

TEST_F(TimerPasses, ExceptionsEscapingAStageCarryTheStageId) {
  std::vector<int> ids;
  top.OnCallbackException() = [&](VMurGeneralDistributor*, const Exception&, int id,
                                  bool& handled) {
    ids.push_back(id);
    handled = id > 100;
  };
  top.OnTimerPoll() = [](VMurGeneralDistributor*, uint32_t&) { throw Exception("poll"); };
  top.TimerTick();
  EXPECT_EQ(ids, (std::vector<int>{1, 105}));

  ids.clear();
  top.OnTimerPoll() = nullptr;
  bool fail = false;
  top.OnAdvancedComDecode() = [&](VMurGeneralDistributor*, ChannelKey,
                                  VMurDistributor_ChannelRecord*, uint32_t) {
    if (fail) throw Exception("frame");
  };
  top.SetDoTimerAfterData(false);
  top.ComReceive(nullptr, nullptr, "x");  // unclaimed: stays for the next decode
  fail = true;
  top.TimerTick();
  EXPECT_EQ(ids, (std::vector<int>{4, 102}));
  EXPECT_FALSE(top.Buffer(0).Busy);
  top.DeleteChannel(nullptr);
}

// An idle program is not woken 50 times a second: the timer rests while a tick could do
// nothing, and whatever could give a tick work wakes it with the chain's times brought up to date.
TEST_F(TimerPasses, TheTimerRestsOnlyWhileATickCouldDoNothing) {
  PollMessageLoop loop;
  Timer timer(nullptr, &loop);
  timer.SetInterval(20);
  top.SetTimer(&timer);
  bool poll_idle = true;
  top.OnTimerPoll() = Log("poll");
  top.OnTimerPollIdle() = [&] { return poll_idle; };
  top.SetDoTimerAfterData(false);
  VMurDistributor newcomer{nullptr};
  newcomer.OnTimerPoll() = Log("newcomer");

  struct Case {
    const char* what;
    std::function<void()> give_work, take_work;
  };
  const Case cases[] = {
      {"a timeout", [&] { member.ArmTimeout(100); }, [&] { now += 101; }},
      {"a callback", [&] { member.RegisterCallback([] {}, 50, false); }, [&] { now += 51; }},
      {"a member with a poll", [&] { newcomer.SetDistributor(&below); },
       [&] { newcomer.SetDistributor(nullptr); }},
      {"a busy poll",
       [&] {
         poll_idle = false;
         top.WakeTimer();
       },
       [&] { poll_idle = true; }},
      {"bytes waiting on the main channel", [&] { top.ComReceive(nullptr, nullptr, "x"); },
       [&] { top.DeleteChannel(nullptr); }},
      {"the ticks enabled again",
       [&] {
         top.SetTimerEnabled(false);
         top.ComReceive(nullptr, nullptr, "x");
         top.TimerTick();
         EXPECT_TRUE(timer.Resting());
         top.SetTimerEnabled(true);
       },
       [&] { top.DeleteChannel(nullptr); }},
  };
  top.TimerTick();
  ASSERT_TRUE(timer.Resting());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    now += 5000;  // a long rest
    c.give_work();
    EXPECT_FALSE(timer.Resting());
    EXPECT_EQ(member.CurrentTime(), now);
    now += 20;
    top.TimerTick();
    EXPECT_FALSE(timer.Resting());
    c.take_work();
    top.TimerTick();
    EXPECT_TRUE(timer.Resting());
  }
  // Resting means no wake-ups at all, not only ticks that return early.
  log.clear();
  loop.RunFor(std::chrono::milliseconds(60));
  EXPECT_TRUE(log.empty());
  poll_idle = false;
  top.WakeTimer();
  EXPECT_TRUE(loop.RunUntil([&] { return !log.empty(); }, std::chrono::milliseconds(5000)));
  top.SetTimer(nullptr);
}

TEST(AutomaticCreate, AnOwnTimerDrivesTheTicksOnlyWhenAskedFor) {
  PollMessageLoop loop;
  SetMainLoop(&loop);
  {
    VMurTopDistributor automatic(nullptr);
    int polls = 0;
    automatic.OnTimerPoll() = [&](VMurGeneralDistributor*, uint32_t&) { ++polls; };
    automatic.BeginLoading();
    automatic.Loaded();
    ASSERT_NE(automatic.Timer(), nullptr);
    EXPECT_EQ(automatic.Timer()->Name(), "VMurDistributionTimer");
    EXPECT_EQ(automatic.Timer()->Interval(), 20u);
    EXPECT_TRUE(loop.RunUntil([&] { return polls >= 2; }, std::chrono::milliseconds(5000)));

    VMurTopDistributor manual(nullptr);
    manual.SetAutomaticCreate(false);
    manual.BeginLoading();
    manual.Loaded();
    EXPECT_EQ(manual.Timer(), nullptr);

    // A timer of the application's: the head uses it and forgets it when it goes away.
    auto* own = new Timer(nullptr);
    manual.SetTimer(own);
    EXPECT_TRUE(own->OnTimer());
    delete own;
    EXPECT_EQ(manual.Timer(), nullptr);
  }
  SetMainLoop(nullptr);
}

}  // namespace
}  // namespace kestrova
