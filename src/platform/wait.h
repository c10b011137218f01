// Waiting with a time limit on several descriptors at once (events, thread queues, ports), as a
// worker thread does when it waits for data and for the request to stop together.
#pragma once

#include <chrono>
#include <span>

namespace kestrova {

// A timeout that never runs out.
inline constexpr std::chrono::milliseconds kWaitForever{-1};

// Waits until one of `fds` is readable (or hung up, or in error) and returns the lowest such
// index, or -1 when `timeout` runs out first. Consumes nothing: an auto-reset event still has
// to be taken with Event::Wait. Throws std::system_error when poll() itself fails.
int WaitForAny(std::span<const int> fds, std::chrono::milliseconds timeout);

}  // namespace kestrova
