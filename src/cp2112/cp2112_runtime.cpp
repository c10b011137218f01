#include "cp2112/cp2112_runtime.h"

#include <algorithm>

#include "cp2112/cp2112_thread.h"
#include "cp2112/hid_smbus_library.h"
#include "util/debug_switch.h"

namespace kestrova {
namespace {

VMurCommCP2112_Thread* running_worker = nullptr;  // GUI thread only

}  // namespace

CP2112Runtime::CP2112Runtime() {
  std::string why;
  library_ = HidSmbusLibrary::Locate(why);
  if (!library_) {
    DebugNote("no CP2112 bridge library: " + why);
    return;
  }
  worker_ = std::make_unique<VMurCommCP2112_Thread>(library_->Calls());
  if (!worker_->Resume()) {
    DebugNote("no thread for the CP2112 bridge worker");
    worker_.reset();
    return;
  }
  running_worker = worker_.get();
}

CP2112Runtime::~CP2112Runtime() {
  if (running_worker == worker_.get()) running_worker = nullptr;
  worker_.reset();
  library_.reset();
}

VMurCommCP2112_Thread* CP2112Runtime::Worker() { return running_worker; }

std::vector<std::string> ListCP2112Devices() {
  VMurCommCP2112_Thread* worker = CP2112Runtime::Worker();
  if (worker == nullptr) return {};
  std::optional<CP2112CommandResult> result = worker->Run(kCP2112List, nullptr);
  return result ? std::move(result->names) : std::vector<std::string>();
}

bool IsCP2112Name(const std::string& name) {
  const std::vector<std::string> names = ListCP2112Devices();
  return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace kestrova
