// The shared loop and window behaviour on QtMessageLoop, and what only the Qt loop does: being
// served by Qt's own event loop, and keeping callbacks' exceptions out of Qt.
#include "platform/widgets/qt_message_loop.h"

#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/loop_contract.h"
#include "support/pipe.h"

namespace kestrova {
namespace {

using std::chrono::milliseconds;
using testing::LoopDriverOf;
using testing::LoopKind;
using testing::Pipe;

constexpr milliseconds kPatience(5000);  // only reached when something is broken

// The application lives from before the first test to after the last, and goes before exit.
class QtApplicationEnvironment final : public ::testing::Environment {
 public:
  void SetUp() override { app_ = std::make_unique<QApplication>(argc_, argv_); }
  void TearDown() override { app_.reset(); }

 private:
  int argc_ = 1;
  char name_[24] = "platform_widgets_tests";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const kQtApplication =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

void FailOnException(const std::exception& error) {
  ADD_FAILURE() << "a callback threw: " << error.what();
}

const LoopKind kQtLoop{
    "Qt", [] { return std::make_unique<LoopDriverOf<QtMessageLoop>>(FailOnException); }};

}  // namespace

namespace testing {
INSTANTIATE_TEST_SUITE_P(Qt, MessageLoopContract, ::testing::Values(kQtLoop));
INSTANTIATE_TEST_SUITE_P(Qt, MessageWindowContract, ::testing::Values(kQtLoop));
}  // namespace testing

namespace {

TEST(QtMessageLoop, RefusesAnEmptyExceptionSink) {
  EXPECT_THROW(QtMessageLoop(nullptr), std::invalid_argument);
}

TEST(QtMessageLoop, ExceptionFromATaskGoesToTheSinkAndTheRestOfTheBatchRuns) {
  std::vector<std::string> reported;
  QtMessageLoop loop([&](const std::exception& error) { reported.emplace_back(error.what()); });
  std::string order;
  loop.Post([&] { order += 'a'; });
  loop.Post([&] {
    order += 'b';
    throw std::runtime_error("b failed");
  });
  loop.Post([&] { order += 'c'; });
  EXPECT_TRUE(loop.RunPending());
  EXPECT_EQ(order, "abc");
  EXPECT_EQ(reported, std::vector<std::string>{"b failed"});
}

// What a callback leaves for the turn's end runs as it returns, before any other callback;
// left outside a callback, it runs in a later turn.
TEST(QtMessageLoop, TurnEndWorkRunsAsTheCallbackReturns) {
  QtMessageLoop loop(FailOnException);
  std::string order;
  loop.AtTurnEnd([&] { order += 'x'; });
  loop.Post([&] {
    order += 'a';
    loop.AtTurnEnd([&] { order += 'e'; });
    order += 'b';
  });
  loop.Post([&] { order += 'c'; });
  EXPECT_TRUE(loop.RunPending());
  while (loop.RunPending()) {
  }
  EXPECT_EQ(order, "xabec");
}

TEST(QtMessageLoop, ExceptionFromATimerOrWatchGoesToTheSinkAndItIsCalledAgain) {
  struct Case {
    const char* name;
    std::function<LoopHandle(QtMessageLoop&, Pipe&, MessageLoop::Task)> start;
  };
  const Case cases[] = {
      {"timer",
       [](QtMessageLoop& loop, Pipe&, MessageLoop::Task task) {
         return loop.StartTimer(milliseconds(1), std::move(task));
       }},
      {"watch",
       [](QtMessageLoop& loop, Pipe& pipe, MessageLoop::Task task) {
         pipe.Fill();
         return loop.WatchFd(pipe.read_end(), MessageLoop::Readiness::kReadable, std::move(task));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> reported;
    QtMessageLoop loop([&](const std::exception& error) { reported.emplace_back(error.what()); });
    Pipe pipe;
    int calls = 0;
    const LoopHandle handle = c.start(loop, pipe, [&] {
      if (++calls == 1) throw std::runtime_error("first call");
    });
    EXPECT_TRUE(loop.RunUntil([&] { return calls >= 3; }, kPatience));
    EXPECT_EQ(reported, std::vector<std::string>{"first call"});
  }
}

// How the GUI runs: QApplication::exec() or a dialog's loop, none of the loop's own Run* calls.
TEST(QtMessageLoop, QtsOwnEventLoopServesPostsTimersAndWatches) {
  QtMessageLoop loop(FailOnException);
  QEventLoop event_loop;
  Pipe pipe;
  std::atomic<int> posted{0};
  int ticks = 0;
  int reads = 0;
  const auto check = [&] {
    if (posted == 100 && ticks >= 3 && reads >= 1) event_loop.quit();
  };
  std::thread poster([&] {
    for (int i = 0; i < 100; ++i) {
      loop.Post([&] {
        ++posted;
        check();
      });
    }
  });
  const LoopHandle timer = loop.StartTimer(milliseconds(2), [&] {
    ++ticks;
    check();
  });
  const LoopHandle watch = loop.WatchFd(pipe.read_end(), MessageLoop::Readiness::kReadable, [&] {
    pipe.Drain();
    ++reads;
    check();
  });
  pipe.Fill();
  QTimer::singleShot(kPatience, &event_loop, [&] { event_loop.exit(1); });
  EXPECT_EQ(event_loop.exec(), 0);
  poster.join();
  EXPECT_EQ(posted, 100);
  EXPECT_EQ(reads, 1);
}

// Qt's event loop may pass timers over while descriptors are ready; a flood on a watched line
// must not stop the timers that drive the display.
TEST(QtMessageLoop, TimersKeepTickingUnderQtsLoopWhileAWatchStaysReady) {
  QtMessageLoop loop(FailOnException);
  QEventLoop event_loop;
  Pipe pipe;
  pipe.Fill();  // never drained: ready on every pass
  int ticks = 0;
  const auto give_up = std::chrono::steady_clock::now() + kPatience;
  const LoopHandle watch = loop.WatchFd(pipe.read_end(), MessageLoop::Readiness::kReadable, [&] {
    if (ticks >= 5 || std::chrono::steady_clock::now() > give_up) event_loop.quit();
  });
  const LoopHandle timer = loop.StartTimer(milliseconds(2), [&] { ++ticks; });
  event_loop.exec();
  EXPECT_GE(ticks, 5);
}

// A modal dialog opened from a socket callback runs a nested Qt loop while the socket stays
// readable; the watch must sit it out rather than make the loop spin.
TEST(QtMessageLoop, WatchSitsOutANestedQtLoopInItsCallbackAndComesBackAfter) {
  QtMessageLoop loop(FailOnException);
  Pipe pipe;
  pipe.Fill();  // drained only by the second call
  int calls = 0;
  int depth = 0;
  int deepest = 0;
  int nested_passes = 0;
  const LoopHandle watch = loop.WatchFd(pipe.read_end(), MessageLoop::Readiness::kReadable, [&] {
    ++calls;
    deepest = std::max(deepest, ++depth);
    if (calls == 1) {
      QEventLoop nested;
      const auto connection =
          QObject::connect(QAbstractEventDispatcher::instance(),
                           &QAbstractEventDispatcher::aboutToBlock, [&] { ++nested_passes; });
      QTimer::singleShot(milliseconds(100), &nested, &QEventLoop::quit);
      nested.exec();
      QObject::disconnect(connection);
    } else {
      pipe.Drain();
    }
    --depth;
  });
  EXPECT_TRUE(loop.RunUntil([&] { return calls >= 2; }, kPatience));
  EXPECT_EQ(deepest, 1);
  // Spinning would pass through the dispatcher thousands of times in 100 ms.
  EXPECT_LT(nested_passes, 50);
  EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace kestrova
