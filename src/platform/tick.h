// The 32-bit millisecond tick count: monotonic, wraps after about 49.7 days. Tests replace the
// source to set the time, including across the wrap.
#pragma once

#include <cstdint>
#include <functional>

namespace kestrova {

using TickSource = std::function<uint32_t()>;

uint32_t TickCount();

// Replaces the source for the whole process; an empty function restores the monotonic clock.
void SetTickSource(TickSource source);

}  // namespace kestrova
