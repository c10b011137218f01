#include "serial/serial_com_handler.h"

#include "distribution/automatic_com_handler.h"
#include "serial/vss_comm32.h"

namespace kestrova {

void InstallSerialComHandler() {
  SetAutomaticComHandlerFactory(
      [](Component* owner) -> VMurCommunicationComponent* { return new TVSSComm32(owner); });
}

}  // namespace kestrova
