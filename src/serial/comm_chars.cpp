#include "serial/comm_chars.h"

#include "serial/vss_comm32.h"

namespace kestrova {

void VSSComm32Chars::SetXOn(char value) {
  if (value == xon_) return;
  xon_ = value;
  Reprogram();
}

void VSSComm32Chars::SetXOff(char value) {
  if (value == xoff_) return;
  xoff_ = value;
  Reprogram();
}

void VSSComm32Chars::SetEvt(char value) {
  if (value == evt_) return;
  evt_ = value;
  Reprogram();
}

void VSSComm32Chars::Assign(const VSSComm32Chars& source) {
  if (&source == this) return;
  xon_ = source.xon_;
  xoff_ = source.xoff_;
  evt_ = source.evt_;
  Reprogram();
}

void VSSComm32Chars::Reprogram() {
  if (comm_ != nullptr) comm_->UpdateDCB();
}

}  // namespace kestrova
