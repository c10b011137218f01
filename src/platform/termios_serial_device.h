// The serial line on a Linux tty device: termios (with any bit rate through termios2), the
// modem-control ioctls, the kernel's interrupt counters and RS-485 mode.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>

#include "platform/serial_device.h"
#include "platform/tty_ioctls_internal.h"

namespace kestrova {

// Exclusive through TIOCEXCL and an flock on the device (TIOCEXCL alone does not stop a
// privileged process). A pseudo-terminal works with data only: its modem functions give
// kSerialNotSupported and it never reports line events other than kEvRxChar, kEvRxFlag and
// kEvTxEmpty. Line events on a real port are found by comparing the kernel's interrupt
// counters (TIOCGICOUNT) every kEventPollPeriod while a Wait asks for them, so no edge between
// two looks is lost. The mapping of every setting is in platform/termios_mapping.md.
class TermiosSerialDevice final : public SerialDevice {
 public:
  static constexpr std::chrono::milliseconds kEventPollPeriod{10};

  TermiosSerialDevice() = default;
  ~TermiosSerialDevice() override;
  TermiosSerialDevice(const TermiosSerialDevice&) = delete;
  TermiosSerialDevice& operator=(const TermiosSerialDevice&) = delete;

  SerialOpenResult Open(const std::string& device_path) override;
  void Close() override;
  bool IsOpen() const override { return fd_ >= 0; }

  ErrnoResult<SerialConfigureReport> Configure(const SerialLineSettings& settings) override;
  SerialLineSettings LineSettings() const override;
  int SetTimeouts(const SerialTimeouts& timeouts) override;
  SerialTimeouts Timeouts() const override;

  ErrnoResult<size_t> Read(std::span<char> buffer, int abort_fd) override;
  ErrnoResult<size_t> Write(std::string_view data, int abort_fd) override;
  ErrnoResult<SerialWaitResult> Wait(uint32_t event_mask, int abort_fd,
                                     std::chrono::milliseconds timeout) override;

  ErrnoResult<uint32_t> ModemStatus() override;
  int Escape(SerialEscape function) override;
  ErrnoResult<SerialErrorState> ClearErrors() override;
  int Purge(uint32_t flags) override;

  // The descriptor while open, -1 else; for tests and diagnostics.
  int fd() const { return fd_; }

 private:
  // Events from the interrupt counters since the previous look (kEv... bits).
  uint32_t CounterEvents();
  // DTR, RTS and the RS-485 mode; the value holds kUnsupported... bits.
  ErrnoResult<uint32_t> ApplyControlLines(const SerialLineSettings& settings);

  int fd_ = -1;
  mutable std::mutex mutex_;  // guards what follows up to the atomics
  SerialLineSettings settings_;
  SerialTimeouts timeouts_;
  bool rs485_on_ = false;
  bool has_counters_ = false;
  // The counters as Wait last saw them, and as ClearErrors last saw them.
  tty_ioctls::InterruptCounters event_base_;
  tty_ioctls::InterruptCounters error_base_;
  std::atomic<uint32_t> latched_events_{0};  // kEvRxFlag found by Read, for the next Wait
  std::atomic<bool> tx_pending_{false};      // written since the last kEvTxEmpty
};

}  // namespace kestrova
