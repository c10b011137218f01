// Reopening a port whose device went away: unplugged and plugged in again, a board that reset
// and enumerated anew, a pseudo-terminal's peer restarted. The wait is an inotify watch on the
// device's folder, so a waiting port costs nothing until the folder changes.
#include <cerrno>
#include <system_error>

#include "platform/tick.h"
#include "serial/comm_errors.h"
#include "serial/comm_messages.h"
#include "serial/vss_comm32.h"
#include "util/tick_math.h"

namespace kestrova {
namespace {

// udev gives a new node its group and mode a moment after creating it; until then an open is
// refused, so such refusals are retried for this long after the node appeared.
constexpr uint32_t kAccessGraceMs = 2000;
constexpr std::chrono::milliseconds kAccessRetry{250};

// The device itself is gone (unplugged, peer ended), as opposed to refusing us.
bool DeviceGone(int error) {
  return error == EIO || error == ENXIO || error == ENODEV || error == ENOENT;
}

}  // namespace

void TVSSComm32::AwaitDevice(int error, bool check_now) {
  if (!auto_reconnect_ || comm_port_.empty() || !DeviceGone(error)) {
    StopAwaitingDevice();
    return;
  }
  if (device_watch_ != nullptr) return;
  const std::string path = DevicePath();
  try {
    device_watch_ = std::make_unique<DeviceWatch>(loop_, path, [this] { DeviceAppeared(); });
  } catch (const std::system_error& error_watching) {
    ReportError(error_watching.code().value(), "Unable to watch for " + comm_port_ + ": ");
    return;
  }
  // It may have come back before the watch was in place.
  if (check_now && DeviceWatch::Exists(path)) window_->Post(PWM_DeviceBack);
}

void TVSSComm32::LostDevice(int error) {
  AwaitDevice(error, false);
  if (!AwaitingDevice()) return;
  if (NotifyEvent handler = on_device_lost_) handler(this);
}

void TVSSComm32::StopAwaitingDevice() {
  access_retry_.reset();
  device_watch_.reset();
}

void TVSSComm32::OpenFailed() {
  if (last_error_ == EACCES && device_watch_ != nullptr &&
      !TimeoutPassed(appeared_tick_, kAccessGraceMs, TickCount())) {
    access_retry_ = loop_.StartTimer(kAccessRetry, [this] { Reconnect(); });
    return;
  }
  AwaitDevice(last_error_, true);
}

void TVSSComm32::DeviceAppeared() {
  // Further changes to the node while a refused open is retried do not restart the grace.
  if (access_retry_ == nullptr) appeared_tick_ = TickCount();
  Reconnect();
}

void TVSSComm32::Reconnect() {
  // One attempt per retry timer: it is armed again only if this open is refused again.
  access_retry_.reset();
  if (device_watch_ == nullptr || !auto_reconnect_ || Connected()) {
    StopAwaitingDevice();
    return;
  }
  try {
    StartComm2(false);
  } catch (const ECommsError& error) {
    ReportMessage(error.what());
  }
  if (!Connected()) return;
  if (NotifyEvent handler = on_reconnected_) handler(this);
}

}  // namespace kestrova
