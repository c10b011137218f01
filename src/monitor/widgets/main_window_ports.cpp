// The main window's ports: what port 1's box names and the mode it puts port 1 in, the serial
// ports' boxes and buttons, opening at start-up, and the ports' state shown in their boxes.
#include "monitor/widgets/main_window.h"

#include <QComboBox>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <algorithm>

#include "clever_comm/widgets/clever_port_combo.h"
#include "monitor/port_target.h"
#include "platform/serial_device.h"
#include "util/color.h"
#include "util/widgets/combo_text.h"

namespace kestrova {

void TForm1::PortStateChange(TMurCleverComm* port, QComboBox* box, TCommState state) {
  // Port 1's box speaks for the network port in the other modes.
  const bool shows_state = port == VSSComm322 || display_->Options().mode == ChannelMode::kSerial;
  if (shows_state && port->Kind() == CleverCommKind::kTcpServer) {
    PaintServerState(port, box);
  } else {
    switch (shows_state ? state : CommStateFirst) {
      case CommStateFailed:
        SetComboFontColor(box, clRed);
        break;
      case CommStateDisconnected:
        SetComboFontColor(box, clBlack);
        break;
      case CommStateConnected:
        SetComboFontColor(box, clBlue);
        break;
      default:
        break;
    }
  }
  // Whatever was half received belongs to the port's previous life.
  port->DeleteChannels(VMurTopDistributor1);
  if (port == VSSComm321) SpeedButton2->setChecked(VSSComm321->Connected());
}

void TForm1::PortPeerStateChange(TMurCleverComm* port, QComboBox* box, ChannelKey channel) {
  if (port->Kind() == CleverCommKind::kTcpServer) PaintServerState(port, box);
  VMurTopDistributor1->DeleteChannel(channel);
}

void TForm1::PaintServerState(TMurCleverComm* port, QComboBox* box) {
  const VMurTcp* server = port->TcpComponent();
  if (server == nullptr || !server->ServerListening()) {
    SetComboFontColor(box, clRed);
  } else {
    SetComboFontColor(box, server->ClientCount() >= 1 ? clBlue : clPurple);
  }
}

std::string TForm1::PortLabel(const TMurCleverComm* port) const {
  return port == VSSComm321 ? "Port 1" : "Port 2";
}

void TForm1::PortLost(TMurCleverComm* port) {
  ShowMessage(PortLabel(port) + " lost: " + port->CommPort() + ", waiting for it to return");
}

void TForm1::PortReconnected(TMurCleverComm* port) {
  ShowMessage(PortLabel(port) + " reconnected: " + port->CommPort());
}

void TForm1::FillPortBox(TMurCleverComm* port, QComboBox* box) {
  FillCleverPortCombo(box, port->CommPort());
}

void TForm1::SpeedButton2Click(bool down) {
  if (down) {
    VSSComm321->SetGrab(vscgcOnce);
    if (!VSSComm321->Connected()) SpeedButton2->setChecked(false);
  } else {
    VSSComm321->SetGrab(vscgcSoft);
  }
}

void TForm1::ConnectPortControls() {
  // A typed port is taken when the user is done with it (Enter or leaving the box), not for
  // every key: each text would be a port to open.
  connect(ComboPort1, &QComboBox::activated, this,
          [this] { ComboPort1Change(ComboPort1->currentText()); });
  connect(ComboPort1->lineEdit(), &QLineEdit::editingFinished, this,
          [this] { ComboPort1Change(ComboPort1->currentText()); });
  connect(ComboPort2, &QComboBox::activated, this,
          [this] { ComboPort2Change(ComboPort2->currentText()); });
  connect(ComboPort2->lineEdit(), &QLineEdit::editingFinished, this,
          [this] { ComboPort2Change(ComboPort2->currentText()); });
  ComboPort1->SetOnDropDown([this] { FillPortBox(VSSComm321, ComboPort1); });
  ComboPort2->SetOnDropDown([this] { FillPortBox(VSSComm322, ComboPort2); });
  connect(ComboBaud1, &QComboBox::textActivated, this,
          [this](const QString& text) { ComboBaudChange(VSSComm321, text); });
  connect(ComboBaud2, &QComboBox::textActivated, this,
          [this](const QString& text) { ComboBaudChange(VSSComm322, text); });
  connect(Button1, &QPushButton::clicked, this,
          [this] { SettingsClick(VSSComm321, ComboPort1, ComboBaud1); });
  connect(Button2, &QPushButton::clicked, this,
          [this] { SettingsClick(VSSComm322, ComboPort2, ComboBaud2); });
}

void TForm1::ComboPort1Change(const QString& text) {
  const std::string typed = text.toStdString();
  if (typed == applied_port1_) return;  // Enter and leaving the box both report it
  applied_port1_ = typed;
  const PortSpecification spec = ReadTypedPortSpecification(typed);
  if (!spec.ignored) {
    display_->Options().mode = spec.mode;
    if (spec.mode == ChannelMode::kSerial) {
      VSSComm321->SetAutoReconnect(true);
      VSSComm321->SetConfigAsString("\"" + typed + "\"");
    } else {
      StartPort1(spec, !typed.starts_with(':'));
    }
  }
  ShutDownOtherModes();
  GrowToFitPorts();
}

void TForm1::StartPort1(const PortSpecification& spec, bool typed_tcp_prefix) {
  switch (spec.mode) {
    case ChannelMode::kSerial:
      break;
    case ChannelMode::kTcpClient:
      VMurTcp1->StopServer();
      VMurTcp1->SetClientHost(spec.host);
      VMurTcp1->StartClient();
      break;
    case ChannelMode::kTcpServer:
      if (typed_tcp_prefix) VMurTcp1->StopClient();
      VMurTcp1->SetServerPort(spec.server_port);
      VMurTcp1->StartServer();
      break;
    case ChannelMode::kUdpClient:
      VMurUdp1->StopServer();
      VMurUdp1->SetClientHost(spec.host);
      VMurUdp1->StartClient();
      break;
    case ChannelMode::kUdpServer:
      VMurUdp1->StopClient();
      VMurUdp1->SetServerPort(spec.server_port);
      VMurUdp1->StartServer();
      break;
  }
}

void TForm1::ShutDownOtherModes() {
  const ChannelMode mode = display_->Options().mode;
  const bool tcp = mode == ChannelMode::kTcpClient || mode == ChannelMode::kTcpServer;
  const bool udp = mode == ChannelMode::kUdpClient || mode == ChannelMode::kUdpServer;
  if (!tcp) {
    VMurTcp1->SetServerPort(-1);
    VMurTcp1->StopServer();
    VMurTcp1->StopClient();
  }
  if (!udp) {
    VMurUdp1->SetServerPort(-1);
    VMurUdp1->StopServer();
    VMurUdp1->StopClient();
  }
  if (mode != ChannelMode::kSerial) {
    VSSComm321->SetAutoReconnect(false);
    VSSComm321->StopComm();
  }
}

std::string TForm1::Port1Text() {
  switch (display_->Options().mode) {
    case ChannelMode::kSerial:
      break;
    case ChannelMode::kTcpClient:
      return "tcp:" + VMurTcp1->ClientHost() + ":" + std::to_string(VMurTcp1->ClientPort());
    case ChannelMode::kTcpServer:
      return "tcp:" + std::to_string(VMurTcp1->ServerPort());
    case ChannelMode::kUdpClient:
      return "udp:" + VMurUdp1->ClientHost();
    case ChannelMode::kUdpServer:
      return "udp:" + std::to_string(VMurUdp1->ServerPort());
  }
  return VSSComm321->GetConfigAsString();
}

void TForm1::ComboPort2Change(const QString& text) {
  const std::string typed = text.toStdString();
  // The box may show the listed name of the device the stored name stands for ("/dev/ttyS0"
  // for "COM1"): leaving it unchanged must not reopen the port under another name.
  if (typed == applied_port2_) return;
  applied_port2_ = typed;
  VSSComm322->SetConfigAsString(typed);
  GrowToFitPorts();
}

void TForm1::ComboBaudChange(TMurCleverComm* port, const QString& text) {
  bool number = false;
  const int rate = text.toInt(&number);
  port->SetBaudRateInt(number ? rate : 0);
}

void TForm1::SettingsClick(TMurCleverComm* port, QComboBox* port_box, QComboBox* baud_box) {
  port->ShowConfigDialog(port->Name());
  port_box->setEditText(QString::fromStdString(port->CommPort()));
  (port == VSSComm321 ? applied_port1_ : applied_port2_) = port->CommPort();
  SelectComboText(baud_box, QString::number(port->BaudRateInt()));
  GrowToFitPorts();
}

void TForm1::GrowToFitPorts() {
  // The boxes' new wishes reach the window's layout only with the next turn of the event loop;
  // measure them directly.
  layout()->activate();
  int missing = 0;
  for (const QComboBox* box : {ComboPort1, ComboPort2}) {
    missing = std::max(missing, box->sizeHint().width() - box->width());
  }
  if (missing <= 0) return;
  // Never wider than the screen; the box's tooltip and list show what does not fit.
  const int frame = frameGeometry().width() - width();
  const int room = screen()->availableGeometry().width() - frame;
  resize(std::max(width(), std::min(width() + missing, room)), height());
}

void TForm1::StartPorts(const PortSpecification& port1) {
  if (port1.mode == ChannelMode::kSerial) {
    VSSComm321->SetAutoReconnect(true);
    VSSComm321->SetGrab(vscgcSoft);
    SpeedButton2->setChecked(VSSComm321->Connected());
  } else {
    StartPort1(port1, false);
  }
  VSSComm322->SetAutoReconnect(true);
  // Each read returns as soon as bytes are there (at most 2048 of them), else after 50 ms: a
  // read that waited the full 50 ms for a block to fill would show and log a busy line up to
  // 50 ms late, and blur the pauses that split packets into lines.
  VSSComm32Timeouts& timeouts = VSSComm321->Timeouts();
  timeouts.SetValue(VSSComm32Timeouts::kReadInterval, SerialTimeouts::kMaxTimeout);
  timeouts.SetValue(VSSComm32Timeouts::kReadTotalConst, 50);
  timeouts.SetValue(VSSComm32Timeouts::kReadTotalMult, SerialTimeouts::kMaxTimeout);
  timeouts.SetValue(VSSComm32Timeouts::kWriteTotalConst, 0);
  timeouts.SetValue(VSSComm32Timeouts::kWriteTotalMult, 0);
  VSSComm321->Chars().SetXOn(0);
  VSSComm321->Chars().SetXOff(0);
}

}  // namespace kestrova
