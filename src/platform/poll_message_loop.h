// The MessageLoop on poll() for tests and headless use: posted tasks, repeating timers on the
// monotonic clock and level-triggered descriptor watches, driven by the thread that runs it.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/message_loop.h"

struct pollfd;

namespace kestrova {

// One turn of the loop waits (unless told not to) until a task is posted, a timer is due or a
// watched descriptor is ready, then calls the ready watches, the due timers and the tasks that
// were queued when the task phase began; tasks posted meanwhile run in the next turn.
//
// The thread that drives the loop is its loop thread; StartTimer, WatchFd, the Run* calls and
// handle destruction belong to it. Post and Quit may come from any thread.
//
// Nested running: a callback may drive the loop again (a modal dialog pumping messages). The
// inner run serves everything as usual, except that a timer or watch whose callback is still on
// the stack is not called again until that callback returns. Whatever the outer turn had not yet
// called is left to later turns, so no watch is called on stale readiness and tasks keep their
// order. An exception from a callback propagates out of the Run* call; the loop stays usable.
class PollMessageLoop final : public MessageLoop {
 public:
  // Throws std::system_error when no eventfd can be had.
  PollMessageLoop();
  // Drops queued tasks unrun; handles still alive stay harmless to destroy afterwards.
  ~PollMessageLoop() override;
  PollMessageLoop(const PollMessageLoop&) = delete;
  PollMessageLoop& operator=(const PollMessageLoop&) = delete;

  void Post(Task task) override;
  // An interval below 1 ms is taken as 1 ms. A timer that falls behind skips the missed
  // ticks rather than firing in a burst.
  [[nodiscard]] LoopHandle StartTimer(std::chrono::milliseconds interval, Task task) override;
  // A hang-up, an error or a closed descriptor also counts as ready, so the callback can see it
  // on its next read or write; keep watching a dead descriptor and the loop spins.
  [[nodiscard]] LoopHandle WatchFd(int fd, Readiness readiness, Task task) override;

  // Turns until Quit(). Quit() ends the innermost Run() that sees it; one requested while no
  // Run() is active makes the next Run() return at once.
  void Run();
  // Any thread.
  void Quit();
  // Turns for `duration` (at least one turn).
  void RunFor(std::chrono::milliseconds duration);
  // Turns until `done()` is true or `timeout` has passed; returns `done()`. The predicate is
  // checked at least every 10 ms, so it may also watch state that another thread changes.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
  // One turn without waiting; true when it called anything.
  bool RunPending();

 private:
  using Clock = std::chrono::steady_clock;
  struct Entry;
  struct Timer;
  struct Watch;
  using Registration = EntryRegistration<Entry>;
  friend Registration;

  // One turn, waiting no later than `wait_until`.
  bool Turn(Clock::time_point wait_until);
  bool CallReadyWatches(const std::vector<std::shared_ptr<Watch>>& polled,
                        const std::vector<pollfd>& fds, uint64_t turn);
  bool CallDueTimers();
  bool RunQueuedTasks();
  Clock::time_point NextTimerDue(Clock::time_point limit) const;
  void Forget(const Entry* entry);
  void WakeLocked();

  const int wake_fd_;
  std::vector<std::shared_ptr<Timer>> timers_;
  std::vector<std::shared_ptr<Watch>> watches_;
  uint64_t turns_ = 0;  // counts turns, so an outer turn sees that a nested one ran

  std::mutex mutex_;  // guards the members below, which other threads touch
  std::deque<Task> tasks_;
  bool quit_requested_ = false;
  bool sleeping_ = false;        // the loop thread is in poll() and needs a wake-up
  bool wake_signalled_ = false;  // the eventfd holds an unread wake-up
};

}  // namespace kestrova
