// Runs a piece of a test in a forked child process, for what needs two programs (shared
// memory, cross-process messages), and collects its exit code.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>

namespace kestrova::testing {

class ChildProcess {
 public:
  // `body` runs in the child; its return value is the child's exit code. The child leaves
  // with _exit, skipping the test framework's and the parent's clean-up.
  explicit ChildProcess(const std::function<int()>& body);
  // Kills a child that is still running.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // The exit code, or -1 when the child did not end within `timeout` (it is killed then) or
  // died from a signal.
  int Wait(std::chrono::milliseconds timeout);

 private:
  pid_t pid_ = -1;
};

// A one-way pipe for 32-bit numbers between parent and child.
class NumberPipe {
 public:
  NumberPipe();
  ~NumberPipe();
  NumberPipe(const NumberPipe&) = delete;
  NumberPipe& operator=(const NumberPipe&) = delete;

  void Send(uint32_t value);
  // False when nothing came within `timeout`.
  bool Receive(uint32_t& value, std::chrono::milliseconds timeout);

 private:
  int fds_[2] = {-1, -1};
};

}  // namespace kestrova::testing
