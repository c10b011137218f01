// The program's minimal worker thread: created suspended, started by Resume(), runs the
// virtual Execute() once; a terminate flag the thread checks, and waiting with a time limit.
#pragma once

#include <sys/types.h>
#include <atomic>

#include <chrono>
#include <thread>

#include "platform/event.h"

namespace kestrova {

class VMurThread {
 public:
  // The seven scheduling levels of a worker, lowest first.
  enum Priority : int {
    kIdle,
    kLowest,
    kBelowNormal,
    kNormal,
    kAboveNormal,
    kHighest,
    kTimeCritical,
  };

  VMurThread();
  // Terminates and waits for the thread. A derived class whose Execute uses its own members
  // calls Shutdown() at the start of its destructor.
  virtual ~VMurThread();
  VMurThread(const VMurThread&) = delete;
  VMurThread& operator=(const VMurThread&) = delete;

  // Starts Execute() on a new thread the first time; false when no thread can be had. The
  // thread is created suspended so that the derived object is complete before Execute runs.
  bool Resume();
  bool Started() const { return thread_.joinable(); }

  // Stored for a thread not yet started, applied to a running one. Raising a thread above
  // normal needs the privilege to do so (CAP_SYS_NICE or an RLIMIT_NICE allowance); false
  // when the system refused, and the thread runs at normal priority.
  bool SetPriority(Priority priority);
  Priority GetPriority() const { return priority_.load(); }

  // Only sets the flag; Execute decides when to look at it.
  void Terminate() { terminated_.store(true, std::memory_order_release); }
  bool Terminated() const { return terminated_.load(std::memory_order_acquire); }

  // True once Execute has returned (at once for a thread never started).
  bool WaitFor(std::chrono::milliseconds timeout);
  // Waits without limit and returns the exit code (0).
  int Wait();

 protected:
  virtual void Execute() = 0;
  // Terminate and join; safe to call more than once.
  void Shutdown();

 private:
  void Run();
  static bool ApplyPriority(pid_t tid, Priority priority);

  std::thread thread_;
  Event finished_{Event::Mode::kManualReset};
  std::atomic<bool> terminated_{false};
  std::atomic<pid_t> tid_{0};
  std::atomic<Priority> priority_{kNormal};
};

}  // namespace kestrova
