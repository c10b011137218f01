// A simulated CP2112 bridge library: the fifteen HidSmbus_* functions over a set of simulated
// bridges, each with an SMBus slave at 0x6C that answers SPA9 frames. Tests script it through
// the SimCp2112_* calls; KESTROVA_SIM_CP2112 sets up bridges for a user who runs the program.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cp2112/hid_smbus_api.h"
#include "support/sim_cp2112/sim_cp2112_control.h"

namespace {

// The simulated library's error codes.
constexpr HID_SMBUS_STATUS kDeviceNotFound = 0x01;
constexpr HID_SMBUS_STATUS kInvalidHandle = 0x02;
constexpr HID_SMBUS_STATUS kInvalidParameter = 0x04;
constexpr HID_SMBUS_STATUS kDeviceAccessError = 0x15;

constexpr uint8_t kSlaveAddress = 0x6C;

struct Transfer {
  bool active = false;
  bool error = false;
  int busy_left = 0;
  int empty_left = 0;
  std::string bytes;  // what a read still has to deliver
};

struct Device {
  std::optional<std::string> serial;
  std::string manufacturer;
  std::string product;
  std::string path;
  bool open = false;
  int open_count = 0;
  // The slave.
  bool echo = false;
  std::deque<std::string> replies;
  std::deque<std::string> written;
  int read_busy = 0;
  int write_busy = 0;
  int response_size = HID_SMBUS_MAX_TRANSFER;
  int empty_responses = 0;
  int failing_reads = 0;
  int failing_writes = 0;
  std::optional<uint8_t> trail;
  Transfer read;
  Transfer write;
};

struct Failure {
  HID_SMBUS_STATUS status = 0;
  int times = 0;
};

struct Sim {
  std::mutex mutex;
  std::vector<Device> devices;
  std::map<uintptr_t, size_t> handles;  // open handle -> device index
  uintptr_t next_handle = 0x1000;
  std::map<std::string, Failure> failures;
  std::map<std::string, int> calls;

  Sim() { ConfigureFromEnvironment(); }

  // KESTROVA_SIM_CP2112="SERIAL[,SERIAL...]": bridges whose slaves echo every frame.
  void ConfigureFromEnvironment() {
    const char* serials = std::getenv("KESTROVA_SIM_CP2112");
    if (serials == nullptr) return;
    std::string rest = serials;
    while (!rest.empty()) {
      const size_t comma = rest.find(',');
      const std::string serial = rest.substr(0, comma);
      rest = comma == std::string::npos ? std::string() : rest.substr(comma + 1);
      if (serial.empty()) continue;
      Add(serial.c_str(), "Kestrova", "Simulated CP2112").echo = true;
    }
  }

  Device& Add(const char* serial, const char* manufacturer, const char* product) {
    Device& device = devices.emplace_back();
    if (serial != nullptr) device.serial = serial;
    device.manufacturer = manufacturer != nullptr ? manufacturer : "";
    device.product = product != nullptr ? product : "";
    device.path = "/sim/cp2112/" + std::to_string(devices.size() - 1);
    return device;
  }

  // Counts the call; the injected status when one is due, else 0.
  HID_SMBUS_STATUS Enter(const char* function) {
    ++calls[function];
    auto found = failures.find(function);
    if (found == failures.end() || found->second.times == 0) return 0;
    if (found->second.times > 0) --found->second.times;
    return found->second.status;
  }

  Device* ByHandle(HID_SMBUS_DEVICE handle) {
    auto found = handles.find(reinterpret_cast<uintptr_t>(handle));
    return found == handles.end() ? nullptr : &devices[found->second];
  }

  Device* ByIndex(int index) {
    return index >= 0 && static_cast<size_t>(index) < devices.size() ? &devices[index] : nullptr;
  }
};

Sim& State() {
  static Sim sim;
  return sim;
}

// Every library call: lock, count, apply an injected failure.
#define SIM_ENTER(function)        \
  Sim& sim = State();              \
  std::lock_guard lock(sim.mutex); \
  if (HID_SMBUS_STATUS injected = sim.Enter(function)) return injected

bool IsSpa9Frame(const uint8_t* bytes, size_t count) {
  return count >= 2 && bytes[0] == ':' && static_cast<size_t>(bytes[1] & 0x3F) == count - 2;
}

}  // namespace

extern "C" {

HID_SMBUS_STATUS HidSmbus_GetNumDevices(uint32_t* num_devices, uint16_t, uint16_t) {
  SIM_ENTER("HidSmbus_GetNumDevices");
  *num_devices = static_cast<uint32_t>(sim.devices.size());
  return HID_SMBUS_SUCCESS;
}

HID_SMBUS_STATUS HidSmbus_GetString(uint32_t device_num, uint16_t, uint16_t, char* device_string,
                                    uint32_t kind) {
  SIM_ENTER("HidSmbus_GetString");
  Device* device = sim.ByIndex(static_cast<int>(device_num));
  if (device == nullptr) return kDeviceNotFound;
  std::string text;
  switch (kind) {
    case HID_SMBUS_GET_VID_STR:
      text = "10C4";
      break;
    case HID_SMBUS_GET_PID_STR:
      text = "EA90";
      break;
    case HID_SMBUS_GET_PATH_STR:
      text = device->path;
      break;
    case HID_SMBUS_GET_SERIAL_STR:
      if (!device->serial) return kDeviceAccessError;
      text = *device->serial;
      break;
    case HID_SMBUS_GET_MANUFACTURER_STR:
      text = device->manufacturer;
      break;
    case HID_SMBUS_GET_PRODUCT_STR:
      text = device->product;
      break;
    default:
      return kInvalidParameter;
  }
  text.resize(std::min<size_t>(text.size(), HID_SMBUS_STRING_LENGTH - 1));
  std::memcpy(device_string, text.c_str(), text.size() + 1);
  return HID_SMBUS_SUCCESS;
}

HID_SMBUS_STATUS HidSmbus_GetAttributes(uint32_t device_num, uint16_t, uint16_t,
                                        uint16_t* device_vid, uint16_t* device_pid,
                                        uint16_t* release_number) {
  SIM_ENTER("HidSmbus_GetAttributes");
  if (sim.ByIndex(static_cast<int>(device_num)) == nullptr) return kDeviceNotFound;
  *device_vid = 0x10C4;
  *device_pid = 0xEA90;
  *release_number = 0x0100;
  return HID_SMBUS_SUCCESS;
}

HID_SMBUS_STATUS HidSmbus_Open(HID_SMBUS_DEVICE* handle, uint32_t device_num, uint16_t, uint16_t) {
  SIM_ENTER("HidSmbus_Open");
  Device* device = sim.ByIndex(static_cast<int>(device_num));
  if (device == nullptr) return kDeviceNotFound;
  if (device->open) return kDeviceAccessError;
  device->open = true;
  ++device->open_count;
  device->read = {};
  device->write = {};
  const uintptr_t value = sim.next_handle++;
  sim.handles[value] = device_num;
  *handle = reinterpret_cast<HID_SMBUS_DEVICE>(value);
  return HID_SMBUS_SUCCESS;
}

HID_SMBUS_STATUS HidSmbus_Close(HID_SMBUS_DEVICE handle) {
  SIM_ENTER("HidSmbus_Close");
  Device* device = sim.ByHandle(handle);
  if (device == nullptr) return kInvalidHandle;
  device->open = false;
  sim.handles.erase(reinterpret_cast<uintptr_t>(handle));
  return HID_SMBUS_SUCCESS;
}

HID_SMBUS_STATUS HidSmbus_Reset(HID_SMBUS_DEVICE handle) {
  SIM_ENTER("HidSmbus_Reset");
  Device* device = sim.ByHandle(handle);
  if (device == nullptr) return kInvalidHandle;
  device->read = {};
  device->write = {};
  return HID_SMBUS_SUCCESS;
}

HID_SMBUS_STATUS HidSmbus_IsOpened(HID_SMBUS_DEVICE handle, int32_t* opened) {
  SIM_ENTER("HidSmbus_IsOpened");
  *opened = sim.ByHandle(handle) != nullptr ? 1 : 0;
  return HID_SMBUS_SUCCESS;
}

HID_SMBUS_STATUS HidSmbus_SetTimeouts(HID_SMBUS_DEVICE handle, uint32_t) {
  SIM_ENTER("HidSmbus_SetTimeouts");
  return sim.ByHandle(handle) != nullptr ? HID_SMBUS_SUCCESS : kInvalidHandle;
}

HID_SMBUS_STATUS HidSmbus_SetSmbusConfig(HID_SMBUS_DEVICE handle, uint32_t bit_rate,
                                         uint8_t own_address, int32_t, uint16_t write_timeout_ms,
                                         uint16_t read_timeout_ms, int32_t,
                                         uint16_t transfer_retries) {
  SIM_ENTER("HidSmbus_SetSmbusConfig");
  if (sim.ByHandle(handle) == nullptr) return kInvalidHandle;
  // What the bridge itself refuses.
  if (bit_rate == 0 || (own_address & 1) != 0 || write_timeout_ms > 1000 ||
      read_timeout_ms > 1000 || transfer_retries > 1000) {
    return kInvalidParameter;
  }
  return HID_SMBUS_SUCCESS;
}

HID_SMBUS_STATUS HidSmbus_ReadRequest(HID_SMBUS_DEVICE handle, uint8_t slave_address,
                                      uint16_t byte_count) {
  SIM_ENTER("HidSmbus_ReadRequest");
  Device* device = sim.ByHandle(handle);
  if (device == nullptr) return kInvalidHandle;
  if (byte_count == 0 || byte_count > 512) return kInvalidParameter;
  Transfer& read = device->read;
  read = {};
  read.active = true;
  read.busy_left = device->read_busy;
  read.empty_left = std::exchange(device->empty_responses, 0);
  // No slave answers at another address.
  read.error = slave_address != kSlaveAddress || device->failing_reads > 0;
  if (device->failing_reads > 0) --device->failing_reads;
  if (!read.error && !device->replies.empty()) {
    read.bytes = device->replies.front();
    device->replies.pop_front();
    if (device->trail) read.bytes.push_back(static_cast<char>(*std::exchange(device->trail, {})));
  }
  read.bytes.resize(byte_count, '\0');
  return HID_SMBUS_SUCCESS;
}

HID_SMBUS_STATUS HidSmbus_GetReadResponse(HID_SMBUS_DEVICE handle, uint8_t* status, uint8_t* buffer,
                                          uint8_t buffer_size, uint8_t* bytes_read) {
  SIM_ENTER("HidSmbus_GetReadResponse");
  Device* device = sim.ByHandle(handle);
  if (device == nullptr) return kInvalidHandle;
  Transfer& read = device->read;
  *bytes_read = 0;
  if (!read.active) {
    *status = HID_SMBUS_S0_IDLE;
  } else if (read.error) {
    *status = HID_SMBUS_S0_ERROR;
    read.active = false;
  } else if (read.busy_left > 0) {
    --read.busy_left;
    *status = HID_SMBUS_S0_BUSY;
  } else if (read.empty_left > 0) {
    --read.empty_left;
    *status = HID_SMBUS_S0_COMPLETE;
  } else {
    const size_t count = std::min({read.bytes.size(), static_cast<size_t>(buffer_size),
                                   static_cast<size_t>(device->response_size)});
    std::memcpy(buffer, read.bytes.data(), count);
    read.bytes.erase(0, count);
    *bytes_read = static_cast<uint8_t>(count);
    read.active = !read.bytes.empty();
    *status = read.active ? HID_SMBUS_S0_BUSY : HID_SMBUS_S0_COMPLETE;
  }
  return HID_SMBUS_SUCCESS;
}

HID_SMBUS_STATUS HidSmbus_WriteRequest(HID_SMBUS_DEVICE handle, uint8_t slave_address,
                                       uint8_t* buffer, uint8_t byte_count) {
  SIM_ENTER("HidSmbus_WriteRequest");
  Device* device = sim.ByHandle(handle);
  if (device == nullptr) return kInvalidHandle;
  if (byte_count == 0 || byte_count > HID_SMBUS_MAX_TRANSFER) return kInvalidParameter;
  Transfer& write = device->write;
  write = {};
  write.active = true;
  write.busy_left = device->write_busy;
  write.error = slave_address != kSlaveAddress || device->failing_writes > 0;
  if (device->failing_writes > 0) --device->failing_writes;
  if (write.error) return HID_SMBUS_SUCCESS;
  const std::string bytes(reinterpret_cast<const char*>(buffer), byte_count);
  device->written.push_back(bytes);
  if (device->echo && IsSpa9Frame(buffer, byte_count)) device->replies.push_back(bytes);
  return HID_SMBUS_SUCCESS;
}

HID_SMBUS_STATUS HidSmbus_TransferStatusRequest(HID_SMBUS_DEVICE handle) {
  SIM_ENTER("HidSmbus_TransferStatusRequest");
  return sim.ByHandle(handle) != nullptr ? HID_SMBUS_SUCCESS : kInvalidHandle;
}

HID_SMBUS_STATUS HidSmbus_GetTransferStatusResponse(HID_SMBUS_DEVICE handle, uint8_t* status0,
                                                    uint8_t* status1, uint16_t* retries,
                                                    uint16_t* bytes_read) {
  SIM_ENTER("HidSmbus_GetTransferStatusResponse");
  Device* device = sim.ByHandle(handle);
  if (device == nullptr) return kInvalidHandle;
  Transfer& write = device->write;
  *status1 = 0;
  *retries = 0;
  *bytes_read = 0;
  if (!write.active) {
    *status0 = HID_SMBUS_S0_IDLE;
  } else if (write.busy_left > 0) {
    --write.busy_left;
    *status0 = HID_SMBUS_S0_BUSY;
  } else {
    *status0 = write.error ? HID_SMBUS_S0_ERROR : HID_SMBUS_S0_COMPLETE;
    write.active = false;
  }
  return HID_SMBUS_SUCCESS;
}

#ifndef SIM_CP2112_WITHOUT_CANCEL_IO
HID_SMBUS_STATUS HidSmbus_CancelIo(HID_SMBUS_DEVICE handle) {
  SIM_ENTER("HidSmbus_CancelIo");
  return sim.ByHandle(handle) != nullptr ? HID_SMBUS_SUCCESS : kInvalidHandle;
}
#endif

// ---- Control ----

void SimCp2112_Reset(void) {
  Sim& sim = State();
  std::lock_guard lock(sim.mutex);
  sim.devices.clear();
  sim.handles.clear();
  sim.failures.clear();
  sim.calls.clear();
}

int SimCp2112_AddDevice(const char* serial, const char* manufacturer, const char* product) {
  Sim& sim = State();
  std::lock_guard lock(sim.mutex);
  sim.Add(serial, manufacturer, product);
  return static_cast<int>(sim.devices.size()) - 1;
}

void SimCp2112_FailCall(const char* function, int32_t status, int times) {
  Sim& sim = State();
  std::lock_guard lock(sim.mutex);
  sim.failures[function] = {status, times};
}

int SimCp2112_CallCount(const char* function) {
  Sim& sim = State();
  std::lock_guard lock(sim.mutex);
  auto found = sim.calls.find(function);
  return found == sim.calls.end() ? 0 : found->second;
}

// Every slave control: lock, find the device or return `fallback`.
#define SIM_DEVICE_OR(index, fallback) \
  Sim& sim = State();                  \
  std::lock_guard lock(sim.mutex);     \
  Device* device = sim.ByIndex(index); \
  if (device == nullptr) return fallback

void SimCp2112_SetEcho(int index, int on) {
  SIM_DEVICE_OR(index, );
  device->echo = on != 0;
}

void SimCp2112_QueueReply(int index, const uint8_t* bytes, int length) {
  SIM_DEVICE_OR(index, );
  device->replies.emplace_back(reinterpret_cast<const char*>(bytes), std::max(length, 0));
}

void SimCp2112_SetBusy(int index, int read_busy, int write_busy) {
  SIM_DEVICE_OR(index, );
  device->read_busy = read_busy;
  device->write_busy = write_busy;
}

void SimCp2112_SetResponseSize(int index, int bytes) {
  SIM_DEVICE_OR(index, );
  device->response_size = std::clamp(bytes, 1, HID_SMBUS_MAX_TRANSFER);
}

void SimCp2112_SetEmptyResponses(int index, int count) {
  SIM_DEVICE_OR(index, );
  device->empty_responses = count;
}

void SimCp2112_FailTransfers(int index, int reads, int writes) {
  SIM_DEVICE_OR(index, );
  device->failing_reads = reads;
  device->failing_writes = writes;
}

void SimCp2112_TrailNextReply(int index, uint8_t byte) {
  SIM_DEVICE_OR(index, );
  device->trail = byte;
}

int SimCp2112_TakeWritten(int index, uint8_t* buffer, int capacity) {
  SIM_DEVICE_OR(index, -1);
  if (device->written.empty()) return -1;
  const std::string bytes = device->written.front();
  device->written.pop_front();
  const size_t count = std::min(bytes.size(), static_cast<size_t>(std::max(capacity, 0)));
  std::memcpy(buffer, bytes.data(), count);
  return static_cast<int>(bytes.size());
}

int SimCp2112_OpenCount(int index) {
  SIM_DEVICE_OR(index, 0);
  return device->open_count;
}

}  // extern "C"
