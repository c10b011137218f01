// The wrapper's settings: stored here and handed to the inner transports that use them.
#include "clever_comm/mur_clever_comm.h"

#include "cp2112/mur_comm_cp2112.h"
#include "net/mur_tcp.h"

namespace kestrova {

void TMurCleverComm::SetAutoReconnect(bool value) {
  auto_reconnect_ = value;
  // Only the transport in service gets it: turned on, a transport opens its port, and one put
  // aside must not take its old port back. The others get it when they take over.
  if (serial_ != nullptr && kind_ == CleverCommKind::kSerial) serial_->SetAutoReconnect(value);
  if (cp2112_ != nullptr && kind_ == CleverCommKind::kCP2112) cp2112_->SetAutoReconnect(value);
  // The TCP kinds follow it as the other kinds do: turned on, a closed link is opened.
  if (value && tcp_ != nullptr && !InnerOpen()) {
    if (kind_ == CleverCommKind::kTcpServer) tcp_->StartServer();
    if (kind_ == CleverCommKind::kTcpClient && !tcp_->ClientWanted()) tcp_->StartClient();
  }
}

void TMurCleverComm::SetBaudRate(TBaudRate value) {
  baud_rate_ = value;
  if (serial_ != nullptr) serial_->SetBaudRate(value);
}

void TMurCleverComm::SetBaudRateInt(int value) {
  if (const std::optional<TBaudRate> rate = BaudRateFromValue(value)) SetBaudRate(*rate);
}

void TMurCleverComm::SetDataBits(TDataBits value) {
  data_bits_ = value;
  if (serial_ != nullptr) serial_->SetDataBits(value);
}

void TMurCleverComm::SetParity(TParity value) {
  parity_ = value;
  if (serial_ != nullptr) serial_->SetParity(value);
}

void TMurCleverComm::SetStopBits(TStopBits value) {
  stop_bits_ = value;
  if (serial_ != nullptr) serial_->SetStopBits(value);
}

void TMurCleverComm::SetGrab(VMurCommGrabCommand value) {
  grab_ = value;
  if (serial_ != nullptr) serial_->SetGrab(value);
}

void TMurCleverComm::SetProtocolCP2112(TProtocolCP2112 value) {
  protocol_cp2112_ = value;
  if (cp2112_ != nullptr) cp2112_->SetProtocol(value);
}

void TMurCleverComm::SetCP2112DebugLevels(CP2112DebugLevels value) {
  cp2112_debug_levels_ = value;
  if (cp2112_ != nullptr) cp2112_->SetDebugLevels(value);
}

void TMurCleverComm::SetDistributor(VMurGeneralDistributor* distributor) {
  distributor_ = distributor;
  if (tcp_ != nullptr) tcp_->SetDistributor(distributor);
}

void TMurCleverComm::SetChars(const VSSComm32Chars* source) {
  if (source != nullptr) Serial().SetChars(*source);
}

void TMurCleverComm::SetOptions(const VSSComm32Options* source) {
  if (source != nullptr) Serial().SetOptions(*source);
}

void TMurCleverComm::SetSignals(const VSSComm32Signals* source) {
  if (source != nullptr) Serial().SetSignals(*source);
}

void TMurCleverComm::SetTimeouts(const VSSComm32Timeouts* source) {
  if (source != nullptr) Serial().SetTimeouts(*source);
}

}  // namespace kestrova
