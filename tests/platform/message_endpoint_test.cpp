#include "platform/message_endpoint.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/poll_message_loop.h"
#include "support/child_process.h"

namespace kestrova {
namespace {

using std::chrono::milliseconds;
using testing::ChildProcess;
using testing::NumberPipe;

constexpr milliseconds kPatience(10000);

std::unique_ptr<MessageEndpoint> MakeEndpoint(MessageLoop& loop, MessageEndpoint::Handler handler) {
  auto created = MessageEndpoint::Create(loop, std::move(handler));
  EXPECT_TRUE(created.ok()) << created.error;
  return std::move(created.value);
}

// More posts than the socket queues at once: a poster waits for room while the loop turns.
TEST(MessageEndpoint, PostsArriveInOrderOnTheLoop) {
  PollMessageLoop loop;
  std::vector<EndpointMessage> got;
  auto endpoint = MakeEndpoint(loop, [&](const EndpointMessage& m) { got.push_back(m); });
  ASSERT_NE(endpoint->id(), 0u);
  const EndpointId target = endpoint->id();
  std::atomic<int> failures{0};
  std::thread poster([&] {
    for (uint32_t i = 1; i <= 50; ++i) {
      if (PostToEndpoint(target, {0x406, i, -static_cast<int64_t>(i)}) != 0) ++failures;
    }
  });
  EXPECT_TRUE(loop.RunUntil([&] { return got.size() == 50; }, kPatience));
  poster.join();
  EXPECT_EQ(failures.load(), 0);
  for (uint32_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].id, 0x406u);
    EXPECT_EQ(got[i].wparam, i + 1);
    EXPECT_EQ(got[i].lparam, -static_cast<int64_t>(i + 1));
  }
}

TEST(MessageEndpoint, IdsAreDistinctAndGoneWithTheirEndpoint) {
  PollMessageLoop loop;
  auto a = MakeEndpoint(loop, [](const EndpointMessage&) {});
  auto b = MakeEndpoint(loop, [](const EndpointMessage&) {});
  EXPECT_NE(a->id(), b->id());
  const EndpointId gone = a->id();
  EXPECT_TRUE(EndpointExists(gone));
  a.reset();
  EXPECT_FALSE(EndpointExists(gone));
  EXPECT_EQ(PostToEndpoint(gone, {1, 0, 0}), ECONNREFUSED);
  EXPECT_EQ(SendToEndpoint(gone, {1, 0, 0}, milliseconds(100)), ECONNREFUSED);
}

TEST(MessageEndpoint, SendOnTheOwnThreadRunsTheHandlerAtOnce) {
  PollMessageLoop loop;
  int handled = 0;
  auto endpoint = MakeEndpoint(loop, [&](const EndpointMessage&) { ++handled; });
  EXPECT_EQ(SendToEndpoint(endpoint->id(), {1, 0, 0}, milliseconds(0)), 0);
  EXPECT_EQ(handled, 1);
}

TEST(MessageEndpoint, SendFromAnotherThreadWaitsForTheHandler) {
  PollMessageLoop loop;
  std::atomic<bool> handled{false};
  auto endpoint = MakeEndpoint(loop, [&](const EndpointMessage& m) {
    EXPECT_EQ(m.wparam, 42u);
    handled = true;
  });
  std::atomic<int> result{-1};
  std::atomic<bool> handled_before_return{false};
  std::thread sender([&] {
    result = SendToEndpoint(endpoint->id(), {2, 42, 0}, kPatience);
    handled_before_return = handled.load();
  });
  EXPECT_TRUE(loop.RunUntil([&] { return result.load() != -1; }, kPatience));
  sender.join();
  EXPECT_EQ(result.load(), 0);
  EXPECT_TRUE(handled_before_return.load());
}

TEST(MessageEndpoint, SendTimesOutWhenTheLoopDoesNotTurn) {
  PollMessageLoop loop;
  auto endpoint = MakeEndpoint(loop, [](const EndpointMessage&) {});
  int result = -1;
  std::thread sender([&] { result = SendToEndpoint(endpoint->id(), {3, 0, 0}, milliseconds(50)); });
  sender.join();
  EXPECT_EQ(result, ETIMEDOUT);
}

TEST(MessageEndpoint, AHandlerMayDestroyItsEndpoint) {
  PollMessageLoop loop;
  std::unique_ptr<MessageEndpoint> endpoint;
  int handled = 0;
  endpoint = MakeEndpoint(loop, [&](const EndpointMessage&) {
    ++handled;
    endpoint.reset();
  });
  const EndpointId id = endpoint->id();
  ASSERT_EQ(PostToEndpoint(id, {1, 0, 0}), 0);
  ASSERT_EQ(PostToEndpoint(id, {1, 0, 0}), 0);
  EXPECT_TRUE(loop.RunUntil([&] { return endpoint == nullptr; }, kPatience));
  loop.RunFor(milliseconds(20));
  EXPECT_EQ(handled, 1);
}

TEST(MessageEndpoint, PostToAQueueThatStaysFullGivesUp) {
  PollMessageLoop loop;
  auto endpoint = MakeEndpoint(loop, [](const EndpointMessage&) {});
  int result = 0;
  for (int i = 0; i < 1000 && result == 0; ++i) result = PostToEndpoint(endpoint->id(), {1, 0, 0});
  EXPECT_EQ(result, EAGAIN);
}

// The grab's hand-over: one program posts to another's endpoint and sends it a message that
// must have been handled before the sender goes on.
TEST(MessageEndpoint, TwoProcessesPostAndSendToEachOther) {
  NumberPipe child_id;
  NumberPipe parent_id;
  ChildProcess child([&]() -> int {
    PollMessageLoop loop;
    uint32_t posts = 0;
    bool sent = false;
    auto created = MessageEndpoint::Create(loop, [&](const EndpointMessage& m) {
      if (m.id == 1) ++posts;
      if (m.id == 2) sent = true;
    });
    if (!created.ok()) return 1;
    child_id.Send(created.value->id());
    if (!loop.RunUntil([&] { return posts == 3 && sent; }, kPatience)) return 2;
    uint32_t peer = 0;
    if (!parent_id.Receive(peer, kPatience)) return 3;
    return SendToEndpoint(peer, {7, posts, 0}, kPatience) == 0 ? 0 : 4;
  });
  uint32_t target = 0;
  ASSERT_TRUE(child_id.Receive(target, kPatience));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(PostToEndpoint(target, {1, 0, 0}), 0);
  EXPECT_EQ(SendToEndpoint(target, {2, 0, 0}, kPatience), 0);

  PollMessageLoop loop;
  uint64_t reported_posts = 0;
  auto mine = MakeEndpoint(loop, [&](const EndpointMessage& m) {
    if (m.id == 7) reported_posts = m.wparam;
  });
  parent_id.Send(mine->id());
  EXPECT_TRUE(loop.RunUntil([&] { return reported_posts != 0; }, kPatience));
  EXPECT_EQ(reported_posts, 3u);
  EXPECT_EQ(child.Wait(kPatience), 0);
  EXPECT_FALSE(EndpointExists(target));
}

}  // namespace
}  // namespace kestrova
