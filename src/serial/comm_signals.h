// The control-line and flow-control settings of a serial port component (DTR, RTS, hardware
// and XON/XOFF handshakes). Changes reprogram the open port at once.
#pragma once

#include "serial/comm_types.h"

namespace kestrova {

class TVSSComm32;

class VSSComm32Signals {
 public:
  // `comm` is the component whose port the settings program; nullptr for a detached copy.
  explicit VSSComm32Signals(TVSSComm32* comm = nullptr) : comm_(comm) {}
  VSSComm32Signals(const VSSComm32Signals&) = delete;
  VSSComm32Signals& operator=(const VSSComm32Signals&) = delete;

  // The DTR and RTS levels apply whenever they are set, even unchanged, so that setting one
  // again re-asserts the line.
  bool DTR() const { return dtr_; }
  void SetDTR(bool value);
  bool RTS() const { return rts_; }
  void SetRTS(bool value);
  VMurDTRControl DTRControl() const { return dtr_control_; }
  void SetDTRControl(VMurDTRControl value);
  VMurRTSControl RTSControl() const { return rts_control_; }
  void SetRTSControl(VMurRTSControl value);
  bool CTSHandshake() const { return cts_handshake_; }
  void SetCTSHandshake(bool value);
  bool DSRHandshake() const { return dsr_handshake_; }
  void SetDSRHandshake(bool value);
  bool XOnOffTransmit() const { return xon_off_transmit_; }
  void SetXOnOffTransmit(bool value);
  bool XOnOffReceive() const { return xon_off_receive_; }
  void SetXOnOffReceive(bool value);

  // Copies the handshakes and the DTR and RTS modes and levels, not the XON/XOFF flags, then
  // reprograms the port.
  void Assign(const VSSComm32Signals& source);

 private:
  void Reprogram();         // the whole line, control levels included
  void ReprogramFraming();  // the line without re-asserting the levels

  TVSSComm32* const comm_;
  bool dtr_ = true;
  VMurDTRControl dtr_control_ = VMurSignalControl_DTREnable;
  bool rts_ = true;
  VMurRTSControl rts_control_ = VMurSignalControl_RTSEnable;
  bool cts_handshake_ = false;
  bool dsr_handshake_ = false;
  bool xon_off_transmit_ = false;
  bool xon_off_receive_ = false;
};

}  // namespace kestrova
