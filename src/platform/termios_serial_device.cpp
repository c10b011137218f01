#include "platform/termios_serial_device.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "platform/serial_open_error.h"
#include "platform/serial_transfer.h"
#include "platform/termios_line_internal.h"

namespace kestrova {
namespace {

using Clock = std::chrono::steady_clock;
using tty_ioctls::InterruptCounters;

constexpr uint32_t kCounterEvents = kEvCts | kEvDsr | kEvRlsd | kEvRing | kEvBreak | kEvErr;

uint32_t EventsBetween(const InterruptCounters& before, const InterruptCounters& now) {
  uint32_t events = 0;
  if (now.cts != before.cts) events |= kEvCts;
  if (now.dsr != before.dsr) events |= kEvDsr;
  if (now.dcd != before.dcd) events |= kEvRlsd;
  if (now.ring != before.ring) events |= kEvRing;
  if (now.brk != before.brk) events |= kEvBreak;
  if (now.frame != before.frame || now.overrun != before.overrun || now.parity != before.parity ||
      now.buffer_overrun != before.buffer_overrun) {
    events |= kEvErr;
  }
  return events;
}

uint32_t ErrorsBetween(const InterruptCounters& before, const InterruptCounters& now) {
  uint32_t errors = 0;
  if (now.frame != before.frame) errors |= kCeFrame;
  if (now.overrun != before.overrun) errors |= kCeOverrun;
  if (now.parity != before.parity) errors |= kCeRxParity;
  if (now.brk != before.brk) errors |= kCeBreak;
  if (now.buffer_overrun != before.buffer_overrun) errors |= kCeRxOver;
  return errors;
}

int InvalidSettings(const SerialLineSettings& s) {
  if (s.byte_size < 5 || s.byte_size > 8 || s.baud_rate == 0) return EINVAL;
  if (static_cast<uint8_t>(s.parity) > 4 || static_cast<uint8_t>(s.stop_bits) > 2) return EINVAL;
  if (static_cast<uint8_t>(s.dtr_control) > 2 || static_cast<uint8_t>(s.rts_control) > 3) {
    return EINVAL;
  }
  if ((s.out_x || s.in_x) && s.xon_char == s.xoff_char) return EINVAL;
  return 0;
}

// A modem-line call that the device lacks turns into a report bit; other errors stand.
int NoteModemResult(int error, uint32_t& unsupported) {
  if (error == kSerialNotSupported) {
    unsupported |= kUnsupportedModemControl;
    return 0;
  }
  return error;
}

}  // namespace

TermiosSerialDevice::~TermiosSerialDevice() { Close(); }

SerialOpenResult TermiosSerialDevice::Open(const std::string& device_path) {
  if (fd_ >= 0) return {EALREADY, "The serial device is already open."};
  const int fd = open(device_path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    struct stat device {};
    const bool known = stat(device_path.c_str(), &device) == 0;
    return {error, SerialOpenErrorText(error, device_path, known ? &device : nullptr)};
  }
  const auto fail = [&](int error) {
    close(fd);
    return SerialOpenResult{error, SerialOpenErrorText(error, device_path, nullptr)};
  };
  struct stat device {};
  if (fstat(fd, &device) != 0) return fail(errno);
  if (!S_ISCHR(device.st_mode) || termios_line::CheckTerminal(fd) != 0) return fail(ENOTTY);
  // TIOCEXCL keeps other users out, the lock also privileged ones and this process.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) return fail(errno == EWOULDBLOCK ? EBUSY : errno);
  tty_ioctls::SetExclusive(fd, true);
  if (const int error = termios_line::MakeRaw(fd); error != 0) return fail(error);

  const ErrnoResult<InterruptCounters> counters = tty_ioctls::GetInterruptCounters(fd);
  std::lock_guard lock(mutex_);
  fd_ = fd;
  rs485_on_ = false;
  has_counters_ = counters.ok();
  event_base_ = counters.value;
  error_base_ = counters.value;
  latched_events_ = 0;
  tx_pending_ = false;
  return {};
}

void TermiosSerialDevice::Close() {
  if (fd_ < 0) return;
  if (rs485_on_) tty_ioctls::SetRs485(fd_, false);
  tty_ioctls::SetExclusive(fd_, false);
  close(fd_);
  fd_ = -1;
}

ErrnoResult<SerialConfigureReport> TermiosSerialDevice::Configure(
    const SerialLineSettings& settings) {
  if (fd_ < 0) return {EBADF, {}};
  if (const int error = InvalidSettings(settings); error != 0) return {error, {}};
  std::lock_guard lock(mutex_);
  ErrnoResult<SerialConfigureReport> result = termios_line::Program(fd_, settings);
  if (!result.ok()) return result;
  settings_ = settings;
  const ErrnoResult<uint32_t> lines = ApplyControlLines(settings);
  result.error = lines.error;
  result.value.unsupported |= lines.value;
  return result;
}

ErrnoResult<uint32_t> TermiosSerialDevice::ApplyControlLines(const SerialLineSettings& s) {
  uint32_t unsupported = 0;
  if (s.rts_control == SerialRtsControl::kToggle) {
    if (tty_ioctls::SetRs485(fd_, true) == 0) {
      rs485_on_ = true;
    } else {
      // Without the driver's help RTS stays low: a bus transceiver then keeps listening
      // instead of jamming the bus.
      unsupported |= kUnsupportedRtsToggle;
      const int error =
          NoteModemResult(tty_ioctls::SetModemLines(fd_, TIOCM_RTS, false), unsupported);
      if (error != 0) return {error, unsupported};
    }
  } else if (rs485_on_) {
    tty_ioctls::SetRs485(fd_, false);
    rs485_on_ = false;
  }
  // DTR handshake has no counterpart; DTR stays raised so that the peer sees us present.
  const bool dtr = s.dtr_control != SerialDtrControl::kDisable;
  int error = NoteModemResult(tty_ioctls::SetModemLines(fd_, TIOCM_DTR, dtr), unsupported);
  if (error != 0) return {error, unsupported};
  // With RTS handshake the kernel drives RTS.
  if (s.rts_control == SerialRtsControl::kDisable || s.rts_control == SerialRtsControl::kEnable) {
    const bool rts = s.rts_control == SerialRtsControl::kEnable;
    error = NoteModemResult(tty_ioctls::SetModemLines(fd_, TIOCM_RTS, rts), unsupported);
  }
  return {error, unsupported};
}

SerialLineSettings TermiosSerialDevice::LineSettings() const {
  std::lock_guard lock(mutex_);
  return settings_;
}

int TermiosSerialDevice::SetTimeouts(const SerialTimeouts& timeouts) {
  if (fd_ < 0) return EBADF;
  std::lock_guard lock(mutex_);
  timeouts_ = timeouts;
  return 0;
}

SerialTimeouts TermiosSerialDevice::Timeouts() const {
  std::lock_guard lock(mutex_);
  return timeouts_;
}

ErrnoResult<size_t> TermiosSerialDevice::Read(std::span<char> buffer, int abort_fd) {
  if (fd_ < 0) return {EBADF, 0};
  SerialTimeouts timeouts;
  char evt_char = 0;
  {
    std::lock_guard lock(mutex_);
    timeouts = timeouts_;
    evt_char = settings_.evt_char;
  }
  const ErrnoResult<size_t> result =
      ReadUnderPlan(fd_, abort_fd, buffer.size(), PlanRead(timeouts, buffer.size()),
                    [&](size_t offset) -> ErrnoResult<size_t> {
                      const ssize_t n = read(fd_, buffer.data() + offset, buffer.size() - offset);
                      if (n < 0) return {errno, 0};
                      return {0, static_cast<size_t>(n)};
                    });
  if (result.value > 0 && std::memchr(buffer.data(), evt_char, result.value) != nullptr) {
    latched_events_.fetch_or(kEvRxFlag);
  }
  return result;
}

ErrnoResult<size_t> TermiosSerialDevice::Write(std::string_view data, int abort_fd) {
  if (fd_ < 0) return {EBADF, 0};
  const ErrnoResult<size_t> result =
      WriteUnderLimit(fd_, abort_fd, data.size(), WriteLimit(Timeouts(), data.size()),
                      [&](size_t offset) -> ErrnoResult<size_t> {
                        const ssize_t n = write(fd_, data.data() + offset, data.size() - offset);
                        if (n < 0) return {errno, 0};
                        return {0, static_cast<size_t>(n)};
                      });
  if (result.value > 0) tx_pending_ = true;
  return result;
}

uint32_t TermiosSerialDevice::CounterEvents() {
  const ErrnoResult<InterruptCounters> now = tty_ioctls::GetInterruptCounters(fd_);
  if (!now.ok()) return 0;
  std::lock_guard lock(mutex_);
  const uint32_t events = EventsBetween(event_base_, now.value);
  event_base_ = now.value;
  return events;
}

ErrnoResult<SerialWaitResult> TermiosSerialDevice::Wait(uint32_t event_mask, int abort_fd,
                                                        std::chrono::milliseconds timeout) {
  if (fd_ < 0) return {EBADF, {}};
  std::optional<Clock::time_point> deadline;
  if (timeout >= timeout.zero()) deadline = Clock::now() + timeout;
  const bool watch_counters = has_counters_ && (event_mask & kCounterEvents) != 0;
  for (;;) {
    SerialWaitResult result;
    result.events = latched_events_.exchange(0) & event_mask;
    if (watch_counters) result.events |= CounterEvents() & event_mask;
    const bool watch_tx = (event_mask & kEvTxEmpty) != 0 && tx_pending_;
    if (watch_tx) {
      const ErrnoResult<uint32_t> queued = tty_ioctls::OutputQueue(fd_);
      if (queued.ok() && queued.value == 0) {
        tx_pending_ = false;
        result.events |= kEvTxEmpty;
      }
    }
    // Counters and the output queue can only be watched by looking again and again.
    std::optional<Clock::time_point> until = deadline;
    if (result.events != 0) {
      until = Clock::now();
    } else if (watch_counters || (watch_tx && tx_pending_)) {
      const auto next_look = Clock::now() + kEventPollPeriod;
      until = deadline ? std::min(*deadline, next_look) : next_look;
    }
    const ErrnoResult<ReadyOutcome> ready = WaitReady(fd_, false, abort_fd, until);
    if (!ready.ok()) return {ready.error, {}};
    if (ready.value == ReadyOutcome::kAborted) return {kSerialAborted, {}};
    if (ready.value == ReadyOutcome::kReady) {
      result.readable = true;
      result.events |= event_mask & kEvRxChar;
    }
    if (result.events != 0 || result.readable) return {0, result};
    if (deadline && Clock::now() >= *deadline) return {0, {}};
  }
}

ErrnoResult<uint32_t> TermiosSerialDevice::ModemStatus() {
  if (fd_ < 0) return {EBADF, 0};
  const ErrnoResult<int> lines = tty_ioctls::GetModemLines(fd_);
  if (!lines.ok()) return {lines.error, 0};
  uint32_t status = 0;
  if (lines.value & TIOCM_CTS) status |= kMsCtsOn;
  if (lines.value & TIOCM_DSR) status |= kMsDsrOn;
  if (lines.value & TIOCM_RNG) status |= kMsRingOn;
  if (lines.value & TIOCM_CAR) status |= kMsRlsdOn;
  return {0, status};
}

int TermiosSerialDevice::Escape(SerialEscape function) {
  if (fd_ < 0) return EBADF;
  const SerialLineSettings settings = LineSettings();
  // A line that a handshake or the RS-485 mode drives is not ours to set.
  const bool rts_driven = settings.rts_control == SerialRtsControl::kHandshake ||
                          settings.rts_control == SerialRtsControl::kToggle;
  const bool dtr_driven = settings.dtr_control == SerialDtrControl::kHandshake;
  switch (function) {
    case SerialEscape::kSetXoff:
      return tty_ioctls::HoldOutput(fd_, true);
    case SerialEscape::kSetXon:
      return tty_ioctls::HoldOutput(fd_, false);
    case SerialEscape::kSetRts:
    case SerialEscape::kClrRts:
      if (rts_driven) return EINVAL;
      return tty_ioctls::SetModemLines(fd_, TIOCM_RTS, function == SerialEscape::kSetRts);
    case SerialEscape::kSetDtr:
    case SerialEscape::kClrDtr:
      if (dtr_driven) return EINVAL;
      return tty_ioctls::SetModemLines(fd_, TIOCM_DTR, function == SerialEscape::kSetDtr);
    case SerialEscape::kSetBreak:
      return tty_ioctls::SetBreak(fd_, true);
    case SerialEscape::kClrBreak:
      return tty_ioctls::SetBreak(fd_, false);
  }
  return EINVAL;
}

ErrnoResult<SerialErrorState> TermiosSerialDevice::ClearErrors() {
  if (fd_ < 0) return {EBADF, {}};
  SerialErrorState state;
  if (has_counters_) {
    const ErrnoResult<InterruptCounters> now = tty_ioctls::GetInterruptCounters(fd_);
    if (!now.ok()) return {now.error, {}};
    std::lock_guard lock(mutex_);
    state.errors = ErrorsBetween(error_base_, now.value);
    error_base_ = now.value;
  }
  const ErrnoResult<uint32_t> in = tty_ioctls::InputQueue(fd_);
  const ErrnoResult<uint32_t> out = tty_ioctls::OutputQueue(fd_);
  if (!in.ok()) return {in.error, {}};
  if (!out.ok()) return {out.error, {}};
  state.in_queue = in.value;
  state.out_queue = out.value;
  return {0, state};
}

int TermiosSerialDevice::Purge(uint32_t flags) {
  if (fd_ < 0) return EBADF;
  return tty_ioctls::Flush(fd_, (flags & kPurgeRxClear) != 0, (flags & kPurgeTxClear) != 0);
}

}  // namespace kestrova
