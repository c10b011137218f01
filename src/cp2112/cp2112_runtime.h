// The bridge library and its worker for the whole program: loaded and started once at start,
// stopped and unloaded at the end. Without the library no bridge exists.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace kestrova {

class HidSmbusLibrary;
class VMurCommCP2112_Thread;

class CP2112Runtime {
 public:
  // Loads the library (see HidSmbusLibrary::Locate) and starts the worker. Why a library was
  // not taken is noted on standard error with KESTROVA_DEBUG=1.
  CP2112Runtime();
  // Stops the worker (closing open bridges) and unloads the library. Components still alive
  // then fail their opens and writes.
  ~CP2112Runtime();
  CP2112Runtime(const CP2112Runtime&) = delete;
  CP2112Runtime& operator=(const CP2112Runtime&) = delete;

  // The running worker, or null.
  static VMurCommCP2112_Thread* Worker();

 private:
  std::unique_ptr<HidSmbusLibrary> library_;
  std::unique_ptr<VMurCommCP2112_Thread> worker_;
};

// The serial numbers of the attached bridges that have a readable one, in device order; empty
// without the library.
std::vector<std::string> ListCP2112Devices();
// Whether `name` is the serial number of an attached bridge.
bool IsCP2112Name(const std::string& name);

}  // namespace kestrova
