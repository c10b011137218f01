// Arithmetic on the 32-bit millisecond tick (TickCount), correct across its wrap-around after
// about 49.7 days.
#pragma once

#include <cstdint>

namespace kestrova {

// Milliseconds from `earlier` to `now`, modulo 2^32.
constexpr uint32_t TickDifference(uint32_t now, uint32_t earlier) { return now - earlier; }

// True when strictly more than `timeout` ms have passed from `start` to `now` (modular).
constexpr bool TimeoutPassed(uint32_t start, uint32_t timeout, uint32_t now) {
  return TickDifference(now, start) > timeout;
}

// True when `tick` lies before `reference`, for ticks less than about 24.8 days apart.
constexpr bool TickBefore(uint32_t tick, uint32_t reference) {
  return static_cast<int32_t>(tick - reference) < 0;
}

// The distributor's elapsed test: true when strictly more than `interval` ms have passed from
// `start` to `now`. A `now` before `start` counts as elapsed (the clock cannot have gone back),
// unless the counter wrapped from the upper half to the lower half in between.
constexpr bool TimeElapsed(uint32_t start, uint32_t interval, uint32_t now) {
  constexpr uint32_t kHalf = 0x80000000u;
  if (now >= start) return now - start > interval;
  if (now >= kHalf || start < kHalf) return true;
  return (now + kHalf) - (start - kHalf) > interval;
}

}  // namespace kestrova
