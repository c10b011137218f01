// The bridge library loaded at run time: its fifteen functions looked up by name. A library
// that lacks any of them counts as absent, so no call can reach a missing function.
#pragma once

#include <memory>
#include <string>

#include "cp2112/hid_smbus_api.h"

namespace kestrova {

struct HidSmbusFunctions {
  decltype(&HidSmbus_GetNumDevices) GetNumDevices = nullptr;
  decltype(&HidSmbus_GetString) GetString = nullptr;
  decltype(&HidSmbus_GetAttributes) GetAttributes = nullptr;
  decltype(&HidSmbus_Open) Open = nullptr;
  decltype(&HidSmbus_Close) Close = nullptr;
  decltype(&HidSmbus_Reset) Reset = nullptr;
  decltype(&HidSmbus_IsOpened) IsOpened = nullptr;
  decltype(&HidSmbus_SetTimeouts) SetTimeouts = nullptr;
  decltype(&HidSmbus_SetSmbusConfig) SetSmbusConfig = nullptr;
  decltype(&HidSmbus_ReadRequest) ReadRequest = nullptr;
  decltype(&HidSmbus_GetReadResponse) GetReadResponse = nullptr;
  decltype(&HidSmbus_WriteRequest) WriteRequest = nullptr;
  decltype(&HidSmbus_TransferStatusRequest) TransferStatusRequest = nullptr;
  decltype(&HidSmbus_GetTransferStatusResponse) GetTransferStatusResponse = nullptr;
  decltype(&HidSmbus_CancelIo) CancelIo = nullptr;
};

class HidSmbusLibrary {
 public:
  // The file name looked for next to the executable and on the system's library path.
  static constexpr const char* kFileName = "libslabhidtosmbus.so";
  // Names another file to load instead (and only that one).
  static constexpr const char* kPathVariable = "KESTROVA_CP2112_LIBRARY";

  // Loads `path` (a bare file name goes through the system's library path). Null when it
  // cannot be loaded or lacks a function; `why` then says which.
  static std::unique_ptr<HidSmbusLibrary> Load(const std::string& path, std::string& why);
  // The library this program uses: the file the environment names, else the one next to the
  // executable, else the system's.
  static std::unique_ptr<HidSmbusLibrary> Locate(std::string& why);

  ~HidSmbusLibrary();
  HidSmbusLibrary(const HidSmbusLibrary&) = delete;
  HidSmbusLibrary& operator=(const HidSmbusLibrary&) = delete;

  const HidSmbusFunctions& Calls() const { return calls_; }

 private:
  explicit HidSmbusLibrary(void* handle) : handle_(handle) {}

  void* handle_;
  HidSmbusFunctions calls_;
};

}  // namespace kestrova
