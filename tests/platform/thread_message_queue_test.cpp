#include "platform/thread_message_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/event.h"
#include "platform/wait.h"
#include "support/counting_payload.h"
#include "support/stamped_order.h"

namespace kestrova {
namespace {

using std::chrono::milliseconds;
using testing::AllArrivedInSourceOrder;
using testing::CountingPayload;
using testing::Stamp;

constexpr milliseconds kPatience(5000);  // only reached when something is broken

bool Readable(const ThreadMessageQueue& queue) {
  const int fds[] = {queue.fd()};
  return WaitForAny(fds, milliseconds(0)) == 0;
}

TEST(ThreadMessageQueue, DescriptorIsReadableExactlyWhileMessagesWait) {
  ThreadMessageQueue queue;
  EXPECT_FALSE(Readable(queue));
  EXPECT_FALSE(queue.TryGet().has_value());
  queue.Post(1, 10, -10, MakePayload(std::string("one")));
  queue.Post(2);
  EXPECT_TRUE(Readable(queue));

  std::optional<Message> first = queue.TryGet();
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->id, 1u);
  EXPECT_EQ(first->wparam, 10u);
  EXPECT_EQ(first->lparam, -10);
  ASSERT_NE(PayloadValue<std::string>(first->payload.get()), nullptr);
  EXPECT_EQ(*PayloadValue<std::string>(first->payload.get()), "one");
  EXPECT_EQ(PayloadValue<int>(first->payload.get()), nullptr);
  EXPECT_TRUE(Readable(queue));

  std::optional<Message> second = queue.TryGet();
  ASSERT_TRUE(second.has_value());
  EXPECT_EQ(second->id, 2u);
  EXPECT_EQ(second->payload, nullptr);
  EXPECT_FALSE(Readable(queue));
}

TEST(ThreadMessageQueue, GetWaitsForAPostOrTimesOut) {
  ThreadMessageQueue queue;
  EXPECT_FALSE(queue.Get(milliseconds(5)).has_value());
  std::thread poster([&queue] {
    std::this_thread::sleep_for(milliseconds(5));
    queue.Post(3);
  });
  const std::optional<Message> message = queue.Get(kPatience);
  poster.join();
  ASSERT_TRUE(message.has_value());
  EXPECT_EQ(message->id, 3u);
}

TEST(ThreadMessageQueue, WorkerWaitsOnQueueAndStopEventTogether) {
  constexpr int kPosters = 3;
  constexpr int kPerPoster = 500;
  ThreadMessageQueue queue;
  Event stop(Event::Mode::kManualReset);
  std::vector<Stamp> received;
  std::thread worker([&] {
    const int fds[] = {stop.fd(), queue.fd()};
    while (WaitForAny(fds, kPatience) == 1) {
      while (std::optional<Message> message = queue.TryGet()) {
        received.push_back({static_cast<int>(message->wparam), static_cast<int>(message->lparam)});
      }
    }
  });
  std::vector<std::thread> posters;
  for (int source = 0; source < kPosters; ++source) {
    posters.emplace_back([&queue, source] {
      for (int sequence = 0; sequence < kPerPoster; ++sequence) queue.Post(5, source, sequence);
    });
  }
  for (auto& poster : posters) poster.join();
  // Everything posted is taken before the worker notices the stop; it then ends.
  const auto give_up = std::chrono::steady_clock::now() + kPatience;
  while (Readable(queue) && std::chrono::steady_clock::now() < give_up) {
    std::this_thread::sleep_for(milliseconds(1));
  }
  stop.Set();
  worker.join();
  EXPECT_TRUE(AllArrivedInSourceOrder(received, kPosters, kPerPoster));
}

TEST(ThreadMessageQueue, DestroyingTheQueueFreesWaitingPayloads) {
  std::atomic<int> live{0};
  {
    ThreadMessageQueue queue;
    for (int i = 0; i < 4; ++i) queue.Post(1, 0, 0, std::make_unique<CountingPayload>(live));
    EXPECT_EQ(live, 4);
    queue.TryGet();
    EXPECT_EQ(live, 3);
  }
  EXPECT_EQ(live, 0);
}

}  // namespace
}  // namespace kestrova
