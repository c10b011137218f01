// The worker's record of one registered component, and the payload of a waited-for command.
#pragma once

#include <future>
#include <string>

#include "cp2112/cp2112_device_info.h"
#include "cp2112/cp2112_thread.h"
#include "cp2112/hid_smbus_api.h"
#include "platform/message.h"

namespace kestrova {

struct VMurCommCP2112_Thread::Link {
  VMurCommCP2112* component = nullptr;
  std::string name;  // the serial number of the last open
  HID_SMBUS_DEVICE device = nullptr;
  bool open = false;
  CP2112DeviceInfo info;
  std::string pending;  // bytes still to write
  bool needs_reset = false;
};

// A component waits on `done`; a payload dropped unanswered (the worker ended) breaks it.
struct VMurCommCP2112_Thread::CommandPayload final : MessagePayload {
  std::promise<CP2112CommandResult> done;
  std::string port_name;
};

}  // namespace kestrova
