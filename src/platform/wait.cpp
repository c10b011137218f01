#include "platform/wait.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <vector>

namespace kestrova {
namespace {

constexpr short kReadyEvents = POLLIN | POLLHUP | POLLERR | POLLNVAL;

// Milliseconds left until `deadline`, rounded up so that a wait never ends a little early.
int RemainingMs(std::chrono::steady_clock::time_point deadline) {
  using std::chrono::ceil;
  using std::chrono::milliseconds;
  const auto left = ceil<milliseconds>(deadline - std::chrono::steady_clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, 1 << 30));
}

}  // namespace

int WaitForAny(std::span<const int> fds, std::chrono::milliseconds timeout) {
  std::vector<pollfd> polled;
  polled.reserve(fds.size());
  for (int fd : fds) polled.push_back({fd, POLLIN, 0});
  const bool forever = timeout < std::chrono::milliseconds::zero();
  const auto deadline = std::chrono::steady_clock::now() + (forever ? timeout.zero() : timeout);
  for (;;) {
    const int wait_ms = forever ? -1 : RemainingMs(deadline);
    const int count = poll(polled.data(), polled.size(), wait_ms);
    if (count > 0) {
      const auto ready = std::find_if(polled.begin(), polled.end(), [](const pollfd& p) {
        return (p.revents & kReadyEvents) != 0;
      });
      return static_cast<int>(ready - polled.begin());
    }
    if (count == 0 && wait_ms == 0) return -1;
    if (count < 0 && errno != EINTR) {
      throw std::system_error(errno, std::generic_category(), "poll");
    }
    // Interrupted by a signal, or woken a little early: wait for what is left.
  }
}

}  // namespace kestrova
