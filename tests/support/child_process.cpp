#include "support/child_process.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

namespace kestrova::testing {

ChildProcess::ChildProcess(const std::function<int()>& body) {
  pid_ = fork();
  if (pid_ == 0) _exit(body());
  if (pid_ < 0) ADD_FAILURE() << "fork failed, errno " << errno;
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

int ChildProcess::Wait(std::chrono::milliseconds timeout) {
  if (pid_ <= 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      pid_ = -1;
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

NumberPipe::NumberPipe() {
  if (pipe(fds_) != 0) ADD_FAILURE() << "pipe failed, errno " << errno;
}

NumberPipe::~NumberPipe() {
  close(fds_[0]);
  close(fds_[1]);
}

void NumberPipe::Send(uint32_t value) {
  [[maybe_unused]] const ssize_t n = write(fds_[1], &value, sizeof value);
}

bool NumberPipe::Receive(uint32_t& value, std::chrono::milliseconds timeout) {
  pollfd p{fds_[0], POLLIN, 0};
  if (poll(&p, 1, static_cast<int>(timeout.count())) <= 0) return false;
  return read(fds_[0], &value, sizeof value) == static_cast<ssize_t>(sizeof value);
}

}  // namespace kestrova::testing
