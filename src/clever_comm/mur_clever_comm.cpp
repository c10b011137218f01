#include "clever_comm/mur_clever_comm.h"

#include "cp2112/cp2112_runtime.h"
#include "cp2112/mur_comm_cp2112.h"
#include "distribution/top_distributor.h"
#include "net/mur_tcp.h"

namespace kestrova {
namespace {

bool IsBridgeAttached(const std::string& name) { return IsCP2112Name(name); }

}  // namespace

TMurCleverComm::TMurCleverComm(Component* owner) : VMurCommunicationComponent(owner) {}

TMurCleverComm::~TMurCleverComm() {
  kind_ = CleverCommKind::kNone;
  // Unhooked first: a transport that closes while it goes away must not reach listeners that
  // may be gone already, and one told to go from inside its own handler lives on until that
  // handler returns.
  if (serial_ != nullptr) Unhook(*serial_);
  if (tcp_ != nullptr) Unhook(*tcp_);
  if (cp2112_ != nullptr) {
    cp2112_->RemoveFreeNotification(this);
    Unhook(*cp2112_);
  }
  if (tcp_ != nullptr) std::exchange(tcp_, nullptr)->Free2();
  if (cp2112_ != nullptr) std::exchange(cp2112_, nullptr)->WantFree();
  delete std::exchange(serial_, nullptr);
}

void TMurCleverComm::Unhook(VMurCommunicationComponent& inner) {
  inner.SetOnReceiveData(nullptr);
  inner.SetOnStateChange(nullptr);
  inner.SetOnAdvancedReceiveData(nullptr);
  inner.SetOnAdvancedStateChange(nullptr);
}

template <typename Inner>
void TMurCleverComm::Hook(Inner& inner) {
  inner.SetOnReceiveData([this](VMurCommunicationComponent* sender, std::string_view data) {
    RelayReceive(sender, data);
  });
  inner.SetOnAdvancedReceiveData(
      [this](VMurCommunicationComponent* sender, ChannelKey channel, std::string_view data) {
        RelayAdvancedReceive(sender, channel, data);
      });
  inner.SetOnStateChange([this](Object* sender, TCommState state) { RelayState(sender, state); });
  inner.SetOnAdvancedStateChange(
      [this](VMurCommunicationComponent* sender, ChannelKey channel, TCommState state) {
        RelayAdvancedState(sender, channel, state);
      });
}

TVSSComm32& TMurCleverComm::Serial() {
  if (serial_ == nullptr) {
    serial_ = new TVSSComm32(nullptr);
    serial_->SetBaudRate(baud_rate_);
    serial_->SetDataBits(data_bits_);
    serial_->SetParity(parity_);
    serial_->SetStopBits(stop_bits_);
    serial_->SetGrab(grab_);
    Hook(*serial_);
  }
  return *serial_;
}

VMurCommCP2112& TMurCleverComm::CP2112() {
  if (cp2112_ == nullptr) {
    cp2112_ = new VMurCommCP2112(nullptr);
    cp2112_->SetProtocol(protocol_cp2112_);
    cp2112_->SetDebugLevels(cp2112_debug_levels_);
    Hook(*cp2112_);
    cp2112_->FreeNotification(this);
  }
  return *cp2112_;
}

VMurTcp& TMurCleverComm::Tcp() {
  if (tcp_ == nullptr) {
    tcp_ = new VMurTcp(nullptr);
    Hook(*tcp_);
    tcp_->SetDistributor(distributor_);
  }
  return *tcp_;
}

void TMurCleverComm::Notification(Component* component, Operation operation) {
  VMurCommunicationComponent::Notification(component, operation);
  if (operation == Operation::kRemove && component == cp2112_) cp2112_ = nullptr;
}

bool TMurCleverComm::IsInner(const Object* object) const {
  return object != nullptr && (object == serial_ || object == cp2112_ || object == tcp_);
}

bool TMurCleverComm::Accepts(const Object* sender) const {
  const bool none = kind_ == CleverCommKind::kNone;
  if (sender == nullptr) return false;
  if (sender == serial_) return none || kind_ == CleverCommKind::kSerial;
  if (sender == cp2112_) return none || kind_ == CleverCommKind::kCP2112;
  if (sender == tcp_) {
    return none || kind_ == CleverCommKind::kTcpClient || kind_ == CleverCommKind::kTcpServer;
  }
  return false;
}

bool TMurCleverComm::InnerOpen() {
  switch (kind_) {
    case CleverCommKind::kCP2112:
      return cp2112_ != nullptr && cp2112_->Connected();
    case CleverCommKind::kSerial:
      return serial_ != nullptr && serial_->Connected();
    case CleverCommKind::kTcpClient:
      return tcp_ != nullptr && tcp_->Connected();
    case CleverCommKind::kTcpServer:
      return tcp_ != nullptr && tcp_->ServerListening();
    default:
      return false;
  }
}

void TMurCleverComm::StopOthers(CleverCommKind kind) {
  if (tcp_ != nullptr && kind != CleverCommKind::kTcpServer) tcp_->StopServer();
  if (tcp_ != nullptr && kind != CleverCommKind::kTcpClient) tcp_->StopClient();
  if (cp2112_ != nullptr && kind != CleverCommKind::kCP2112) cp2112_->StopComm();
  if (serial_ != nullptr && kind != CleverCommKind::kSerial) serial_->StopComm();
}

void TMurCleverComm::StartTcpIfWanted(bool was_open) {
  tcp_->StopComm();
  if (!was_open && !auto_reconnect_) return;
  if (kind_ == CleverCommKind::kTcpServer) {
    tcp_->StartServer();
  } else {
    tcp_->StartClient();
  }
}

void TMurCleverComm::SetCommPort(const std::string& name) {
  if (name == comm_port_ && Connected()) return;
  comm_port_ = name;
  const CleverCommKind kind = KindOfPortName(name, IsBridgeAttached);
  const bool was_open = InnerOpen();
  StopOthers(kind);
  // Stored before the new transport starts, so that a state it reports at once is not taken
  // for one of a transport that was just stopped.
  kind_ = kind;
  switch (kind) {
    case CleverCommKind::kCP2112: {
      VMurCommCP2112& bridge = CP2112();
      WithAutoReconnect(bridge, [&] {
        bridge.SetCommPort(name);
        bridge.StopComm();
      });
      // Turning its reconnection on has opened it already.
      if (was_open && !auto_reconnect_) bridge.StartComm();
      break;
    }
    case CleverCommKind::kSerial: {
      TVSSComm32& serial = Serial();
      WithAutoReconnect(serial, [&] { serial.SetCommPort(name); });
      break;
    }
    case CleverCommKind::kTcpClient:
      Tcp().SetClientHost(TcpTextOf(name));
      StartTcpIfWanted(was_open);
      break;
    case CleverCommKind::kTcpServer:
      Tcp().SetServerPort(TcpServerPortOf(name));
      StartTcpIfWanted(was_open);
      break;
    default:
      break;
  }
}

void TMurCleverComm::SetConfigAsString(const std::string& config) {
  last_config_ = config;
  const CleverCommKind kind = KindOfConfigString(config, IsBridgeAttached);
  const bool was_open = InnerOpen();
  StopOthers(kind);
  kind_ = kind;
  switch (kind) {
    case CleverCommKind::kCP2112: {
      VMurCommCP2112& bridge = CP2112();
      WithAutoReconnect(bridge, [&] { bridge.SetConfigAsString(config); });
      comm_port_ = bridge.CommPort();
      break;
    }
    case CleverCommKind::kSerial: {
      TVSSComm32& serial = Serial();
      WithAutoReconnect(serial, [&] { serial.SetConfigAsString(config); });
      comm_port_ = serial.CommPort();
      // All of the line settings the string carried, so that copying this wrapper copies them.
      baud_rate_ = serial.BaudRate();
      data_bits_ = serial.DataBits();
      parity_ = serial.Parity();
      stop_bits_ = serial.StopBits();
      break;
    }
    case CleverCommKind::kTcpClient:
      Tcp().SetConfigAsString(TcpTextOf(config));
      comm_port_ = std::string(kTcpPrefix) + tcp_->GetConfigAsString();
      StartTcpIfWanted(was_open);
      break;
    case CleverCommKind::kTcpServer: {
      const int port = TcpServerPortOf(config);
      Tcp().SetServerPort(port);
      comm_port_ = std::string(kTcpPrefix) + std::to_string(port);
      // A stored "tcp://<port>" means a listening server, as the same name typed does.
      StartTcpIfWanted(was_open);
      break;
    }
    default:
      break;
  }
}

std::string TMurCleverComm::GetConfigAsString() {
  switch (kind_) {
    case CleverCommKind::kCP2112:
      if (cp2112_ != nullptr) last_config_ = cp2112_->GetConfigAsString();
      break;
    case CleverCommKind::kSerial:
      last_config_ = serial_->GetConfigAsString();
      break;
    case CleverCommKind::kTcpClient:
      last_config_ = std::string(kTcpPrefix) + tcp_->GetConfigAsString();
      break;
    case CleverCommKind::kTcpServer:
      last_config_ = std::string(kTcpPrefix) + std::to_string(tcp_->ServerPort());
      break;
    default:
      break;
  }
  return last_config_;
}

// A bridge component freed by someone else is forgotten (it says so as it goes); until a name
// picks a transport again, the bridge kind then serves nothing.
bool TMurCleverComm::StartComm() {
  switch (kind_) {
    case CleverCommKind::kCP2112:
      return cp2112_ != nullptr && cp2112_->StartComm();
    case CleverCommKind::kSerial:
      return serial_->StartComm();
    case CleverCommKind::kTcpClient:
      return tcp_->StartClient();
    case CleverCommKind::kTcpServer:
      return tcp_->StartServer();
    default:
      return false;
  }
}

void TMurCleverComm::StopComm() {
  switch (kind_) {
    case CleverCommKind::kCP2112:
      if (cp2112_ != nullptr) cp2112_->StopComm();
      break;
    case CleverCommKind::kSerial:
      serial_->StopComm();
      break;
    case CleverCommKind::kTcpClient:
      tcp_->StopClient();
      break;
    case CleverCommKind::kTcpServer:
      tcp_->StopServer();
      break;
    default:
      break;
  }
}

bool TMurCleverComm::Connected() {
  switch (kind_) {
    case CleverCommKind::kCP2112:
      return cp2112_ != nullptr && cp2112_->Connected();
    case CleverCommKind::kSerial:
      return serial_->Connected();
    case CleverCommKind::kTcpClient:
      return tcp_->Connected();
    case CleverCommKind::kTcpServer:
      return tcp_->ServerListening() && tcp_->ClientCount() > 0;
    default:
      return false;
  }
}

TCommState TMurCleverComm::GetCommState() {
  switch (kind_) {
    case CleverCommKind::kCP2112:
      return cp2112_ != nullptr ? cp2112_->GetCommState() : CommStateDisconnected;
    case CleverCommKind::kSerial:
      return serial_->GetCommState();
    case CleverCommKind::kTcpClient:
      return tcp_->GetCommState();
    case CleverCommKind::kTcpServer:
      return Connected() ? CommStateConnected : CommStateDisconnected;
    default:
      return CommStateDisconnected;
  }
}

bool TMurCleverComm::WriteCommData(std::string_view data) {
  switch (kind_) {
    case CleverCommKind::kCP2112:
      return cp2112_ != nullptr && cp2112_->WriteCommData(data);
    case CleverCommKind::kSerial:
      return serial_->WriteCommData(data);
    case CleverCommKind::kTcpClient:
      return tcp_->WriteCommDataTo(tcp_->MainChannel(), data);
    case CleverCommKind::kTcpServer: {
      // To every accepted connection; bytes that no connection took were not sent.
      bool taken = false;
      for (int i = 0; i < tcp_->ClientCount(); ++i) {
        if (tcp_->WriteCommDataTo(tcp_->GetClient(i), data)) taken = true;
      }
      return taken;
    }
    default:
      return false;
  }
}

bool TMurCleverComm::ShowConfigDialog(const std::string& caption) {
  if (kind_ != CleverCommKind::kSerial) return true;
  const bool result = serial_->ShowConfigDialog(caption);
  comm_port_ = serial_->CommPort();
  baud_rate_ = serial_->BaudRate();
  return result;
}

void TMurCleverComm::DeleteChannels(VMurTopDistributor* distributor) const {
  if (distributor == nullptr) return;
  distributor->DeleteChannel(MainChannel());
  for (int number = ChannelKey::kFirstPseudo; number <= ChannelKey::kLastPseudo; ++number) {
    distributor->DeleteChannel(ChannelKey::Pseudo(number));
  }
}

void TMurCleverComm::Assign(const TMurCleverComm& source) {
  SetBaudRate(source.baud_rate_);
  SetParity(source.parity_);
  SetStopBits(source.stop_bits_);
  SetDataBits(source.data_bits_);
  SetOnBreak(source.OnBreak());
  SetOnChangedCTS(source.OnChangedCTS());
  SetOnChangedDSR(source.OnChangedDSR());
  SetOnErrorFrame(source.OnErrorFrame());
  SetOnErrorOverrun(source.OnErrorOverrun());
  SetOnErrorParity(source.OnErrorParity());
  SetOnErrorBreak(source.OnErrorBreak());
  SetOnErrorOther(source.OnErrorOther());
  SetOnRing(source.OnRing());
  SetOnChangedRLSD(source.OnChangedRLSD());
  SetOnRxChar(source.OnRxChar());
  SetOnRxFlag(source.OnRxFlag());
  SetOnTxEmpty(source.OnTxEmpty());
  SetOnDeviceLost(source.OnDeviceLost());
  SetOnReconnected(source.OnReconnected());
  SetGrab(source.grab_);
  SetProtocolCP2112(source.protocol_cp2112_);
  SetCP2112DebugLevels(source.cp2112_debug_levels_);
  SetCommPort(source.comm_port_);
  SetAutoReconnect(source.auto_reconnect_);
  last_config_ = source.last_config_;
}

}  // namespace kestrova
