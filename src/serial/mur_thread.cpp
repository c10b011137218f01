#include "serial/mur_thread.h"

#include <sys/resource.h>
#include <unistd.h>

#include <system_error>

namespace kestrova {
namespace {

// Nice values for the levels; a worker above normal gets a head start over the GUI's work.
constexpr int kNiceOfPriority[] = {19, 10, 5, 0, -5, -10, -20};

}  // namespace

VMurThread::VMurThread() = default;

VMurThread::~VMurThread() { Shutdown(); }

void VMurThread::Shutdown() {
  Terminate();
  if (thread_.joinable()) thread_.join();
}

bool VMurThread::Resume() {
  if (thread_.joinable()) return true;
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void VMurThread::Run() {
  const pid_t tid = gettid();
  tid_.store(tid);
  const Priority priority = priority_.load();
  if (priority != kNormal) ApplyPriority(tid, priority);
  Execute();
  finished_.Set();
}

bool VMurThread::SetPriority(Priority priority) {
  priority_.store(priority);
  const pid_t tid = tid_.load();
  if (tid == 0) return true;
  return ApplyPriority(tid, priority);
}

bool VMurThread::ApplyPriority(pid_t tid, Priority priority) {
  return setpriority(PRIO_PROCESS, static_cast<id_t>(tid), kNiceOfPriority[priority]) == 0;
}

bool VMurThread::WaitFor(std::chrono::milliseconds timeout) {
  if (!thread_.joinable()) return true;
  return finished_.Wait(timeout);
}

int VMurThread::Wait() {
  if (thread_.joinable()) thread_.join();
  return 0;
}

}  // namespace kestrova
