// The MessageLoop of the GUI: posted tasks, repeating timers and descriptor watches served by
// Qt's event dispatcher, so they run between the window events of the GUI thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/message_loop.h"

class QObject;

namespace kestrova {

// Keeps the contract of PollMessageLoop (task order, repeating timers that skip missed ticks,
// level-triggered watches that also fire on hang-up, handles that stop at once and may outlive
// the loop, nested runs that neither re-enter a callback nor call a watch on stale readiness),
// with these differences:
//
// - Exceptions never leave a callback: Qt cannot unwind through its dispatch. A std::exception
//   goes to the sink given at construction and the loop goes on; anything else ends the program.
// - There is no Run() or Quit(): the GUI runs QApplication::exec(), which serves this loop.
//   Tests drive it with RunFor, RunUntil and RunPending, each a pass of Qt's dispatcher.
// - Within one turn Qt decides the order of ready watches, due timers and tasks.
// - A watch on a descriptor that is no longer open is switched off by Qt with a warning; the
//   poll loop keeps reporting it.
// - A watch whose callback runs a nested event loop (its own or a Qt dialog's) sits that loop
//   out and is served again from the turn after its callback returns.
//
// The loop belongs to the thread that creates it, which must have Qt's event dispatcher (the
// GUI thread, with the QApplication in place); StartTimer, WatchFd, the Run* calls and handle
// destruction belong to it. Post may come from any thread.
class QtMessageLoop final : public MessageLoop {
 public:
  using ExceptionSink = std::function<void(const std::exception&)>;

  // `sink` receives what a callback throws; the program passes ReportUnhandledException.
  // Throws std::invalid_argument when it is empty.
  explicit QtMessageLoop(ExceptionSink sink);
  // Drops queued tasks unrun; handles still alive stay harmless to destroy afterwards.
  ~QtMessageLoop() override;
  QtMessageLoop(const QtMessageLoop&) = delete;
  QtMessageLoop& operator=(const QtMessageLoop&) = delete;

  void Post(Task task) override;
  // Work left for the end of a callback runs right after it returns, before Qt goes on.
  void AtTurnEnd(Task task) override;
  // An interval below 1 ms is taken as 1 ms. Timers are precise: a tick never comes early.
  [[nodiscard]] LoopHandle StartTimer(std::chrono::milliseconds interval, Task task) override;
  [[nodiscard]] LoopHandle WatchFd(int fd, Readiness readiness, Task task) override;

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
  using Registration = EntryRegistration<Entry>;
  friend Registration;

  // One pass of the dispatcher, waiting no later than `wait_until` for something to do.
  void Turn(Clock::time_point wait_until);
  void RunQueuedTasks();
  void ArmLocked();
  void CallTimer(const std::shared_ptr<Entry>& entry);
  void CallWatch(const std::shared_ptr<Entry>& entry);
  void CallEntry(Entry& entry);
  void Invoke(const Task& task);
  void Guarded(const Task& task);
  void ResumeLater(const std::shared_ptr<Entry>& entry);
  void Forget(Entry* entry);

  const ExceptionSink sink_;
  const std::unique_ptr<QObject> context_;  // receives the wake-ups of the task queue
  std::vector<std::shared_ptr<Entry>> entries_;
  uint64_t calls_ = 0;  // callbacks called, so RunPending can tell whether it did anything
  int callback_depth_ = 0;
  std::vector<Task> turn_end_;  // for when the innermost callback returns

  std::mutex mutex_;  // guards the members below, which other threads touch
  std::deque<Task> tasks_;
  bool wake_posted_ = false;  // a wake-up event is on its way to context_
};

}  // namespace kestrova
