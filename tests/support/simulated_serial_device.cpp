#include "support/simulated_serial_device.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <optional>
#include <utility>

#include "platform/event.h"
#include "platform/serial_open_error.h"
#include "platform/serial_transfer.h"
#include "platform/wait.h"

namespace kestrova::testing {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr uint32_t kModemLineBits = kMsCtsOn | kMsDsrOn | kMsRingOn | kMsRlsdOn;

uint32_t LineEvents(uint32_t before, uint32_t after) {
  const uint32_t changed = (before ^ after) & kModemLineBits;
  uint32_t events = 0;
  if (changed & kMsCtsOn) events |= kEvCts;
  if (changed & kMsDsrOn) events |= kEvDsr;
  if (changed & kMsRingOn) events |= kEvRing;
  if (changed & kMsRlsdOn) events |= kEvRlsd;
  return events;
}

// What is left until `deadline` for WaitForAny; no deadline waits for good.
milliseconds Left(std::optional<Clock::time_point> deadline) {
  if (!deadline) return kWaitForever;
  return std::max(milliseconds::zero(), std::chrono::ceil<milliseconds>(*deadline - Clock::now()));
}

}  // namespace

struct SimulatedSerialLine::State {
  // Call with the mutex held after any change.
  void Changed() {
    if (!rx.empty() || hung_up || read_error != 0) {
      data_ready.Set();
    } else {
      data_ready.Reset();
    }
    if (events != 0) {
      events_ready.Set();
    } else {
      events_ready.Reset();
    }
    if (held) {
      writes_free.Reset();
    } else {
      writes_free.Set();
    }
    changed.notify_all();
  }

  mutable std::mutex mutex;
  mutable std::condition_variable changed;
  Event data_ready{Event::Mode::kManualReset};
  Event events_ready{Event::Mode::kManualReset};
  Event writes_free{Event::Mode::kManualReset, true};

  std::string rx;
  bool hung_up = false;
  uint32_t events = 0;
  uint32_t errors = 0;
  uint32_t modem = 0;
  bool wait_supported = true;
  int modem_error = 0;
  int open_error = 0;
  int read_error = 0;
  int write_error = 0;
  bool held = false;
  int held_writers = 0;
  std::string sent;
  size_t sent_total = 0;
  bool open = false;
  int open_count = 0;
  std::string path;
  SerialLineSettings settings;
  SerialTimeouts timeouts;
  bool dtr = false;
  bool rts = false;
  bool brk = false;
  std::vector<SerialEscape> escapes;
  std::vector<uint32_t> purges;
};

SimulatedSerialLine::SimulatedSerialLine() : state_(std::make_unique<State>()) {}
SimulatedSerialLine::~SimulatedSerialLine() = default;

void SimulatedSerialLine::Receive(std::string_view bytes) {
  if (bytes.empty()) return;
  std::lock_guard lock(state_->mutex);
  state_->rx.append(bytes);
  state_->events |= kEvRxChar;
  if (bytes.find(state_->settings.evt_char) != std::string_view::npos) {
    state_->events |= kEvRxFlag;
  }
  state_->Changed();
}

void SimulatedSerialLine::SetModemStatus(uint32_t status) {
  std::lock_guard lock(state_->mutex);
  state_->events |= LineEvents(state_->modem, status);
  state_->modem = status;
  state_->Changed();
}

void SimulatedSerialLine::SetModemBit(uint32_t bit, bool on) {
  std::lock_guard lock(state_->mutex);
  const uint32_t status = on ? state_->modem | bit : state_->modem & ~bit;
  state_->events |= LineEvents(state_->modem, status);
  state_->modem = status;
  state_->Changed();
}

void SimulatedSerialLine::SetCts(bool on) { SetModemBit(kMsCtsOn, on); }
void SimulatedSerialLine::SetDsr(bool on) { SetModemBit(kMsDsrOn, on); }
void SimulatedSerialLine::SetRing(bool on) { SetModemBit(kMsRingOn, on); }
void SimulatedSerialLine::SetDcd(bool on) { SetModemBit(kMsRlsdOn, on); }

void SimulatedSerialLine::InjectErrors(uint32_t ce_bits) {
  std::lock_guard lock(state_->mutex);
  state_->errors |= ce_bits;
  state_->events |= kEvErr;
  state_->Changed();
}

void SimulatedSerialLine::InjectBreak() {
  std::lock_guard lock(state_->mutex);
  state_->errors |= kCeBreak;
  state_->events |= kEvBreak;
  state_->Changed();
}

void SimulatedSerialLine::RaiseEvents(uint32_t events) {
  std::lock_guard lock(state_->mutex);
  state_->events |= events;
  state_->Changed();
}

void SimulatedSerialLine::HangUp() {
  std::lock_guard lock(state_->mutex);
  state_->hung_up = true;
  state_->Changed();
}

void SimulatedSerialLine::SetWaitSupported(bool supported) {
  std::lock_guard lock(state_->mutex);
  state_->wait_supported = supported;
}

void SimulatedSerialLine::SetModemError(int error) {
  std::lock_guard lock(state_->mutex);
  state_->modem_error = error;
}

void SimulatedSerialLine::SetOpenError(int error) {
  std::lock_guard lock(state_->mutex);
  state_->open_error = error;
}

void SimulatedSerialLine::SetReadError(int error) {
  std::lock_guard lock(state_->mutex);
  state_->read_error = error;
  state_->Changed();
}

void SimulatedSerialLine::SetWriteError(int error) {
  std::lock_guard lock(state_->mutex);
  state_->write_error = error;
}

void SimulatedSerialLine::HoldWrites(bool hold) {
  std::lock_guard lock(state_->mutex);
  state_->held = hold;
  state_->Changed();
}

std::string SimulatedSerialLine::Sent() const {
  std::lock_guard lock(state_->mutex);
  return state_->sent;
}

std::string SimulatedSerialLine::TakeSent() {
  std::lock_guard lock(state_->mutex);
  return std::exchange(state_->sent, std::string());
}

bool SimulatedSerialLine::WaitForSent(size_t count, milliseconds timeout) const {
  std::unique_lock lock(state_->mutex);
  return state_->changed.wait_for(lock, timeout, [&] { return state_->sent_total >= count; });
}

bool SimulatedSerialLine::WaitForHeldWrite(milliseconds timeout) const {
  std::unique_lock lock(state_->mutex);
  return state_->changed.wait_for(lock, timeout, [&] { return state_->held_writers > 0; });
}

bool SimulatedSerialLine::IsOpen() const {
  std::lock_guard lock(state_->mutex);
  return state_->open;
}

int SimulatedSerialLine::open_count() const {
  std::lock_guard lock(state_->mutex);
  return state_->open_count;
}

std::string SimulatedSerialLine::opened_path() const {
  std::lock_guard lock(state_->mutex);
  return state_->path;
}

SerialLineSettings SimulatedSerialLine::settings() const {
  std::lock_guard lock(state_->mutex);
  return state_->settings;
}

SerialTimeouts SimulatedSerialLine::timeouts() const {
  std::lock_guard lock(state_->mutex);
  return state_->timeouts;
}

bool SimulatedSerialLine::dtr() const {
  std::lock_guard lock(state_->mutex);
  return state_->dtr;
}

bool SimulatedSerialLine::rts() const {
  std::lock_guard lock(state_->mutex);
  return state_->rts;
}

bool SimulatedSerialLine::break_on() const {
  std::lock_guard lock(state_->mutex);
  return state_->brk;
}

std::vector<SerialEscape> SimulatedSerialLine::escapes() const {
  std::lock_guard lock(state_->mutex);
  return state_->escapes;
}

std::vector<uint32_t> SimulatedSerialLine::purges() const {
  std::lock_guard lock(state_->mutex);
  return state_->purges;
}

size_t SimulatedSerialLine::unread() const {
  std::lock_guard lock(state_->mutex);
  return state_->rx.size();
}

SimulatedSerialDevice::SimulatedSerialDevice(std::shared_ptr<SimulatedSerialLine> line)
    : line_(std::move(line)) {}

SimulatedSerialDevice::~SimulatedSerialDevice() { Close(); }

SerialOpenResult SimulatedSerialDevice::Open(const std::string& device_path) {
  if (open_) return {EALREADY, "The serial device is already open."};
  SimulatedSerialLine::State& s = *line_->state_;
  std::lock_guard lock(s.mutex);
  const int error = s.open ? EBUSY : s.open_error;
  if (error != 0) return {error, SerialOpenErrorText(error, device_path, nullptr)};
  s.open = true;
  ++s.open_count;
  s.path = device_path;
  open_ = true;
  return {};
}

void SimulatedSerialDevice::Close() {
  if (!open_) return;
  SimulatedSerialLine::State& s = *line_->state_;
  std::lock_guard lock(s.mutex);
  s.open = false;
  open_ = false;
  s.Changed();
}

ErrnoResult<SerialConfigureReport> SimulatedSerialDevice::Configure(const SerialLineSettings& in) {
  if (!open_) return {EBADF, {}};
  if (in.byte_size < 5 || in.byte_size > 8 || in.baud_rate == 0 ||
      ((in.out_x || in.in_x) && in.xon_char == in.xoff_char)) {
    return {EINVAL, {}};
  }
  SimulatedSerialLine::State& s = *line_->state_;
  std::lock_guard lock(s.mutex);
  s.settings = in;
  SerialConfigureReport report;
  report.actual_baud_rate = in.baud_rate;
  if (s.modem_error == kSerialNotSupported) {
    report.unsupported |= kUnsupportedModemControl;
  } else {
    s.dtr = in.dtr_control != SerialDtrControl::kDisable;
    s.rts = in.rts_control == SerialRtsControl::kEnable ||
            in.rts_control == SerialRtsControl::kHandshake;
  }
  return {0, report};
}

SerialLineSettings SimulatedSerialDevice::LineSettings() const { return line_->settings(); }

int SimulatedSerialDevice::SetTimeouts(const SerialTimeouts& timeouts) {
  if (!open_) return EBADF;
  std::lock_guard lock(line_->state_->mutex);
  line_->state_->timeouts = timeouts;
  return 0;
}

SerialTimeouts SimulatedSerialDevice::Timeouts() const { return line_->timeouts(); }

ErrnoResult<size_t> SimulatedSerialDevice::Read(std::span<char> buffer, int abort_fd) {
  if (!open_) return {EBADF, 0};
  SimulatedSerialLine::State& s = *line_->state_;
  return ReadUnderPlan(s.data_ready.fd(), abort_fd, buffer.size(),
                       PlanRead(line_->timeouts(), buffer.size()),
                       [&](size_t offset) -> ErrnoResult<size_t> {
                         std::lock_guard lock(s.mutex);
                         if (s.read_error != 0) return {s.read_error, 0};
                         if (s.rx.empty()) return {s.hung_up ? 0 : EAGAIN, 0};
                         const size_t n = std::min(s.rx.size(), buffer.size() - offset);
                         std::memcpy(buffer.data() + offset, s.rx.data(), n);
                         s.rx.erase(0, n);
                         s.Changed();
                         return {0, n};
                       });
}

ErrnoResult<size_t> SimulatedSerialDevice::Write(std::string_view data, int abort_fd) {
  if (!open_) return {EBADF, 0};
  SimulatedSerialLine::State& s = *line_->state_;
  std::optional<Clock::time_point> deadline;
  if (const auto limit = WriteLimit(line_->timeouts(), data.size())) {
    deadline = Clock::now() + *limit;
  }
  std::unique_lock lock(s.mutex);
  if (s.write_error != 0) return {s.write_error, 0};
  while (s.held) {
    ++s.held_writers;
    s.changed.notify_all();
    lock.unlock();
    std::vector<int> fds = {s.writes_free.fd()};
    if (abort_fd >= 0) fds.push_back(abort_fd);
    const int woke = WaitForAny(fds, Left(deadline));
    lock.lock();
    --s.held_writers;
    if (woke == 1) return {kSerialAborted, 0};
    if (woke < 0) return {0, 0};
  }
  if (abort_fd >= 0 && WaitForAny(std::span<const int>(&abort_fd, 1), milliseconds(0)) == 0) {
    return {kSerialAborted, 0};
  }
  s.sent.append(data);
  s.sent_total += data.size();
  s.events |= kEvTxEmpty;
  s.Changed();
  return {0, data.size()};
}

ErrnoResult<SerialWaitResult> SimulatedSerialDevice::Wait(uint32_t event_mask, int abort_fd,
                                                          milliseconds timeout) {
  if (!open_) return {EBADF, {}};
  SimulatedSerialLine::State& s = *line_->state_;
  std::optional<Clock::time_point> deadline;
  if (timeout >= timeout.zero()) deadline = Clock::now() + timeout;
  for (;;) {
    {
      std::lock_guard lock(s.mutex);
      if (event_mask != 0 && !s.wait_supported) return {kSerialNotSupported, {}};
      SerialWaitResult result;
      // As a port does, events not asked for are not kept.
      result.events = s.events & event_mask;
      s.events = 0;
      result.readable = !s.rx.empty() || s.hung_up || s.read_error != 0;
      s.Changed();
      if (result.events != 0 || result.readable) return {0, result};
    }
    std::vector<int> fds = {s.data_ready.fd(), s.events_ready.fd()};
    if (abort_fd >= 0) fds.push_back(abort_fd);
    const int woke = WaitForAny(fds, Left(deadline));
    if (woke == 2) return {kSerialAborted, {}};
    if (woke < 0) return {0, {}};
  }
}

ErrnoResult<uint32_t> SimulatedSerialDevice::ModemStatus() {
  if (!open_) return {EBADF, 0};
  std::lock_guard lock(line_->state_->mutex);
  if (line_->state_->modem_error != 0) return {line_->state_->modem_error, 0};
  return {0, line_->state_->modem};
}

int SimulatedSerialDevice::Escape(SerialEscape function) {
  if (!open_) return EBADF;
  SimulatedSerialLine::State& s = *line_->state_;
  std::lock_guard lock(s.mutex);
  s.escapes.push_back(function);
  const bool modem_line = function != SerialEscape::kSetXon && function != SerialEscape::kSetXoff;
  if (modem_line && s.modem_error != 0) return s.modem_error;
  switch (function) {
    case SerialEscape::kSetDtr:
    case SerialEscape::kClrDtr:
      s.dtr = function == SerialEscape::kSetDtr;
      break;
    case SerialEscape::kSetRts:
    case SerialEscape::kClrRts:
      s.rts = function == SerialEscape::kSetRts;
      break;
    case SerialEscape::kSetBreak:
    case SerialEscape::kClrBreak:
      s.brk = function == SerialEscape::kSetBreak;
      break;
    case SerialEscape::kSetXon:
    case SerialEscape::kSetXoff:
      break;
  }
  return 0;
}

ErrnoResult<SerialErrorState> SimulatedSerialDevice::ClearErrors() {
  if (!open_) return {EBADF, {}};
  std::lock_guard lock(line_->state_->mutex);
  SerialErrorState state;
  state.errors = std::exchange(line_->state_->errors, 0);
  state.in_queue = static_cast<uint32_t>(line_->state_->rx.size());
  return {0, state};
}

int SimulatedSerialDevice::Purge(uint32_t flags) {
  if (!open_) return EBADF;
  SimulatedSerialLine::State& s = *line_->state_;
  std::lock_guard lock(s.mutex);
  s.purges.push_back(flags);
  if (flags & kPurgeRxClear) s.rx.clear();
  s.Changed();
  return 0;
}

}  // namespace kestrova::testing
