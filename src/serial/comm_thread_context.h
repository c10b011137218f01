// What the serial port's worker threads share with their component: the device, the close
// event, the hidden window they post to, and the diagnostic hooks.
#pragma once

#include <string>

#include "distribution/communication_component.h"
#include "platform/event.h"
#include "platform/message_window.h"
#include "platform/serial_device.h"

namespace kestrova {

struct CommThreadContext {
  VMurCommunicationComponent* reporter = nullptr;  // ReportError / ReportMessage only
  SerialDevice* device = nullptr;
  Event* close_event = nullptr;  // manual reset; set when the port closes
  MessageWindow* window = nullptr;

  bool Closing() const { return close_event->Wait(std::chrono::milliseconds(0)); }
  int CloseFd() const { return close_event->fd(); }
  // Reports why and asks the component to hang up (a non-zero code closes the port).
  void PostHangupCall(const char* thread_name, int error_code, const std::string& reason,
                      int flag) const;
};

}  // namespace kestrova
