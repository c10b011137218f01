// The worker's side of opening, closing and recovering a bridge, and of listing the bridges.
#include <string>

#include "cp2112/cp2112_thread.h"
#include "cp2112/cp2112_thread_internal.h"
#include "cp2112/mur_comm_cp2112.h"

namespace kestrova {
namespace {

constexpr uint32_t kResponseTimeoutMs = 1000;
constexpr uint32_t kBitRate = 100000;
constexpr uint16_t kTransferTimeoutMs = 1000;
constexpr uint16_t kTransferRetries = 4;

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

}  // namespace

std::string VMurCommCP2112_Thread::Open(Link& link, const std::string& port_name) {
  if (link.open) {
    CloseDevice(link);
    PostState(link, CommStateDisconnected);
  }
  link.name = port_name;
  std::string failure = OpenByName(link);
  link.component->handle_.store(failure.empty() ? VMurCommCP2112::Handle::kOpen
                                                : VMurCommCP2112::Handle::kFailed);
  PostState(link, failure.empty() ? CommStateConnected : CommStateFailed);
  return failure;
}

std::string VMurCommCP2112_Thread::OpenByName(Link& link) {
  uint32_t count = 0;
  if (const HID_SMBUS_STATUS status = calls_.GetNumDevices(&count, 0, 0); status != 0) {
    return "Error: HidSmbus_GetNumDevices returned " + std::to_string(status);
  }
  // Only a serial number that could be read names a bridge; an unreadable one matches nothing.
  uint32_t index = 0;
  for (; index < count; ++index) {
    link.info = ReadCP2112DeviceInfo(calls_, index);
    if (link.info.Has(CP2112DeviceInfo::kSerialNumber) &&
        link.info.Get(CP2112DeviceInfo::kSerialNumber) == link.name) {
      break;
    }
  }
  if (index == count) return "Requested device " + Quoted(link.name) + " not found";

  HID_SMBUS_DEVICE device = nullptr;
  if (const HID_SMBUS_STATUS status = calls_.Open(&device, index, 0, 0); status != 0) {
    return "Cannot open " + Quoted(link.name) + ", returned " + std::to_string(status);
  }
  auto fail = [&](const std::string& text) {
    calls_.Close(device);
    return text;
  };
  int32_t opened = 0;
  if (const HID_SMBUS_STATUS status = calls_.IsOpened(device, &opened); status != 0) {
    return fail("Failed HidSmbus_IsOpened on " + Quoted(link.name) + ", returned " +
                std::to_string(status));
  }
  if (opened == 0) return fail("Device " + Quoted(link.name) + " reports as not opened");
  if (const HID_SMBUS_STATUS status = calls_.SetTimeouts(device, kResponseTimeoutMs); status != 0) {
    return fail("Failed HidSmbus_SetTimeouts on " + Quoted(link.name) + ", returned " +
                std::to_string(status));
  }
  if (const HID_SMBUS_STATUS status =
          calls_.SetSmbusConfig(device, kBitRate, kOwnAddress, 1, kTransferTimeoutMs,
                                kTransferTimeoutMs, 0, kTransferRetries);
      status != 0) {
    return fail("Failed HidSmbus_SetSmbusConfig on " + Quoted(link.name) + ", returned " +
                std::to_string(status));
  }
  link.device = device;
  link.open = true;
  return {};
}

void VMurCommCP2112_Thread::CloseDevice(Link& link) {
  link.pending.clear();
  if (!link.open) return;
  calls_.Close(link.device);
  link.device = nullptr;
  link.open = false;
}

void VMurCommCP2112_Thread::RecoverReset(Link& link) {
  if (!link.open) return;
  Diagnose(link, cp2112dlError, "Need USB reset");
  CloseDevice(link);
  link.component->handle_.store(VMurCommCP2112::Handle::kFailed);
  const std::string failure = OpenByName(link);
  if (failure.empty()) {
    link.component->handle_.store(VMurCommCP2112::Handle::kOpen);
    return;
  }
  Diagnose(link, cp2112dlError, failure);
  PostState(link, CommStateFailed);
}

std::vector<std::string> VMurCommCP2112_Thread::ListDevices() {
  std::vector<std::string> names;
  uint32_t count = 0;
  if (calls_.GetNumDevices(&count, 0, 0) != 0) return names;
  for (uint32_t index = 0; index < count; ++index) {
    std::string path;
    const bool path_read = ReadCP2112String(calls_, index, CP2112DeviceInfo::kPath, path);
    // A bridge that is open here is not asked again; its record from the open serves.
    const Link* open_here = nullptr;
    for (const std::unique_ptr<Link>& link : links_) {
      if (path_read && link->open && link->info.Has(CP2112DeviceInfo::kPath) &&
          link->info.Get(CP2112DeviceInfo::kPath) == path) {
        open_here = link.get();
      }
    }
    const CP2112DeviceInfo info =
        open_here != nullptr ? open_here->info : ReadCP2112DeviceInfo(calls_, index);
    if (info.Has(CP2112DeviceInfo::kSerialNumber)) {
      names.push_back(info.Get(CP2112DeviceInfo::kSerialNumber));
    }
  }
  return names;
}

}  // namespace kestrova
