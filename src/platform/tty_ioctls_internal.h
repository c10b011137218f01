// The tty ioctls beyond termios that a serial port uses: modem lines, interrupt counters,
// RS-485 mode, queue levels, break, flow and flush. A function the device lacks (ENOTTY or
// EINVAL from the driver, as a pseudo-terminal answers) gives kSerialNotSupported.
#pragma once

#include <cstdint>

#include "platform/errno_result.h"

namespace kestrova::tty_ioctls {

// The kernel's interrupt counters of a UART (TIOCGICOUNT); they only ever count up.
struct InterruptCounters {
  uint32_t cts = 0;
  uint32_t dsr = 0;
  uint32_t ring = 0;
  uint32_t dcd = 0;
  uint32_t frame = 0;
  uint32_t overrun = 0;
  uint32_t parity = 0;
  uint32_t brk = 0;
  uint32_t buffer_overrun = 0;
};

// The device-independent name for "this device has no such function".
int MapModemError(int error);

// TIOCM_* bits of the modem lines.
ErrnoResult<int> GetModemLines(int fd);
int SetModemLines(int fd, int tiocm_bits, bool on);
ErrnoResult<InterruptCounters> GetInterruptCounters(int fd);
// Whether the driver's RS-485 mode is on; kSerialNotSupported without one.
ErrnoResult<bool> GetRs485(int fd);
// RS-485 with RTS raised while sending, lowered after: RTS toggling done by the driver.
int SetRs485(int fd, bool on);
ErrnoResult<uint32_t> InputQueue(int fd);
ErrnoResult<uint32_t> OutputQueue(int fd);
int SetBreak(int fd, bool on);
// Holds or releases our transmission as a received XOFF / XON would.
int HoldOutput(int fd, bool hold);
int Flush(int fd, bool input, bool output);
// TIOCEXCL / TIOCNXCL.
int SetExclusive(int fd, bool on);

}  // namespace kestrova::tty_ioctls
