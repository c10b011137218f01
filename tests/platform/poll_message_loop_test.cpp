#include "platform/poll_message_loop.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/stamped_order.h"

namespace kestrova {
namespace {

using std::chrono::milliseconds;
using testing::AllArrivedInSourceOrder;
using testing::Stamp;

constexpr milliseconds kPatience(5000);  // only reached when something is broken

class Pipe {
 public:
  Pipe() { EXPECT_EQ(pipe(fds_), 0); }
  ~Pipe() {
    close(fds_[0]);
    close(fds_[1]);
  }
  int read_end() const { return fds_[0]; }
  int write_end() const { return fds_[1]; }
  void Fill() { ASSERT_EQ(write(fds_[1], "x", 1), 1); }
  void Drain() {
    char byte = 0;
    ASSERT_EQ(read(fds_[0], &byte, 1), 1);
  }

 private:
  int fds_[2] = {-1, -1};
};

TEST(PollMessageLoop, PostsFromSeveralThreadsAllArriveInPerThreadOrder) {
  constexpr int kThreads = 4;
  constexpr int kPerThread = 2000;
  PollMessageLoop loop;
  std::vector<Stamp> received;
  std::vector<std::thread> posters;
  for (int source = 0; source < kThreads; ++source) {
    posters.emplace_back([&loop, &received, source] {
      for (int sequence = 0; sequence < kPerThread; ++sequence) {
        loop.Post([&received, source, sequence] { received.push_back({source, sequence}); });
      }
    });
  }
  const bool all =
      loop.RunUntil([&] { return received.size() == kThreads * kPerThread; }, kPatience);
  for (auto& poster : posters) poster.join();
  EXPECT_TRUE(all);
  EXPECT_TRUE(AllArrivedInSourceOrder(received, kThreads, kPerThread));
}

TEST(PollMessageLoop, TaskPostedByATaskRunsInTheNextTurn) {
  PollMessageLoop loop;
  std::string order;
  loop.Post([&] {
    order += 'a';
    loop.Post([&] { order += 'c'; });
  });
  loop.Post([&] { order += 'b'; });
  EXPECT_TRUE(loop.RunPending());
  EXPECT_EQ(order, "ab");
  EXPECT_TRUE(loop.RunPending());
  EXPECT_EQ(order, "abc");
  EXPECT_FALSE(loop.RunPending());
}

// Makes a timer or a watch that is ready (due, readable) by the next turn after Prepare().
struct Source {
  const char* name;
  std::function<LoopHandle(PollMessageLoop&, Pipe&, MessageLoop::Task)> start;
};

const Source kSources[] = {
    {"timer",
     [](PollMessageLoop& loop, Pipe&, MessageLoop::Task task) {
       return loop.StartTimer(milliseconds(1), std::move(task));
     }},
    {"read watch",
     [](PollMessageLoop& loop, Pipe& pipe, MessageLoop::Task task) {
       pipe.Fill();
       return loop.WatchFd(pipe.read_end(), MessageLoop::Readiness::kReadable, std::move(task));
     }},
    {"write watch",
     [](PollMessageLoop& loop, Pipe& pipe, MessageLoop::Task task) {
       return loop.WatchFd(pipe.write_end(), MessageLoop::Readiness::kWritable, std::move(task));
     }},
};

TEST(PollMessageLoop, HandleDestroyedInItsOwnCallbackNeverFiresAgain) {
  for (const Source& source : kSources) {
    SCOPED_TRACE(source.name);
    PollMessageLoop loop;
    Pipe pipe;
    int calls = 0;
    LoopHandle handle;
    handle = source.start(loop, pipe, [&] {
      ++calls;
      handle.reset();
    });
    loop.RunFor(milliseconds(20));
    EXPECT_EQ(calls, 1);
  }
}

TEST(PollMessageLoop, HandleDestroyedByAnotherCallbackOfTheSameTurnDoesNotFire) {
  for (const Source& first : kSources) {
    for (const Source& second : kSources) {
      SCOPED_TRACE(std::string(first.name) + " and " + second.name);
      PollMessageLoop loop;
      Pipe pipe_a;
      Pipe pipe_b;
      std::vector<char> fired;
      LoopHandle a;
      LoopHandle b;
      a = first.start(loop, pipe_a, [&] {
        fired.push_back('a');
        b.reset();
      });
      b = second.start(loop, pipe_b, [&] {
        fired.push_back('b');
        a.reset();
      });
      std::this_thread::sleep_for(milliseconds(5));  // both timers due
      loop.RunPending();
      ASSERT_EQ(fired.size(), 1u);
      EXPECT_TRUE(a == nullptr || b == nullptr);
    }
  }
}

TEST(PollMessageLoop, WatchIsLevelTriggered) {
  PollMessageLoop loop;
  Pipe pipe;
  int calls = 0;
  const LoopHandle watch =
      loop.WatchFd(pipe.read_end(), MessageLoop::Readiness::kReadable, [&] { ++calls; });
  EXPECT_FALSE(loop.RunPending());
  pipe.Fill();
  for (int turn = 1; turn <= 3; ++turn) {
    EXPECT_TRUE(loop.RunPending());
    EXPECT_EQ(calls, turn);
  }
  pipe.Drain();
  EXPECT_FALSE(loop.RunPending());
  EXPECT_EQ(calls, 3);
}

TEST(PollMessageLoop, WatchSeesHangUpAsReadable) {
  PollMessageLoop loop;
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  bool called = false;
  const LoopHandle watch =
      loop.WatchFd(fds[0], MessageLoop::Readiness::kReadable, [&] { called = true; });
  close(fds[1]);
  EXPECT_TRUE(loop.RunUntil([&] { return called; }, kPatience));
  close(fds[0]);
}

TEST(PollMessageLoop, TimerRepeatsRoughlyAtItsInterval) {
  PollMessageLoop loop;
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::chrono::steady_clock::time_point> ticks;
  const LoopHandle timer =
      loop.StartTimer(milliseconds(10), [&] { ticks.push_back(std::chrono::steady_clock::now()); });
  loop.RunFor(milliseconds(200));
  // Loose bounds: a loaded machine may lose ticks, but never gains any: the n-th tick never
  // comes before n intervals have passed.
  EXPECT_GE(ticks.size(), 3u);
  EXPECT_LE(ticks.size(), 20u);
  for (size_t i = 0; i < ticks.size(); ++i) {
    EXPECT_GE(ticks[i] - start, milliseconds(10) * (i + 1)) << "tick " << i;
  }
}

TEST(PollMessageLoop, TimerThatFellBehindSkipsTheMissedTicks) {
  PollMessageLoop loop;
  int ticks = 0;
  const LoopHandle timer = loop.StartTimer(milliseconds(10), [&] { ++ticks; });
  std::this_thread::sleep_for(milliseconds(60));  // six ticks missed
  loop.RunFor(milliseconds(3));
  EXPECT_GE(ticks, 1);
  EXPECT_LE(ticks, 2);
}

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

TEST(PollMessageLoop, RunUntilSeesStateChangedByAnotherThreadAndTimesOut) {
  PollMessageLoop loop;
  std::atomic<bool> flag{false};
  std::thread setter([&flag] {
    std::this_thread::sleep_for(milliseconds(5));
    flag = true;
  });
  EXPECT_TRUE(loop.RunUntil([&] { return flag.load(); }, kPatience));
  setter.join();
  EXPECT_FALSE(loop.RunUntil([] { return false; }, milliseconds(15)));
}

TEST(PollMessageLoop, NestedRunKeepsTaskOrderAndRunsEachTaskOnce) {
  PollMessageLoop loop;
  std::string order;
  loop.Post([&] {
    order += '<';
    loop.RunUntil([&] { return order.find('c') != std::string::npos; }, kPatience);
    order += '>';
  });
  loop.Post([&] { order += 'b'; });
  loop.Post([&] { order += 'c'; });
  while (loop.RunPending()) {
  }
  EXPECT_EQ(order, "<bc>");
}

TEST(PollMessageLoop, NestedRunNeitherReentersACallbackNorLeavesStaleReadiness) {
  PollMessageLoop loop;
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
    loop.RunUntil([&] { return b_calls >= 1 && ticks >= 2; }, kPatience);
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
  loop.RunPending();
  EXPECT_EQ(a_calls, 1);
  EXPECT_EQ(deepest, 1);
  EXPECT_GE(ticks, 2);
  EXPECT_EQ(b_calls, 1);
  EXPECT_EQ(b_stale_calls, 0);
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

TEST(PollMessageLoop, HandleMayOutliveTheLoop) {
  LoopHandle timer;
  LoopHandle watch;
  Pipe pipe;
  int calls = 0;
  {
    PollMessageLoop loop;
    timer = loop.StartTimer(milliseconds(1), [&] { ++calls; });
    watch = loop.WatchFd(pipe.write_end(), MessageLoop::Readiness::kWritable, [&] { ++calls; });
  }
  timer.reset();
  watch.reset();
  EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace kestrova
