// Two running copies of the program sharing one port through the grab: the second copy is a
// forked child with its own loop and component, driven step by step over pipes.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "serial/grab_list.h"
#include "serial_test_support.h"
#include "support/child_process.h"
#include "support/pty_pair.h"

namespace kestrova {
namespace {

using std::chrono::milliseconds;
using testing::ChildProcess;
using testing::CommRecorder;
using testing::MainLoopScope;
using testing::NumberPipe;
using testing::PtyPair;

constexpr milliseconds kLimit{15000};

// Steps of the second copy; it answers each with step * 10 + (its port is open ? 1 : 0).
enum Step : uint32_t { kQueueSoft = 1, kTakeOnce = 2, kAwaitData = 3, kRelease = 4, kQuit = 5 };

int RunSecondCopy(const std::string& port, NumberPipe& steps, NumberPipe& answers) {
  PollMessageLoop loop;
  SetMainLoop(&loop);
  std::string received;  // outlives the component, which may report while destroyed
  TVSSComm32 comm(nullptr);
  comm.SetOnReceiveData(
      [&](VMurCommunicationComponent*, std::string_view data) { received.append(data); });
  comm.SetAutoReconnect(false);
  comm.SetCommPort(port);
  for (;;) {
    uint32_t step = 0;
    // The loop turns while waiting: the first copy's grab messages arrive through it.
    if (!loop.RunUntil([&] { return steps.Receive(step, milliseconds(0)); }, kLimit)) return 2;
    switch (step) {
      case kQueueSoft:
        comm.SetGrab(vscgcSoft);
        break;
      case kTakeOnce:
        comm.SetGrab(vscgcOnce);
        break;
      case kAwaitData:
        if (!loop.RunUntil([&] { return received == "to the second"; }, kLimit)) return 3;
        break;
      case kRelease:
        comm.SetGrab(vscgcNone);
        break;
      case kQuit:
        return 0;
      default:
        return 4;
    }
    answers.Send(step * 10 + (comm.Connected() ? 1 : 0));
  }
}

class GrabProcessTest : public ::testing::Test {
 protected:
  ~GrabProcessTest() override { SharedMemoryBlock::Unlink(GrabBlockName(pty_.slave_path())); }

  // Sends a step to the second copy and turns this copy's loop until it answers.
  uint32_t Step(Step step) {
    steps_.Send(step);
    uint32_t answer = 0;
    loop_.RunUntil([&] { return answers_.Receive(answer, milliseconds(0)); }, kLimit);
    return answer;
  }

  MainLoopScope scope_;
  PollMessageLoop& loop_ = scope_.loop;
  PtyPair pty_;
  NumberPipe steps_;
  NumberPipe answers_;
};

TEST_F(GrabProcessTest, SecondCopyTakesThePortOnceAndHandsItBack) {
  SharedMemoryBlock::Unlink(GrabBlockName(pty_.slave_path()));
  // The child is started while this process has no other threads.
  ChildProcess second([&] { return RunSecondCopy(pty_.slave_path(), steps_, answers_); });

  TVSSComm32 first(nullptr);
  CommRecorder seen(first);
  first.SetCommPort(pty_.slave_path());
  ASSERT_TRUE(first.Connected()) << first.LastErrorText();
  first.SetGrab(vscgcSoft);
  ASSERT_NE(first.GrabEndpoint(), 0u);
  EXPECT_TRUE(first.Connected()) << "alone in the list, the first copy keeps the port";

  EXPECT_EQ(Step(kQueueSoft), kQueueSoft * 10 + 0) << "queued behind the owner, port closed";
  EXPECT_TRUE(first.Connected());

  EXPECT_EQ(Step(kTakeOnce), kTakeOnce * 10 + 1) << "the second copy took the port";
  EXPECT_FALSE(first.Connected());
  EXPECT_EQ(first.Grab(), vscgcSoft);
  pty_.Write("to the second");
  EXPECT_EQ(Step(kAwaitData), kAwaitData * 10 + 1);

  EXPECT_EQ(Step(kRelease), kRelease * 10 + 0);
  ASSERT_TRUE(loop_.RunUntil([&] { return first.Connected(); }, kLimit))
      << "the port comes back to the first copy";
  pty_.Write("back to the first");
  ASSERT_TRUE(loop_.RunUntil([&] { return seen.received == "back to the first"; }, kLimit));

  steps_.Send(kQuit);
  EXPECT_EQ(second.Wait(kLimit), 0);
  EXPECT_EQ(seen.states.back(), CommStateConnected);
}

TEST_F(GrabProcessTest, ClosingTheOwnerHandsThePortToTheNextInLine) {
  ChildProcess second([&] { return RunSecondCopy(pty_.slave_path(), steps_, answers_); });
  auto first = std::make_unique<TVSSComm32>(nullptr);
  first->SetCommPort(pty_.slave_path());
  first->SetGrab(vscgcSoft);
  ASSERT_TRUE(first->Connected());
  EXPECT_EQ(Step(kQueueSoft), kQueueSoft * 10 + 0);

  first.reset();  // leaves the list and tells the next one, after the port is free
  pty_.Write("to the second");
  EXPECT_EQ(Step(kAwaitData), kAwaitData * 10 + 1);
  steps_.Send(kQuit);
  EXPECT_EQ(second.Wait(kLimit), 0);
}

}  // namespace
}  // namespace kestrova
