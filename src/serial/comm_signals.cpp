#include "serial/comm_signals.h"

#include "serial/vss_comm32.h"

namespace kestrova {

void VSSComm32Signals::SetDTR(bool value) {
  dtr_ = value;
  if (comm_ != nullptr) comm_->ApplyDTRLevel();
}

void VSSComm32Signals::SetRTS(bool value) {
  rts_ = value;
  if (comm_ != nullptr) comm_->ApplyRTSLevel();
}

void VSSComm32Signals::SetDTRControl(VMurDTRControl value) {
  if (value == dtr_control_) return;
  dtr_control_ = value;
  Reprogram();
}

void VSSComm32Signals::SetRTSControl(VMurRTSControl value) {
  if (value == rts_control_) return;
  rts_control_ = value;
  Reprogram();
}

void VSSComm32Signals::SetCTSHandshake(bool value) {
  if (value == cts_handshake_) return;
  cts_handshake_ = value;
  Reprogram();
}

void VSSComm32Signals::SetDSRHandshake(bool value) {
  if (value == dsr_handshake_) return;
  dsr_handshake_ = value;
  Reprogram();
}

void VSSComm32Signals::SetXOnOffTransmit(bool value) {
  if (value == xon_off_transmit_) return;
  xon_off_transmit_ = value;
  ReprogramFraming();
}

void VSSComm32Signals::SetXOnOffReceive(bool value) {
  if (value == xon_off_receive_) return;
  xon_off_receive_ = value;
  ReprogramFraming();
}

void VSSComm32Signals::Assign(const VSSComm32Signals& source) {
  if (&source == this) return;
  cts_handshake_ = source.cts_handshake_;
  dsr_handshake_ = source.dsr_handshake_;
  dtr_control_ = source.dtr_control_;
  dtr_ = source.dtr_;
  rts_control_ = source.rts_control_;
  rts_ = source.rts_;
  Reprogram();
}

void VSSComm32Signals::Reprogram() {
  if (comm_ != nullptr) comm_->UpdateDCB2();
}

void VSSComm32Signals::ReprogramFraming() {
  if (comm_ != nullptr) comm_->UpdateDCB();
}

}  // namespace kestrova
