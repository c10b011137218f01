// The serial line on a Linux tty device: termios (with any bit rate through termios2), the
// modem-control ioctls, the kernel's interrupt counters and RS-485 mode.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/serial_device.h"

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
  ErrnoResult<size_t> Write(std::span<const char> data, int abort_fd) override;
  ErrnoResult<SerialWaitResult> Wait(uint32_t event_mask, int abort_fd,
                                     std::chrono::milliseconds timeout) override;

  ErrnoResult<uint32_t> ModemStatus() override;
  int Escape(SerialEscape function) override;
  ErrnoResult<SerialErrorState> ClearErrors() override;
  int Purge(uint32_t flags) override;

  // The descriptor while open, -1 else; for tests and diagnostics.
  int fd() const { return fd_; }

 private:
  struct Counters;

  int fd_ = -1;
  std::string path_;
  mutable std::mutex mutex_;  // guards the settings, timeouts and counter baselines
  SerialLineSettings settings_;
  SerialTimeouts timeouts_;
  bool rs485_on_ = false;
  bool has_counters_ = false;
  // Baselines of the interrupt counters: one for Wait's events, one for ClearErrors' bits.
  uint32_t event_base_[8] = {};
  uint32_t error_base_[8] = {};
  std::atomic<uint32_t> latched_events_{0};  // kEvRxChar/kEvRxFlag seen by Read
  std::atomic<bool> tx_pending_{false};      // written since the last kEvTxEmpty
};

}  // namespace kestrova
