// The serial configuration string on a closed component: any text either is refused with a
// range error and changes nothing, or is taken; what the component then writes reads back
// into another component as the same settings. Nothing is ever opened.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "fuzz_main_loop.h"
#include "serial/comm_errors.h"
#include "serial/vss_comm32.h"

namespace {

// A closed component that must never try to open a device.
std::unique_ptr<kestrova::TVSSComm32> ClosedComm() {
  auto comm = std::make_unique<kestrova::TVSSComm32>(nullptr);
  comm->SetAutoReconnect(false);
  comm->SetDeviceFactory([]() -> std::unique_ptr<kestrova::SerialDevice> {
    FUZZ_CHECK(!"a closed component without AutoReconnect opened a device");
    return nullptr;
  });
  return comm;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kestrova::fuzzing::MainLoop();
  const std::string text(reinterpret_cast<const char*>(data), size);
  {
    auto comm = ClosedComm();
    const std::string defaults = comm->GetConfigAsString();
    bool refused = false;
    try {
      comm->SetConfigAsString(text);
    } catch (const kestrova::ESerialRangeError&) {
      refused = true;
    }
    const std::string written = comm->GetConfigAsString();
    if (refused) {
      FUZZ_CHECK(written == defaults);
    } else {
      auto copy = ClosedComm();
      copy->SetConfigAsString(written);
      FUZZ_CHECK(copy->GetConfigAsString() == written);
      FUZZ_CHECK(copy->CommPort() == comm->CommPort());
      FUZZ_CHECK(copy->BaudRate() == comm->BaudRate());
      FUZZ_CHECK(copy->Signals().DTR() == comm->Signals().DTR());
      FUZZ_CHECK(copy->Timeouts().ReadInterval() == comm->Timeouts().ReadInterval());
      comm->SetConfigAsString(written);
      FUZZ_CHECK(comm->GetConfigAsString() == written);
    }
    FUZZ_CHECK(!comm->Connected());
  }
  // The components' posted state reports are dropped with them; clear the loop's queue.
  kestrova::fuzzing::MainLoop().RunPending();
  return 0;
}
