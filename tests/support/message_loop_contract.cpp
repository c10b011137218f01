// Task order, timers, watches and handle lifetimes, as every MessageLoop keeps them.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/loop_contract.h"
#include "support/pipe.h"
#include "support/stamped_order.h"

namespace kestrova::testing {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kPatience(5000);  // only reached when something is broken

TEST_P(MessageLoopContract, PostsFromSeveralThreadsAllArriveInPerThreadOrder) {
  constexpr int kThreads = 4;
  constexpr int kPerThread = 2000;
  const auto driver = NewDriver();
  MessageLoop& loop = driver->loop();
  const std::thread::id loop_thread = std::this_thread::get_id();
  std::vector<Stamp> received;
  int elsewhere = 0;  // tasks that ran off the loop thread
  std::vector<std::thread> posters;
  for (int source = 0; source < kThreads; ++source) {
    posters.emplace_back([&, source] {
      for (int sequence = 0; sequence < kPerThread; ++sequence) {
        loop.Post([&, source, sequence] {
          received.push_back({source, sequence});
          if (std::this_thread::get_id() != loop_thread) ++elsewhere;
        });
      }
    });
  }
  const bool all =
      driver->RunUntil([&] { return received.size() == kThreads * kPerThread; }, kPatience);
  for (auto& poster : posters) poster.join();
  EXPECT_TRUE(all);
  EXPECT_TRUE(AllArrivedInSourceOrder(received, kThreads, kPerThread));
  EXPECT_EQ(elsewhere, 0);
}

TEST_P(MessageLoopContract, TaskPostedByATaskRunsInTheNextTurn) {
  const auto driver = NewDriver();
  MessageLoop& loop = driver->loop();
  std::string order;
  loop.Post([&] {
    order += 'a';
    loop.Post([&] { order += 'c'; });
  });
  loop.Post([&] { order += 'b'; });
  EXPECT_TRUE(driver->RunPending());
  EXPECT_EQ(order, "ab");
  EXPECT_TRUE(driver->RunPending());
  EXPECT_EQ(order, "abc");
  EXPECT_FALSE(driver->RunPending());
}

// Starts a timer or a watch that is ready (due, readable) a few milliseconds later.
struct Source {
  const char* name;
  std::function<LoopHandle(MessageLoop&, Pipe&, MessageLoop::Task)> start;
};

const Source kSources[] = {
    {"timer",
     [](MessageLoop& loop, Pipe&, MessageLoop::Task task) {
       return loop.StartTimer(milliseconds(1), std::move(task));
     }},
    {"read watch",
     [](MessageLoop& loop, Pipe& pipe, MessageLoop::Task task) {
       pipe.Fill();
       return loop.WatchFd(pipe.read_end(), MessageLoop::Readiness::kReadable, std::move(task));
     }},
    {"write watch",
     [](MessageLoop& loop, Pipe& pipe, MessageLoop::Task task) {
       return loop.WatchFd(pipe.write_end(), MessageLoop::Readiness::kWritable, std::move(task));
     }},
};

TEST_P(MessageLoopContract, HandleDestroyedInItsOwnCallbackNeverFiresAgain) {
  for (const Source& source : kSources) {
    SCOPED_TRACE(source.name);
    const auto driver = NewDriver();
    Pipe pipe;
    int calls = 0;
    LoopHandle handle;
    handle = source.start(driver->loop(), pipe, [&] {
      ++calls;
      handle.reset();
    });
    driver->RunFor(milliseconds(20));
    EXPECT_EQ(calls, 1);
  }
}

TEST_P(MessageLoopContract, HandleDestroyedByAnotherCallbackOfTheSameTurnDoesNotFire) {
  for (const Source& first : kSources) {
    for (const Source& second : kSources) {
      SCOPED_TRACE(std::string(first.name) + " and " + second.name);
      const auto driver = NewDriver();
      Pipe pipe_a;
      Pipe pipe_b;
      std::vector<char> fired;
      LoopHandle a;
      LoopHandle b;
      a = first.start(driver->loop(), pipe_a, [&] {
        fired.push_back('a');
        b.reset();
      });
      b = second.start(driver->loop(), pipe_b, [&] {
        fired.push_back('b');
        a.reset();
      });
      std::this_thread::sleep_for(milliseconds(5));  // both timers due
      driver->RunPending();
      ASSERT_EQ(fired.size(), 1u);
      EXPECT_TRUE(a == nullptr || b == nullptr);
    }
  }
}

TEST_P(MessageLoopContract, WatchIsLevelTriggered) {
  const auto driver = NewDriver();
  Pipe pipe;
  int calls = 0;
  const LoopHandle watch =
      driver->loop().WatchFd(pipe.read_end(), MessageLoop::Readiness::kReadable, [&] { ++calls; });
  EXPECT_FALSE(driver->RunPending());
  pipe.Fill();
  for (int turn = 1; turn <= 3; ++turn) {
    EXPECT_TRUE(driver->RunPending());
    EXPECT_EQ(calls, turn);
  }
  pipe.Drain();
  EXPECT_FALSE(driver->RunPending());
  EXPECT_EQ(calls, 3);
}

// A loop may start a watch in the middle of serving others; it must not report the new
// descriptor before it has been asked about it.
TEST_P(MessageLoopContract, WatchStartedByACallbackWaitsForItsDescriptor) {
  const auto driver = NewDriver();
  MessageLoop& loop = driver->loop();
  Pipe busy;
  Pipe idle;
  busy.Fill();  // keeps the other watch ready on every turn
  int busy_calls = 0;
  int idle_calls = 0;
  LoopHandle late;
  const LoopHandle early =
      loop.WatchFd(busy.read_end(), MessageLoop::Readiness::kReadable, [&] { ++busy_calls; });
  loop.Post([&] {
    late = loop.WatchFd(idle.read_end(), MessageLoop::Readiness::kReadable, [&] { ++idle_calls; });
  });
  for (int turn = 0; turn < 5; ++turn) driver->RunPending();
  EXPECT_GE(busy_calls, 3);
  EXPECT_EQ(idle_calls, 0);
}

TEST_P(MessageLoopContract, WatchSeesHangUpAsReadable) {
  const auto driver = NewDriver();
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  bool called = false;
  const LoopHandle watch =
      driver->loop().WatchFd(fds[0], MessageLoop::Readiness::kReadable, [&] { called = true; });
  close(fds[1]);
  EXPECT_TRUE(driver->RunUntil([&] { return called; }, kPatience));
  close(fds[0]);
}

TEST_P(MessageLoopContract, TimerRepeatsRoughlyAtItsInterval) {
  const auto driver = NewDriver();
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::chrono::steady_clock::time_point> ticks;
  const LoopHandle timer = driver->loop().StartTimer(
      milliseconds(10), [&] { ticks.push_back(std::chrono::steady_clock::now()); });
  driver->RunFor(milliseconds(200));
  // Loose bounds: a loaded machine may lose ticks, but never gains any: the n-th tick never
  // comes before n intervals have passed.
  EXPECT_GE(ticks.size(), 3u);
  EXPECT_LE(ticks.size(), 20u);
  for (size_t i = 0; i < ticks.size(); ++i) {
    EXPECT_GE(ticks[i] - start, milliseconds(10) * (i + 1)) << "tick " << i;
  }
}

TEST_P(MessageLoopContract, TimerThatFellBehindSkipsTheMissedTicks) {
  const auto driver = NewDriver();
  int ticks = 0;
  const LoopHandle timer = driver->loop().StartTimer(milliseconds(10), [&] { ++ticks; });
  std::this_thread::sleep_for(milliseconds(60));  // six ticks missed
  driver->RunFor(milliseconds(3));
  EXPECT_GE(ticks, 1);
  EXPECT_LE(ticks, 2);
}

TEST_P(MessageLoopContract, RunUntilSeesStateChangedByAnotherThreadAndTimesOut) {
  const auto driver = NewDriver();
  std::atomic<bool> flag{false};
  std::thread setter([&flag] {
    std::this_thread::sleep_for(milliseconds(5));
    flag = true;
  });
  EXPECT_TRUE(driver->RunUntil([&] { return flag.load(); }, kPatience));
  setter.join();
  EXPECT_FALSE(driver->RunUntil([] { return false; }, milliseconds(15)));
}

TEST_P(MessageLoopContract, NestedRunKeepsTaskOrderAndRunsEachTaskOnce) {
  const auto driver = NewDriver();
  MessageLoop& loop = driver->loop();
  std::string order;
  loop.Post([&] {
    order += '<';
    driver->RunUntil([&] { return order.find('c') != std::string::npos; }, kPatience);
    order += '>';
  });
  loop.Post([&] { order += 'b'; });
  loop.Post([&] { order += 'c'; });
  while (driver->RunPending()) {
  }
  EXPECT_EQ(order, "<bc>");
}

TEST_P(MessageLoopContract, NestedRunNeitherReentersACallbackNorLeavesStaleReadiness) {
  const auto driver = NewDriver();
  MessageLoop& loop = driver->loop();
  Pipe pipe_a;
  Pipe pipe_b;
  pipe_a.Fill();
  pipe_b.Fill();
  int depth = 0;
  int deepest = 0;
  int a_calls = 0;
  int b_calls = 0;
  int b_stale_calls = 0;
  int ticks = 0;
  const LoopHandle a = loop.WatchFd(pipe_a.read_end(), MessageLoop::Readiness::kReadable, [&] {
    ++a_calls;
    deepest = std::max(deepest, ++depth);
    driver->RunUntil([&] { return b_calls >= 1 && ticks >= 2; }, kPatience);
    --depth;
  });
  // B was ready in the outer turn too, but the nested run drains it; the outer turn must not
  // call it again on what its poll saw before.
  const LoopHandle b = loop.WatchFd(pipe_b.read_end(), MessageLoop::Readiness::kReadable, [&] {
    ++b_calls;
    pollfd check{pipe_b.read_end(), POLLIN, 0};
    if (poll(&check, 1, 0) != 1)
      ++b_stale_calls;
    else
      pipe_b.Drain();
  });
  const LoopHandle timer = loop.StartTimer(milliseconds(1), [&] { ++ticks; });
  driver->RunPending();
  EXPECT_EQ(a_calls, 1);
  EXPECT_EQ(deepest, 1);
  EXPECT_GE(ticks, 2);
  EXPECT_EQ(b_calls, 1);
  EXPECT_EQ(b_stale_calls, 0);
}

// The same for a nested run from a task or a timer (a posted message that opens a dialog): the
// loop may already have polled the watch in the turn that called the nesting callback.
TEST_P(MessageLoopContract, NestedRunFromATaskOrTimerLeavesNoStaleReadiness) {
  const Source nesting_sources[] = {
      {"task",
       [](MessageLoop& loop, Pipe&, MessageLoop::Task task) {
         loop.Post(std::move(task));
         return LoopHandle();
       }},
      kSources[0],  // the timer
  };
  for (const Source& nesting : nesting_sources) {
    SCOPED_TRACE(nesting.name);
    const auto driver = NewDriver();
    Pipe unused;
    Pipe pipe_b;
    pipe_b.Fill();
    int nested_runs = 0;
    int b_calls = 0;
    int b_stale_calls = 0;
    LoopHandle nester;
    nester = nesting.start(driver->loop(), unused, [&] {
      ++nested_runs;
      nester.reset();
      driver->RunUntil([&] { return b_calls >= 1; }, kPatience);
    });
    const LoopHandle b =
        driver->loop().WatchFd(pipe_b.read_end(), MessageLoop::Readiness::kReadable, [&] {
          ++b_calls;
          pollfd check{pipe_b.read_end(), POLLIN, 0};
          if (poll(&check, 1, 0) != 1)
            ++b_stale_calls;
          else
            pipe_b.Drain();
        });
    std::this_thread::sleep_for(milliseconds(5));  // the timer due
    EXPECT_TRUE(driver->RunUntil([&] { return nested_runs == 1; }, kPatience));
    driver->RunFor(milliseconds(5));
    EXPECT_EQ(b_calls, 1);
    EXPECT_EQ(b_stale_calls, 0);
  }
}

// A timer that reads what another watch was ready for, then runs a nested loop (a dialog on a
// timeout): whatever the loop had noted about that watch before is stale by now.
TEST_P(MessageLoopContract, ReadinessConsumedBeforeANestedRunIsNotReported) {
  const auto driver = NewDriver();
  Pipe pipe_b;
  pipe_b.Fill();
  int b_calls = 0;
  int b_stale_calls = 0;
  const auto b_ready = [&] {
    pollfd check{pipe_b.read_end(), POLLIN, 0};
    return poll(&check, 1, 0) == 1;
  };
  LoopHandle timer;
  timer = driver->loop().StartTimer(milliseconds(1), [&] {
    timer.reset();
    if (b_ready()) pipe_b.Drain();
    driver->RunFor(milliseconds(5));
  });
  const LoopHandle b =
      driver->loop().WatchFd(pipe_b.read_end(), MessageLoop::Readiness::kReadable, [&] {
        ++b_calls;
        if (b_ready())
          pipe_b.Drain();
        else
          ++b_stale_calls;
      });
  std::this_thread::sleep_for(milliseconds(5));  // the timer due
  driver->RunPending();
  driver->RunFor(milliseconds(5));
  EXPECT_LE(b_calls, 1);
  EXPECT_EQ(b_stale_calls, 0);
}

TEST_P(MessageLoopContract, HandleMayOutliveTheLoop) {
  LoopHandle timer;
  LoopHandle watch;
  Pipe pipe;
  int calls = 0;
  {
    const auto driver = NewDriver();
    timer = driver->loop().StartTimer(milliseconds(1), [&] { ++calls; });
    watch = driver->loop().WatchFd(pipe.write_end(), MessageLoop::Readiness::kWritable,
                                   [&] { ++calls; });
  }
  timer.reset();
  watch.reset();
  EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace kestrova::testing
