#include "platform/poll_message_loop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <utility>

namespace kestrova {

struct PollMessageLoop::Entry {
  explicit Entry(PollMessageLoop* owner, Task callback) : loop(owner), task(std::move(callback)) {}
  PollMessageLoop* loop;  // null once the loop is gone
  Task task;
  bool active = true;    // false once the handle is destroyed
  bool running = false;  // its callback is on the stack
};

// Timers run on steady_clock, which is CLOCK_MONOTONIC here: setting the wall clock moves none.
struct PollMessageLoop::Timer : Entry {
  Timer(PollMessageLoop* owner, Task callback, Clock::duration every)
      : Entry(owner, std::move(callback)), interval(every), due(Clock::now() + every) {}
  Clock::duration interval;
  Clock::time_point due;
};

struct PollMessageLoop::Watch : Entry {
  Watch(PollMessageLoop* owner, Task callback, int watched, short wanted)
      : Entry(owner, std::move(callback)), fd(watched), events(wanted) {}
  int fd;
  short events;
};

namespace {

// Marks an entry's callback as on the stack for as long as it runs, exceptions included.
class RunningScope {
 public:
  explicit RunningScope(bool& running) : running_(running) { running_ = true; }
  ~RunningScope() { running_ = false; }
  RunningScope(const RunningScope&) = delete;
  RunningScope& operator=(const RunningScope&) = delete;

 private:
  bool& running_;
};

int CreateWakeFd() {
  const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fd < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
  return fd;
}

constexpr auto kPredicateCheckInterval = std::chrono::milliseconds(10);

// The wait until `until` for ppoll(); zero when it has passed.
timespec TimeLeft(std::chrono::steady_clock::time_point until) {
  const auto now = std::chrono::steady_clock::now();
  timespec left{};
  if (until <= now) return left;
  const auto span = until == until.max() ? until.max().time_since_epoch() : until - now;
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(span);
  left.tv_sec = static_cast<time_t>(std::min<int64_t>(seconds.count(), 1 << 30));
  left.tv_nsec = static_cast<long>(std::chrono::nanoseconds(span - seconds).count());
  return left;
}

}  // namespace

PollMessageLoop::PollMessageLoop() : wake_fd_(CreateWakeFd()) {}

PollMessageLoop::~PollMessageLoop() {
  for (const auto& timer : timers_) timer->loop = nullptr;
  for (const auto& watch : watches_) watch->loop = nullptr;
  close(wake_fd_);
}

void PollMessageLoop::Post(Task task) {
  std::lock_guard lock(mutex_);
  tasks_.push_back(std::move(task));
  WakeLocked();
}

void PollMessageLoop::Quit() {
  std::lock_guard lock(mutex_);
  quit_requested_ = true;
  WakeLocked();
}

void PollMessageLoop::WakeLocked() {
  // Only a loop asleep in poll() needs the syscall; an awake one checks the queue before it
  // sleeps again.
  if (!sleeping_ || wake_signalled_) return;
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = write(wake_fd_, &one, sizeof one);
  wake_signalled_ = true;
}

LoopHandle PollMessageLoop::StartTimer(std::chrono::milliseconds interval, Task task) {
  const Clock::duration every = std::max(interval, std::chrono::milliseconds(1));
  auto timer = std::make_shared<Timer>(this, std::move(task), every);
  timers_.push_back(timer);
  return std::make_unique<Registration>(std::move(timer));
}

LoopHandle PollMessageLoop::WatchFd(int fd, Readiness readiness, Task task) {
  const short events = readiness == Readiness::kReadable ? POLLIN : POLLOUT;
  auto watch = std::make_shared<Watch>(this, std::move(task), fd, events);
  watches_.push_back(watch);
  return std::make_unique<Registration>(std::move(watch));
}

void PollMessageLoop::Forget(const Entry* entry) {
  std::erase_if(timers_, [entry](const auto& timer) { return timer.get() == entry; });
  std::erase_if(watches_, [entry](const auto& watch) { return watch.get() == entry; });
}

void PollMessageLoop::Run() {
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (quit_requested_) {
        quit_requested_ = false;
        return;
      }
    }
    Turn(Clock::time_point::max());
  }
}

void PollMessageLoop::RunFor(std::chrono::milliseconds duration) {
  const auto end = Clock::now() + duration;
  do {
    Turn(end);
  } while (Clock::now() < end);
}

bool PollMessageLoop::RunUntil(const std::function<bool()>& done,
                               std::chrono::milliseconds timeout) {
  const auto end = Clock::now() + timeout;
  while (!done()) {
    const auto now = Clock::now();
    if (now >= end) return false;
    Turn(std::min(end, now + kPredicateCheckInterval));
  }
  return true;
}

bool PollMessageLoop::RunPending() { return Turn(Clock::time_point::min()); }

PollMessageLoop::Clock::time_point PollMessageLoop::NextTimerDue(Clock::time_point limit) const {
  for (const auto& timer : timers_) {
    if (!timer->running) limit = std::min(limit, timer->due);
  }
  return limit;
}

bool PollMessageLoop::Turn(Clock::time_point wait_until) {
  // Watches whose callback is on the stack sit out a nested turn, or it would spin on them.
  std::vector<std::shared_ptr<Watch>> polled;
  std::vector<pollfd> fds;
  polled.reserve(watches_.size());
  fds.reserve(watches_.size() + 1);
  fds.push_back({wake_fd_, POLLIN, 0});
  for (const auto& watch : watches_) {
    if (watch->running) continue;
    polled.push_back(watch);
    fds.push_back({watch->fd, watch->events, 0});
  }

  const timespec wait = TimeLeft(NextTimerDue(wait_until));
  bool block = wait.tv_sec != 0 || wait.tv_nsec != 0;
  {
    std::lock_guard lock(mutex_);
    if (!tasks_.empty() || quit_requested_) block = false;
    sleeping_ = block;
  }
  const timespec no_wait{};
  const int count = ppoll(fds.data(), fds.size(), block ? &wait : &no_wait, nullptr);
  const int poll_error = count < 0 ? errno : 0;
  {
    std::lock_guard lock(mutex_);
    sleeping_ = false;
    if (wake_signalled_) {
      uint64_t wakes = 0;
      [[maybe_unused]] const ssize_t got = read(wake_fd_, &wakes, sizeof wakes);
      wake_signalled_ = false;
    }
  }
  if (poll_error != 0 && poll_error != EINTR) {
    throw std::system_error(poll_error, std::generic_category(), "ppoll");
  }

  const uint64_t turn = ++turns_;
  bool called = count > 0 && CallReadyWatches(polled, fds, turn);
  called = CallDueTimers() || called;
  called = RunQueuedTasks() || called;
  return called;
}

bool PollMessageLoop::CallReadyWatches(const std::vector<std::shared_ptr<Watch>>& polled,
                                       const std::vector<pollfd>& fds, uint64_t turn) {
  bool called = false;
  for (size_t i = 0; i < polled.size(); ++i) {
    // After a nested turn the readiness seen here is stale; the next poll decides again.
    if (turns_ != turn) break;
    Watch& watch = *polled[i];
    if (fds[i + 1].revents == 0 || !watch.active || watch.running) continue;
    RunningScope running(watch.running);
    watch.task();
    called = true;
  }
  return called;
}

bool PollMessageLoop::CallDueTimers() {
  const auto now = Clock::now();
  std::vector<std::shared_ptr<Timer>> due;
  for (const auto& timer : timers_) {
    if (!timer->running && timer->due <= now) due.push_back(timer);
  }
  bool called = false;
  for (const auto& timer : due) {
    // A nested turn may have called or stopped this timer already.
    if (!timer->active || timer->running || timer->due > now) continue;
    timer->due += timer->interval;
    if (timer->due <= now) timer->due = now + timer->interval;
    RunningScope running(timer->running);
    timer->task();
    called = true;
  }
  return called;
}

bool PollMessageLoop::RunQueuedTasks() {
  size_t queued = 0;
  {
    std::lock_guard lock(mutex_);
    queued = tasks_.size();
  }
  // Taken one at a time, so that a nested turn continues with the same queue in order.
  for (size_t i = 0; i < queued; ++i) {
    Task task;
    {
      std::lock_guard lock(mutex_);
      if (tasks_.empty()) return true;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
  }
  return queued > 0;
}

}  // namespace kestrova
