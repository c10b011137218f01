// Manual- and auto-reset events on an eventfd, so that a thread can poll() an event together
// with a port or socket descriptor.
#pragma once

#include <atomic>
#include <chrono>

namespace kestrova {

class Event {
 public:
  // A manual-reset event stays set until Reset(); an auto-reset event releases one waiter per
  // Set() and is reset by that release (setting it twice before a wait releases one waiter).
  enum class Mode { kManualReset, kAutoReset };

  // Throws std::system_error when no eventfd can be had.
  explicit Event(Mode mode, bool initially_set = false);
  ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  // Any thread.
  void Set();
  void Reset();

  // Any thread. True when the event was set within `timeout` (kWaitForever waits for good);
  // an auto-reset event is taken (reset) by a true return.
  bool Wait(std::chrono::milliseconds timeout);

  // Readable while the event is set. After poll() reports it, call Wait with a zero timeout to
  // take an auto-reset event; another waiter may have taken it first.
  int fd() const { return fd_; }

 private:
  bool TryTake();

  const Mode mode_;
  const int fd_;
  // A manual-reset event's state as well, so that a zero-timeout check needs no system call;
  // unused by an auto-reset event, whose state is the descriptor's alone.
  std::atomic<bool> set_;
};

}  // namespace kestrova
