#include "platform/tick.h"

#include <time.h>

#include <atomic>
#include <mutex>

namespace kestrova {
namespace {

uint32_t MonotonicMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const uint64_t ms =
      static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);  // wraps, as the tick count does
}

// Replacement is rare (tests); reading is hot, so only the flag is read without the lock.
std::atomic<bool> replaced{false};
std::mutex source_mutex;
TickSource& ReplacedSource() {
  static TickSource source;
  return source;
}

}  // namespace

uint32_t TickCount() {
  if (!replaced.load(std::memory_order_acquire)) return MonotonicMilliseconds();
  std::lock_guard lock(source_mutex);
  const TickSource& source = ReplacedSource();
  return source ? source() : MonotonicMilliseconds();
}

void SetTickSource(TickSource source) {
  std::lock_guard lock(source_mutex);
  replaced.store(static_cast<bool>(source), std::memory_order_release);
  ReplacedSource() = std::move(source);
}

}  // namespace kestrova
