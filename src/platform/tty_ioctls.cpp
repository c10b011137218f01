#include "platform/tty_ioctls_internal.h"

#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>

#include "platform/serial_device.h"

namespace kestrova::tty_ioctls {
namespace {

int Result(int rc) { return rc == 0 ? 0 : MapModemError(errno); }

}  // namespace

int MapModemError(int error) {
  // ENOIOCTLCMD (515) escapes from a few drivers instead of ENOTTY.
  return error == ENOTTY || error == EINVAL || error == 515 ? kSerialNotSupported : error;
}

ErrnoResult<int> GetModemLines(int fd) {
  int bits = 0;
  if (ioctl(fd, TIOCMGET, &bits) != 0) return {MapModemError(errno), 0};
  return {0, bits};
}

int SetModemLines(int fd, int tiocm_bits, bool on) {
  return Result(ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &tiocm_bits));
}

ErrnoResult<InterruptCounters> GetInterruptCounters(int fd) {
  serial_icounter_struct k{};
  if (ioctl(fd, TIOCGICOUNT, &k) != 0) return {MapModemError(errno), {}};
  InterruptCounters c;
  c.cts = static_cast<uint32_t>(k.cts);
  c.dsr = static_cast<uint32_t>(k.dsr);
  c.ring = static_cast<uint32_t>(k.rng);
  c.dcd = static_cast<uint32_t>(k.dcd);
  c.frame = static_cast<uint32_t>(k.frame);
  c.overrun = static_cast<uint32_t>(k.overrun);
  c.parity = static_cast<uint32_t>(k.parity);
  c.brk = static_cast<uint32_t>(k.brk);
  c.buffer_overrun = static_cast<uint32_t>(k.buf_overrun);
  return {0, c};
}

ErrnoResult<bool> GetRs485(int fd) {
  serial_rs485 rs485{};
  if (ioctl(fd, TIOCGRS485, &rs485) != 0) return {MapModemError(errno), false};
  return {0, (rs485.flags & SER_RS485_ENABLED) != 0};
}

int SetRs485(int fd, bool on) {
  serial_rs485 rs485{};
  if (ioctl(fd, TIOCGRS485, &rs485) != 0) return MapModemError(errno);
  rs485.flags &= ~(SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND | SER_RS485_RTS_AFTER_SEND);
  if (on) rs485.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
  return Result(ioctl(fd, TIOCSRS485, &rs485));
}

ErrnoResult<uint32_t> InputQueue(int fd) {
  int count = 0;
  if (ioctl(fd, TIOCINQ, &count) != 0) return {errno, 0};
  return {0, static_cast<uint32_t>(count)};
}

ErrnoResult<uint32_t> OutputQueue(int fd) {
  int count = 0;
  if (ioctl(fd, TIOCOUTQ, &count) != 0) return {errno, 0};
  return {0, static_cast<uint32_t>(count)};
}

int SetBreak(int fd, bool on) { return Result(ioctl(fd, on ? TIOCSBRK : TIOCCBRK)); }

int HoldOutput(int fd, bool hold) { return tcflow(fd, hold ? TCOOFF : TCOON) == 0 ? 0 : errno; }

int Flush(int fd, bool input, bool output) {
  if (!input && !output) return 0;
  const int which = input && output ? TCIOFLUSH : (input ? TCIFLUSH : TCOFLUSH);
  return tcflush(fd, which) == 0 ? 0 : errno;
}

int SetExclusive(int fd, bool on) { return Result(ioctl(fd, on ? TIOCEXCL : TIOCNXCL)); }

}  // namespace kestrova::tty_ioctls
