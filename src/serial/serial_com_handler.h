// Makes top distributors that create their own ComHandler create a serial port component.
#pragma once

namespace kestrova {

// Once at start-up, before distributors finish loading.
void InstallSerialComHandler();

}  // namespace kestrova
