#include "platform/termination_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <system_error>

namespace kestrova {
namespace {

constexpr std::array<int, 3> kSignals = {SIGTERM, SIGINT, SIGHUP};

// The handler can reach nothing but these.
int write_fd = -1;
int read_fd = -1;
std::atomic<bool> signalled{false};
std::array<struct sigaction, kSignals.size()> previous{};

void OnSignal(int signal_number) {
  if (signalled.exchange(true)) {
    // The user asked twice: the orderly close did not come soon enough.
    ::signal(signal_number, SIG_DFL);
    ::raise(signal_number);
    return;
  }
  const int saved_errno = errno;
  const char number = static_cast<char>(signal_number);
  // A full pipe already holds a signal to act on.
  [[maybe_unused]] const ssize_t written = ::write(write_fd, &number, 1);
  errno = saved_errno;
}

}  // namespace

TerminationSignals::TerminationSignals() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
    throw std::system_error(errno, std::generic_category(), "signal pipe");
  }
  read_fd = fds[0];
  write_fd = fds[1];
  signalled = false;
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &action, &previous[i]);
}

TerminationSignals::~TerminationSignals() {
  for (size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &previous[i], nullptr);
  ::close(read_fd);
  ::close(write_fd);
  read_fd = write_fd = -1;
}

int TerminationSignals::fd() const { return read_fd; }

int TerminationSignals::Take() {
  char number = 0;
  return ::read(read_fd, &number, 1) == 1 ? number : 0;
}

}  // namespace kestrova
