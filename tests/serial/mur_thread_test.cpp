// The minimal worker thread: suspended until resumed, a terminate flag, waiting with a limit.
#include "serial/mur_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "platform/event.h"

namespace kestrova {
namespace {

using std::chrono::milliseconds;

// Runs until told to terminate, counting its runs.
class LoopingThread final : public VMurThread {
 public:
  explicit LoopingThread(std::atomic<bool>* ended = nullptr) : ended_(ended) {}
  ~LoopingThread() override { Shutdown(); }
  std::atomic<int> runs{0};
  Event started{Event::Mode::kManualReset};

 protected:
  void Execute() override {
    ++runs;
    started.Set();
    while (!Terminated()) std::this_thread::sleep_for(milliseconds(1));
    if (ended_ != nullptr) *ended_ = true;
  }

 private:
  std::atomic<bool>* ended_;
};

TEST(VMurThreadTest, RunsOnlyAfterResumeAndEndsOnTerminate) {
  LoopingThread thread;
  EXPECT_FALSE(thread.started.Wait(milliseconds(50)));
  EXPECT_EQ(thread.runs, 0);
  EXPECT_TRUE(thread.WaitFor(milliseconds(0))) << "a thread never started counts as ended";

  ASSERT_TRUE(thread.Resume());
  ASSERT_TRUE(thread.Resume()) << "a second resume changes nothing";
  ASSERT_TRUE(thread.started.Wait(milliseconds(5000)));
  EXPECT_FALSE(thread.WaitFor(milliseconds(20)));

  thread.Terminate();
  EXPECT_TRUE(thread.Terminated());
  EXPECT_TRUE(thread.WaitFor(milliseconds(5000)));
  EXPECT_EQ(thread.Wait(), 0);
  EXPECT_EQ(thread.runs, 1);
}

TEST(VMurThreadTest, DestroyingARunningThreadStopsIt) {
  std::atomic<bool> ended{false};
  auto thread = std::make_unique<LoopingThread>(&ended);
  ASSERT_TRUE(thread->Resume());
  ASSERT_TRUE(thread->started.Wait(milliseconds(5000)));
  EXPECT_FALSE(ended);
  thread.reset();
  EXPECT_TRUE(ended) << "destruction terminates the thread and waits for it";
}

TEST(VMurThreadTest, LoweringPriorityAlwaysWorks) {
  LoopingThread thread;
  EXPECT_TRUE(thread.SetPriority(VMurThread::kBelowNormal));
  ASSERT_TRUE(thread.Resume());
  ASSERT_TRUE(thread.started.Wait(milliseconds(5000)));
  EXPECT_TRUE(thread.SetPriority(VMurThread::kLowest));
  EXPECT_EQ(thread.GetPriority(), VMurThread::kLowest);
}

}  // namespace
}  // namespace kestrova
