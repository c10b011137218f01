// The event loop that drives the GUI thread: posted tasks, repeating timers and descriptor
// watches. The poll-based loop serves tests and headless use; the GUI has a Qt-backed one.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace kestrova {

// Keeps a timer or a watch alive; destroying it stops the timer or watch at once, and its
// callback is never called afterwards, even when destroyed from inside that callback.
class LoopRegistration {
 public:
  virtual ~LoopRegistration() = default;
};
using LoopHandle = std::unique_ptr<LoopRegistration>;

// The registration a loop hands out for one of its entries. Going, it marks the entry inactive
// (a turn that still holds the entry skips it; the callback is freed with the entry, never while
// it runs) and has the loop forget it. `Entry` has `bool active` and `loop`, a pointer to the
// loop, which lets this class call its `Forget(Entry*)`.
template <class Entry>
class EntryRegistration final : public LoopRegistration {
 public:
  explicit EntryRegistration(std::shared_ptr<Entry> entry) : entry_(std::move(entry)) {}
  ~EntryRegistration() override {
    entry_->active = false;
    if (entry_->loop != nullptr) entry_->loop->Forget(entry_.get());
  }

 private:
  std::shared_ptr<Entry> entry_;
};

class MessageLoop {
 public:
  using Task = std::function<void()>;
  enum class Readiness { kReadable, kWritable };

  virtual ~MessageLoop() = default;

  // Any thread. Tasks run on the loop thread in the order they were posted.
  virtual void Post(Task task) = 0;

  // Loop thread only. Runs `task` once when the callback now running returns, before the loop
  // goes on; outside a callback, in a later turn. This loop runs it in a later turn always.
  virtual void AtTurnEnd(Task task) { Post(std::move(task)); }

  // Loop thread only. Calls `task` every `interval` until the handle is destroyed.
  [[nodiscard]] virtual LoopHandle StartTimer(std::chrono::milliseconds interval, Task task) = 0;

  // Loop thread only. Level-triggered: calls `task` on every turn of the loop while `fd` is
  // readable (or writable), until the handle is destroyed.
  [[nodiscard]] virtual LoopHandle WatchFd(int fd, Readiness readiness, Task task) = 0;
};

// The loop of the GUI thread, which components without an explicit loop use. The program or a
// test sets it before creating such components.
MessageLoop& MainLoop();
void SetMainLoop(MessageLoop* loop);
// Whether a main loop is set, for code that also serves tools and tests without one.
bool HasMainLoop();

}  // namespace kestrova
