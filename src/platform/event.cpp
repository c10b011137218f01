#include "platform/event.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

#include "platform/wait.h"

namespace kestrova {
namespace {

int CreateEventFd(bool initially_set) {
  const int fd = eventfd(initially_set ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fd < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
  return fd;
}

}  // namespace

Event::Event(Mode mode, bool initially_set)
    : mode_(mode),
      fd_(CreateEventFd(initially_set)),
      set_(initially_set && mode == Mode::kManualReset) {}

Event::~Event() { close(fd_); }

void Event::Set() {
  const uint64_t one = 1;
  // Fails only when the counter is near its maximum, and then the event is set anyway.
  [[maybe_unused]] const ssize_t written = write(fd_, &one, sizeof one);
  if (mode_ == Mode::kManualReset) set_.store(true);
}

void Event::Reset() {
  if (mode_ == Mode::kManualReset) set_.store(false);
  TryTake();
}

bool Event::TryTake() {
  uint64_t count = 0;
  // Reading clears the whole counter: one release however often the event was set.
  return read(fd_, &count, sizeof count) == static_cast<ssize_t>(sizeof count);
}

bool Event::Wait(std::chrono::milliseconds timeout) {
  const int fds[] = {fd_};
  if (mode_ == Mode::kManualReset) {
    if (timeout == timeout.zero()) return set_.load();
    return WaitForAny(fds, timeout) == 0;
  }
  const bool forever = timeout < std::chrono::milliseconds::zero();
  const auto deadline = std::chrono::steady_clock::now() + (forever ? timeout.zero() : timeout);
  for (;;) {
    if (TryTake()) return true;
    std::chrono::milliseconds left = kWaitForever;
    if (!forever) {
      left =
          std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left <= left.zero()) return false;
    }
    // Another waiter may take it between our wake-up and our read; then wait on.
    if (WaitForAny(fds, left) < 0) return TryTake();
  }
}

}  // namespace kestrova
