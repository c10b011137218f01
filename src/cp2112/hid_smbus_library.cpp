#include "cp2112/hid_smbus_library.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace kestrova {
namespace {

// Binds one function pointer; false when the library lacks the name.
template <typename Function>
bool Bind(void* handle, const char* name, Function& function, std::string& why) {
  function = reinterpret_cast<Function>(dlsym(handle, name));
  if (function != nullptr) return true;
  why = std::string("no function ") + name;
  return false;
}

std::filesystem::path ExecutableFolder() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : self.parent_path();
}

}  // namespace

std::unique_ptr<HidSmbusLibrary> HidSmbusLibrary::Load(const std::string& path, std::string& why) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* error = dlerror();
    why = error != nullptr ? error : "cannot load " + path;
    return nullptr;
  }
  std::unique_ptr<HidSmbusLibrary> library(new HidSmbusLibrary(handle));
  HidSmbusFunctions& c = library->calls_;
  const bool complete =
      Bind(handle, "HidSmbus_GetNumDevices", c.GetNumDevices, why) &&
      Bind(handle, "HidSmbus_GetString", c.GetString, why) &&
      Bind(handle, "HidSmbus_GetAttributes", c.GetAttributes, why) &&
      Bind(handle, "HidSmbus_Open", c.Open, why) && Bind(handle, "HidSmbus_Close", c.Close, why) &&
      Bind(handle, "HidSmbus_Reset", c.Reset, why) &&
      Bind(handle, "HidSmbus_IsOpened", c.IsOpened, why) &&
      Bind(handle, "HidSmbus_SetTimeouts", c.SetTimeouts, why) &&
      Bind(handle, "HidSmbus_SetSmbusConfig", c.SetSmbusConfig, why) &&
      Bind(handle, "HidSmbus_ReadRequest", c.ReadRequest, why) &&
      Bind(handle, "HidSmbus_GetReadResponse", c.GetReadResponse, why) &&
      Bind(handle, "HidSmbus_WriteRequest", c.WriteRequest, why) &&
      Bind(handle, "HidSmbus_TransferStatusRequest", c.TransferStatusRequest, why) &&
      Bind(handle, "HidSmbus_GetTransferStatusResponse", c.GetTransferStatusResponse, why) &&
      Bind(handle, "HidSmbus_CancelIo", c.CancelIo, why);
  if (!complete) {
    why = path + ": " + why;
    return nullptr;
  }
  return library;
}

std::unique_ptr<HidSmbusLibrary> HidSmbusLibrary::Locate(std::string& why) {
  if (const char* named = std::getenv(kPathVariable); named != nullptr && *named != '\0') {
    return Load(named, why);
  }
  const std::filesystem::path beside = ExecutableFolder() / kFileName;
  if (!beside.parent_path().empty() && access(beside.c_str(), F_OK) == 0) {
    return Load(beside.string(), why);
  }
  return Load(kFileName, why);
}

HidSmbusLibrary::~HidSmbusLibrary() { dlclose(handle_); }

}  // namespace kestrova
