// Reads and writes on a non-blocking descriptor under the serial time limits (SerialTimeouts):
// when a read ends, how long a write may take, and the poll loops that carry them out.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <span>

#include "platform/errno_result.h"
#include "platform/serial_device.h"

namespace kestrova {

enum class ReadyOutcome { kReady, kTimedOut, kAborted };

// Waits until `fd` is readable (or writable, with `for_write`), hung up or in error, until
// `abort_fd` (-1 = none) is readable (kAborted wins over kReady), or until `deadline` (none =
// forever) passes. Exact to the microsecond, so that a 10 ms interval is not 11.
ErrnoResult<ReadyOutcome> WaitReady(int fd, bool for_write, int abort_fd,
                                    std::optional<std::chrono::steady_clock::time_point> deadline);

// When a read of `size` bytes ends besides a full buffer.
struct ReadPlan {
  bool return_at_once = false;                        // with whatever is there, even nothing
  bool return_on_first_byte = false;                  // as soon as anything is there
  std::optional<std::chrono::milliseconds> total;     // since the read began
  std::optional<std::chrono::milliseconds> interval;  // since the last byte, once one came
};

ReadPlan PlanRead(const SerialTimeouts& timeouts, size_t size);
// How long a write of `size` bytes may take; nullopt = no limit.
std::optional<std::chrono::milliseconds> WriteLimit(const SerialTimeouts& timeouts, size_t size);

// Moves what it can without waiting: the byte count, 0 with EAGAIN when nothing can move now,
// 0 with no error at end of file (the line hung up).
using TryTransfer = std::function<ErrnoResult<size_t>(size_t offset)>;

// Reads up to `size` bytes by calling `try_read` (which fills the caller's buffer from
// `offset` on) and polling `data_fd` for input in between, under `plan`. Ends early with
// kSerialAborted when `abort_fd` (-1 = none) is readable, keeping the count read so far. End
// of file before any byte gives kSerialHungUp; after some bytes those bytes are returned and
// the next read reports it.
ErrnoResult<size_t> ReadUnderPlan(int data_fd, int abort_fd, size_t size, const ReadPlan& plan,
                                  const TryTransfer& try_read);

// Writes `size` bytes by calling `try_write` (which sends the caller's bytes from `offset`
// on) and polling `data_fd` for room in between. Ends when all is written, when `limit` runs
// out (error 0, fewer bytes) or on an abort (kSerialAborted) or write error, with the count
// written so far.
ErrnoResult<size_t> WriteUnderLimit(int data_fd, int abort_fd, size_t size,
                                    std::optional<std::chrono::milliseconds> limit,
                                    const TryTransfer& try_write);

}  // namespace kestrova
