// Message windows on a loop: order across threads and windows, dropping, destruction, quit
// markers and synchronous sends, as every MessageLoop must carry them.
#include "platform/message_window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/counting_payload.h"
#include "support/loop_contract.h"
#include "support/stamped_order.h"

namespace kestrova::testing {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kPatience(5000);  // only reached when something is broken

void RunAll(LoopDriver& driver) {
  while (driver.RunPending()) {
  }
}

TEST_P(MessageWindowContract, PostsFromSeveralThreadsArriveInPerThreadOrderWithTheirPayloads) {
  constexpr int kThreads = 3;
  constexpr int kPerThread = 1000;
  const auto driver = NewDriver();
  MessageLoop& loop = driver->loop();
  std::vector<Stamp> received;
  MessageWindow window(loop, [&received](Message message) {
    const std::string* text = PayloadValue<std::string>(message.payload.get());
    ASSERT_NE(text, nullptr);
    ASSERT_EQ(*text, std::to_string(message.lparam));
    received.push_back({static_cast<int>(message.wparam), static_cast<int>(message.lparam)});
  });
  std::vector<std::thread> posters;
  for (int source = 0; source < kThreads; ++source) {
    posters.emplace_back([&window, source] {
      for (int sequence = 0; sequence < kPerThread; ++sequence) {
        window.Post(7, source, sequence, MakePayload(std::to_string(sequence)));
      }
    });
  }
  EXPECT_TRUE(
      driver->RunUntil([&] { return received.size() == kThreads * kPerThread; }, kPatience));
  for (auto& poster : posters) poster.join();
  EXPECT_TRUE(AllArrivedInSourceOrder(received, kThreads, kPerThread));
}

TEST_P(MessageWindowContract, WindowsAndTasksOfOneLoopShareOneOrder) {
  const auto driver = NewDriver();
  MessageLoop& loop = driver->loop();
  std::string order;
  MessageWindow x(loop, [&](Message message) { order += 'x' + std::to_string(message.id); });
  MessageWindow y(loop, [&](Message message) { order += 'y' + std::to_string(message.id); });
  y.Post(1);
  x.Post(1);
  loop.Post([&] { order += "t"; });
  y.Post(2);
  x.Post(2);
  RunAll(*driver);
  EXPECT_EQ(order, "y1x1ty2x2");
}

TEST_P(MessageWindowContract, PostAllKeepsTheOrderAndHandsThePayloadsOn) {
  const auto driver = NewDriver();
  MessageLoop& loop = driver->loop();
  std::string order;
  MessageWindow window(loop, [&](Message message) {
    order += std::to_string(message.id);
    if (const std::string* text = PayloadValue<std::string>(message.payload.get())) order += *text;
  });
  std::vector<Message> batch;
  batch.push_back({1, 0, 0, MakePayload(std::string("a"))});
  batch.push_back({2});
  window.Post(0);
  window.PostAll(batch);
  EXPECT_TRUE(batch.empty());
  window.PostAll(batch);  // nothing to post
  window.Post(3);
  RunAll(*driver);
  EXPECT_EQ(order, "01a23");
}

TEST_P(MessageWindowContract, DropMessagesFreesThePayloadsOfThatIdOnly) {
  const auto driver = NewDriver();
  MessageLoop& loop = driver->loop();
  std::atomic<int> live{0};
  std::vector<int> handled;
  MessageWindow window(loop, [&](Message message) {
    handled.push_back(static_cast<CountingPayload&>(*message.payload).tag);
  });
  for (int i = 0; i < 5; ++i) {
    window.Post(1, 0, 0, std::make_unique<CountingPayload>(live, 100 + i));
    window.Post(2, 0, 0, std::make_unique<CountingPayload>(live, 200 + i));
  }
  EXPECT_EQ(live, 10);
  EXPECT_EQ(window.DropMessages(1), 5u);
  EXPECT_EQ(live, 5);
  EXPECT_EQ(window.DropMessages(1), 0u);
  RunAll(*driver);
  EXPECT_EQ(handled, (std::vector<int>{200, 201, 202, 203, 204}));
  EXPECT_EQ(live, 0);  // the handler owned them and let them go
}

TEST_P(MessageWindowContract, DestroyedWindowFreesPayloadsAndIsNeverCalled) {
  const auto driver = NewDriver();
  MessageLoop& loop = driver->loop();
  std::atomic<int> live{0};
  int calls = 0;
  auto window = std::make_unique<MessageWindow>(loop, [&](Message) { ++calls; });
  for (int i = 0; i < 3; ++i) window->Post(1, 0, 0, std::make_unique<CountingPayload>(live));
  window.reset();
  EXPECT_EQ(live, 0);
  RunAll(*driver);  // the loop still holds a dispatch task per message
  EXPECT_EQ(calls, 0);
}

TEST_P(MessageWindowContract, WindowDestroyedByItsOwnHandlerGetsNoFurtherCalls) {
  const auto driver = NewDriver();
  MessageLoop& loop = driver->loop();
  std::atomic<int> live{0};
  std::vector<uint32_t> handled;
  std::unique_ptr<MessageWindow> window;
  window = std::make_unique<MessageWindow>(loop, [&](Message message) {
    handled.push_back(message.id);
    window.reset();
    EXPECT_EQ(live, 1);  // only the payload this handler holds
  });
  for (uint32_t id = 1; id <= 3; ++id) {
    window->Post(id, 0, 0, std::make_unique<CountingPayload>(live));
  }
  RunAll(*driver);
  EXPECT_EQ(handled, std::vector<uint32_t>{1});
  EXPECT_EQ(live, 0);
}

TEST_P(MessageWindowContract, DispatchPendingUntilQuitStopsAtTheMarker) {
  struct Case {
    const char* name;
    std::vector<int> before_run;  // ids posted, 0 standing for the quit marker
    bool found;
    std::vector<int> drained;  // handled by DispatchPendingUntilQuit
    std::vector<int> later;    // handled afterwards by the loop
  };
  const Case cases[] = {
      {"marker in the middle", {1, 2, 0, 3}, true, {1, 2}, {3}},
      {"marker first", {0, 1}, true, {}, {1}},
      {"no marker", {1, 2}, false, {1, 2}, {}},
      {"two markers", {1, 0, 2, 0, 3}, true, {1}, {2, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto driver = NewDriver();
    MessageLoop& loop = driver->loop();
    std::vector<int> handled;
    MessageWindow window(loop, [&](Message message) { handled.push_back(message.id); });
    for (int id : c.before_run) {
      if (id == 0) {
        window.PostQuit();
      } else {
        window.Post(id);
      }
    }
    EXPECT_EQ(window.DispatchPendingUntilQuit(), c.found);
    EXPECT_EQ(handled, c.drained);
    handled.clear();
    RunAll(*driver);  // ordinary dispatch passes over the second marker
    EXPECT_EQ(handled, c.later);
  }
}

TEST_P(MessageWindowContract, SendReturnsAfterTheHandlerRanOnTheLoopThread) {
  const auto driver = NewDriver();
  MessageLoop& loop = driver->loop();
  const std::thread::id loop_thread = std::this_thread::get_id();
  std::thread::id handler_thread;
  int value = 0;
  MessageWindow window(loop, [&](Message message) {
    handler_thread = std::this_thread::get_id();
    value = *PayloadValue<int>(message.payload.get());
  });
  std::atomic<bool> sent{false};
  std::thread sender([&] {
    EXPECT_TRUE(window.Send(1, 0, 0, MakePayload(42), kPatience));
    EXPECT_EQ(value, 42);  // the send orders the handler's writes before its return
    sent = true;
  });
  EXPECT_TRUE(driver->RunUntil([&] { return sent.load(); }, kPatience));
  sender.join();
  EXPECT_EQ(handler_thread, loop_thread);

  EXPECT_TRUE(window.Send(2, 0, 0, MakePayload(7), kPatience));  // owning thread: direct call
  EXPECT_EQ(value, 7);
}

TEST_P(MessageWindowContract, SendThatTimesOutIsWithdrawnAndFreed) {
  const auto driver = NewDriver();
  MessageLoop& loop = driver->loop();
  std::atomic<int> live{0};
  int calls = 0;
  MessageWindow window(loop, [&](Message) { ++calls; });
  std::thread sender([&] {
    EXPECT_FALSE(window.Send(1, 0, 0, std::make_unique<CountingPayload>(live), milliseconds(20)));
  });
  sender.join();  // the loop is not running meanwhile
  EXPECT_EQ(live, 0);
  RunAll(*driver);
  EXPECT_EQ(calls, 0);
}

// Forwards to another loop and counts the posts, so a test can see a message queued.
class CountingLoop final : public MessageLoop {
 public:
  explicit CountingLoop(MessageLoop& inner) : inner_(inner) {}
  void Post(Task task) override {
    inner_.Post(std::move(task));
    ++posts;
  }
  LoopHandle StartTimer(milliseconds interval, Task task) override {
    return inner_.StartTimer(interval, std::move(task));
  }
  LoopHandle WatchFd(int fd, Readiness readiness, Task task) override {
    return inner_.WatchFd(fd, readiness, std::move(task));
  }
  std::atomic<int> posts{0};

 private:
  MessageLoop& inner_;
};

TEST_P(MessageWindowContract, SendEndsUnhandledWhenItsMessageIsDroppedOrTheWindowGoes) {
  for (const bool destroy : {false, true}) {
    SCOPED_TRACE(destroy ? "window destroyed" : "message dropped");
    const auto driver = NewDriver();
    MessageLoop& loop = driver->loop();
    CountingLoop counting(loop);
    std::atomic<int> live{0};
    int calls = 0;
    auto window = std::make_unique<MessageWindow>(counting, [&](Message) { ++calls; });
    MessageWindow* target = window.get();
    std::atomic<bool> result{true};
    std::thread sender([&] {
      result = target->Send(9, 0, 0, std::make_unique<CountingPayload>(live), kPatience);
    });
    // Once the dispatch task is posted the sender only waits; it no longer touches the window.
    const auto give_up = std::chrono::steady_clock::now() + kPatience;
    while (counting.posts == 0 && std::chrono::steady_clock::now() < give_up) {
      std::this_thread::yield();
    }
    const auto start = std::chrono::steady_clock::now();
    if (destroy) {
      window.reset();
    } else {
      EXPECT_EQ(window->DropMessages(9), 1u);
    }
    sender.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, kPatience / 2);
    EXPECT_FALSE(result);
    EXPECT_EQ(live, 0);
    RunAll(*driver);
    EXPECT_EQ(calls, 0);
  }
}

}  // namespace
}  // namespace kestrova::testing
