#include "platform/serial_transfer.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <ctime>

namespace kestrova {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

std::optional<Clock::time_point> Earliest(std::optional<Clock::time_point> a,
                                          std::optional<Clock::time_point> b) {
  if (!a) return b;
  if (!b) return a;
  return std::min(*a, *b);
}

milliseconds Product(uint32_t multiplier, size_t size, uint32_t constant) {
  // Cannot overflow: below 2^32 * 2^32 + 2^32 for any buffer a caller can have.
  const uint64_t size64 = std::min<uint64_t>(size, UINT32_MAX);
  return milliseconds(static_cast<int64_t>(multiplier * size64 + constant));
}

}  // namespace

ErrnoResult<ReadyOutcome> WaitReady(int fd, bool for_write, int abort_fd,
                                    std::optional<Clock::time_point> deadline) {
  pollfd fds[2] = {{fd, static_cast<short>(for_write ? POLLOUT : POLLIN), 0},
                   {abort_fd, POLLIN, 0}};
  const nfds_t count = abort_fd >= 0 ? 2 : 1;
  for (;;) {
    timespec left{};
    timespec* timeout = nullptr;
    if (deadline) {
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                          std::max(Clock::duration::zero(), *deadline - Clock::now()))
                          .count();
      left.tv_sec = static_cast<time_t>(ns / 1000000000);
      left.tv_nsec = static_cast<long>(ns % 1000000000);
      timeout = &left;
    }
    if (ppoll(fds, count, timeout, nullptr) < 0) {
      if (errno == EINTR) continue;
      return {errno, ReadyOutcome::kTimedOut};
    }
    if (count == 2 && fds[1].revents != 0) return {0, ReadyOutcome::kAborted};
    if (fds[0].revents != 0) return {0, ReadyOutcome::kReady};
    if (deadline && Clock::now() >= *deadline) return {0, ReadyOutcome::kTimedOut};
  }
}

ReadPlan PlanRead(const SerialTimeouts& timeouts, size_t size) {
  constexpr uint32_t kMax = SerialTimeouts::kMaxTimeout;
  ReadPlan plan;
  if (timeouts.read_interval == kMax && timeouts.read_total_multiplier == 0 &&
      timeouts.read_total_constant == 0) {
    plan.return_at_once = true;
    return plan;
  }
  if (timeouts.read_interval == kMax && timeouts.read_total_multiplier == kMax &&
      timeouts.read_total_constant > 0 && timeouts.read_total_constant < kMax) {
    plan.return_on_first_byte = true;
    plan.total = milliseconds(timeouts.read_total_constant);
    return plan;
  }
  if (timeouts.read_total_multiplier != 0 || timeouts.read_total_constant != 0) {
    plan.total = Product(timeouts.read_total_multiplier, size, timeouts.read_total_constant);
  }
  if (timeouts.read_interval != 0) plan.interval = milliseconds(timeouts.read_interval);
  return plan;
}

std::optional<milliseconds> WriteLimit(const SerialTimeouts& timeouts, size_t size) {
  if (timeouts.write_total_multiplier == 0 && timeouts.write_total_constant == 0) {
    return std::nullopt;
  }
  return Product(timeouts.write_total_multiplier, size, timeouts.write_total_constant);
}

ErrnoResult<size_t> ReadUnderPlan(int data_fd, int abort_fd, size_t size, const ReadPlan& plan,
                                  const TryTransfer& try_read) {
  const auto start = Clock::now();
  std::optional<Clock::time_point> total_deadline;
  if (plan.total) total_deadline = start + *plan.total;
  std::optional<Clock::time_point> interval_deadline;
  size_t got = 0;
  while (got < size) {
    const ErrnoResult<size_t> step = try_read(got);
    if (step.error == 0 && step.value == 0) {
      if (got > 0) break;
      return {kSerialHungUp, 0};
    }
    if (step.error == 0) {
      got += step.value;
      if (plan.return_on_first_byte) break;
      if (plan.interval) interval_deadline = Clock::now() + *plan.interval;
      continue;
    }
    if (step.error != EAGAIN) return {step.error, got};
    if (plan.return_at_once) break;
    const auto deadline = Earliest(total_deadline, interval_deadline);
    if (deadline && Clock::now() >= *deadline) break;
    const ErrnoResult<ReadyOutcome> ready = WaitReady(data_fd, false, abort_fd, deadline);
    if (!ready.ok()) return {ready.error, got};
    if (ready.value == ReadyOutcome::kTimedOut) break;
    if (ready.value == ReadyOutcome::kAborted) return {kSerialAborted, got};
  }
  return {0, got};
}

ErrnoResult<size_t> WriteUnderLimit(int data_fd, int abort_fd, size_t size,
                                    std::optional<milliseconds> limit,
                                    const TryTransfer& try_write) {
  std::optional<Clock::time_point> deadline;
  if (limit) deadline = Clock::now() + *limit;
  // A write asked for after the stop request sends nothing.
  if (abort_fd >= 0) {
    pollfd abort_poll{abort_fd, POLLIN, 0};
    if (poll(&abort_poll, 1, 0) > 0) return {kSerialAborted, 0};
  }
  size_t written = 0;
  while (written < size) {
    const ErrnoResult<size_t> step = try_write(written);
    if (step.error == 0) {
      written += step.value;
      continue;
    }
    if (step.error != EAGAIN) return {step.error, written};
    const ErrnoResult<ReadyOutcome> ready = WaitReady(data_fd, true, abort_fd, deadline);
    if (!ready.ok()) return {ready.error, written};
    if (ready.value == ReadyOutcome::kTimedOut) break;
    if (ready.value == ReadyOutcome::kAborted) return {kSerialAborted, written};
  }
  return {0, written};
}

}  // namespace kestrova
