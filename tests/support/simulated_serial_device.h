// A serial device without hardware for tests of the port component: the test drives the far
// end (received bytes, modem lines, line errors, breaks, stalled writes, missing functions)
// through a SimulatedSerialLine and sees what the component did to the line.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/serial_device.h"

namespace kestrova::testing {

// The line with its far end. Every member may be called from any thread; the devices on it
// are used by the component's threads at the same time. Several SimulatedSerialDevice objects
// may share one line (a component that reopens, a second component that must find it busy):
// only one can have it open.
class SimulatedSerialLine {
 public:
  SimulatedSerialLine();
  ~SimulatedSerialLine();
  SimulatedSerialLine(const SimulatedSerialLine&) = delete;
  SimulatedSerialLine& operator=(const SimulatedSerialLine&) = delete;

  // --- The far end acts ---
  // Bytes for the device to read. Raises kEvRxChar, and kEvRxFlag when the event character
  // of the last Configure is among them.
  void Receive(std::string_view bytes);
  // The whole modem-status word as ModemStatus reports it, bits above the low 16 included.
  // Each of CTS, DSR, RING, DCD that changes raises its event (kEvCts, kEvDsr, kEvRing,
  // kEvRlsd).
  void SetModemStatus(uint32_t status);
  void SetCts(bool on);
  void SetDsr(bool on);
  void SetRing(bool on);
  void SetDcd(bool on);
  // Line errors (kCeFrame, kCeOverrun, kCeRxParity, kCeRxOver) for the next ClearErrors;
  // raises kEvErr.
  void InjectErrors(uint32_t ce_bits);
  // A received break: raises kEvBreak and sets kCeBreak for the next ClearErrors (reported
  // there only, as a port does; kEvErr is not raised).
  void InjectBreak();
  // Any kEv... bits, as a driver might report them.
  void RaiseEvents(uint32_t events);
  // The far end is gone: reads end with kSerialHungUp (after the bytes still buffered).
  void HangUp();

  // --- How the device behaves ---
  // Wait with a non-zero mask gives kSerialNotSupported (a driver without line events).
  void SetWaitSupported(bool supported);
  // ModemStatus and the DTR/RTS/break escapes give `error` (kSerialNotSupported for a device
  // without modem lines, anything else for a failing one); 0 restores them.
  void SetModemError(int error);
  // The next Open fails with `error` (0 restores).
  void SetOpenError(int error);
  // Reads give `error` (0 restores).
  void SetReadError(int error);
  // Writes give `error` after writing nothing (0 restores).
  void SetWriteError(int error);
  // While held, writes wait (until released, aborted or their time limit): a peer that
  // holds CTS low or a stalled adapter.
  void HoldWrites(bool hold);

  // --- What the component did ---
  // Bytes written so far; TakeSent also clears them.
  std::string Sent() const;
  std::string TakeSent();
  // Waits until at least `count` bytes were written in all, or `timeout` passes.
  bool WaitForSent(size_t count, std::chrono::milliseconds timeout) const;
  // Waits until a write is waiting on held writes.
  bool WaitForHeldWrite(std::chrono::milliseconds timeout) const;
  bool IsOpen() const;
  int open_count() const;
  std::string opened_path() const;
  SerialLineSettings settings() const;
  SerialTimeouts timeouts() const;
  // Levels of the outputs: from Configure's DTR/RTS control and the escapes since.
  bool dtr() const;
  bool rts() const;
  bool break_on() const;
  std::vector<SerialEscape> escapes() const;
  std::vector<uint32_t> purges() const;
  // Bytes received and not yet read.
  size_t unread() const;

 private:
  friend class SimulatedSerialDevice;
  struct State;

  void SetModemBit(uint32_t bit, bool on);

  std::unique_ptr<State> state_;
};

// The SerialDevice on a SimulatedSerialLine; honours the read and write time limits and the
// abort descriptor like the real one.
class SimulatedSerialDevice final : public SerialDevice {
 public:
  explicit SimulatedSerialDevice(std::shared_ptr<SimulatedSerialLine> line);
  ~SimulatedSerialDevice() override;

  SerialOpenResult Open(const std::string& device_path) override;
  void Close() override;
  bool IsOpen() const override { return open_; }
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

 private:
  std::shared_ptr<SimulatedSerialLine> line_;
  bool open_ = false;
};

}  // namespace kestrova::testing
