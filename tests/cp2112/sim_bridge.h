// The simulated bridge library as the tests drive it: the program loads it through
// KESTROVA_CP2112_LIBRARY, the tests reach its control calls in the same loaded module.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "support/sim_cp2112/sim_cp2112_control.h"

namespace kestrova::testing {

class SimBridge {
 public:
  static constexpr const char* kPath = SIM_CP2112_PATH;
  static constexpr const char* kIncompletePath = SIM_CP2112_INCOMPLETE_PATH;

  // Points the program at the simulated library and empties it.
  SimBridge() {
    setenv("KESTROVA_CP2112_LIBRARY", kPath, 1);
    handle_ = dlopen(kPath, RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(handle_, nullptr) << dlerror();
    Bind(Reset, "SimCp2112_Reset");
    Bind(AddDevice, "SimCp2112_AddDevice");
    Bind(FailCall, "SimCp2112_FailCall");
    Bind(CallCount, "SimCp2112_CallCount");
    Bind(SetEcho, "SimCp2112_SetEcho");
    Bind(QueueReply, "SimCp2112_QueueReply");
    Bind(SetBusy, "SimCp2112_SetBusy");
    Bind(SetResponseSize, "SimCp2112_SetResponseSize");
    Bind(SetEmptyResponses, "SimCp2112_SetEmptyResponses");
    Bind(FailTransfers, "SimCp2112_FailTransfers");
    Bind(TrailNextReply, "SimCp2112_TrailNextReply");
    Bind(TakeWrittenBytes, "SimCp2112_TakeWritten");
    Bind(OpenCount, "SimCp2112_OpenCount");
    Reset();
  }
  ~SimBridge() {
    if (handle_ != nullptr) dlclose(handle_);
  }
  SimBridge(const SimBridge&) = delete;
  SimBridge& operator=(const SimBridge&) = delete;

  void Reply(int device, const std::string& bytes) {
    QueueReply(device, reinterpret_cast<const uint8_t*>(bytes.data()),
               static_cast<int>(bytes.size()));
  }
  // The oldest write transfer's bus bytes; "<none>" when there is none.
  std::string TakeWritten(int device) {
    uint8_t buffer[512];
    const int length = TakeWrittenBytes(device, buffer, sizeof buffer);
    if (length < 0) return "<none>";
    return std::string(reinterpret_cast<const char*>(buffer), static_cast<size_t>(length));
  }

  decltype(&SimCp2112_Reset) Reset = nullptr;
  decltype(&SimCp2112_AddDevice) AddDevice = nullptr;
  decltype(&SimCp2112_FailCall) FailCall = nullptr;
  decltype(&SimCp2112_CallCount) CallCount = nullptr;
  decltype(&SimCp2112_SetEcho) SetEcho = nullptr;
  decltype(&SimCp2112_QueueReply) QueueReply = nullptr;
  decltype(&SimCp2112_SetBusy) SetBusy = nullptr;
  decltype(&SimCp2112_SetResponseSize) SetResponseSize = nullptr;
  decltype(&SimCp2112_SetEmptyResponses) SetEmptyResponses = nullptr;
  decltype(&SimCp2112_FailTransfers) FailTransfers = nullptr;
  decltype(&SimCp2112_TrailNextReply) TrailNextReply = nullptr;
  decltype(&SimCp2112_TakeWritten) TakeWrittenBytes = nullptr;
  decltype(&SimCp2112_OpenCount) OpenCount = nullptr;

 private:
  template <typename Function>
  void Bind(Function& function, const char* name) {
    if (handle_ != nullptr) function = reinterpret_cast<Function>(dlsym(handle_, name));
    ASSERT_NE(function, nullptr) << name;
  }

  void* handle_ = nullptr;
};

}  // namespace kestrova::testing
