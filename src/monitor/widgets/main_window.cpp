#include "monitor/widgets/main_window.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPalette>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <cstdio>
#include <cstring>

#include "monitor/entry_values.h"
#include "monitor/send_encoding.h"
#include "monitor/widgets/color_filter_dialog.h"
#include "platform/tick.h"
#include "terminal/widgets/main_terminal.h"
#include "util/color.h"
#include "util/widgets/combo_text.h"

namespace kestrova {
namespace {

constexpr uint32_t kTimer1Interval = 20;
const QColor kInvalidEntry(255, 192, 192);  // $C0C0FF

// Light red for an entry that cannot be read, the theme's own colour otherwise.
void MarkEntry(QLineEdit* edit, bool valid) {
  QPalette palette = edit->palette();
  palette.setColor(QPalette::Base,
                   valid ? edit->style()->standardPalette().color(QPalette::Base) : kInvalidEntry);
  edit->setPalette(palette);
}

}  // namespace

TForm1::TForm1(QWidget* parent) : QWidget(parent) {
  setObjectName("Form1");
  setWindowTitle("Kestrova - MUR spol. s r.o.");
  setFont(DesignFont());
  CreateShapes();
  CreatePortRows();
  CreateOptionControls();
  CreateLayout();
  resize(sizeHint());
  CreateMenusAndTabOrder();
  CreateComponents();

  connect(EditHexDelim, &QLineEdit::textChanged, this, [this] { EditHexDelimChange(); });
  connect(EditSkipByte, &QLineEdit::textChanged, this, [this] { EditSkipByteChange(); });
  connect(EditTimeout, &QLineEdit::textChanged, this, [this] { OptionsChanged(); });
  connect(proto_buttons_, &QButtonGroup::idClicked, this, [this] { OptionsChanged(); });
  CheckLog1->installEventFilter(this);
  ConnectSignalIndicators();
  ConnectFileControls();
  ConnectPortControls();
  connect(SpeedButton3, &QToolButton::clicked, this, [this] { SpeedButton3Click(); });
  connect(SpeedButton2, &QToolButton::clicked, this,
          [this](bool down) { SpeedButton2Click(down); });
  for (QCheckBox* check : {CheckLog1, CheckLog2, CheckLogTimes, CheckStop}) {
    connect(check, &QCheckBox::toggled, this, [this] { OptionsChanged(); });
  }
  FormCreate();
}

TForm1::~TForm1() { VMurTopDistributor1->DeleteChannel(ChannelKey()); }

void TForm1::CreateComponents() {
  components_.SetName("Form1");
  // Design values first, as a form loads them; the components act on them when Loaded() comes.
  components_.BeginLoading();
  Timer1 = new Timer(&components_);
  Timer1->BeginLoading();
  Timer1->SetName("Timer1");
  Timer1->SetInterval(kTimer1Interval);
  VMurTopDistributor1 = new VMurTopDistributor(&components_);
  VMurTopDistributor1->BeginLoading();
  VMurTopDistributor1->SetName("VMurTopDistributor1");
  VMurTopDistributor1->SetAutomaticCreate(false);
  VMurTopDistributor1->SetTimer(Timer1);
  VMurTopDistributor1->OnAdvancedComDecode() =
      [this](VMurGeneralDistributor*, ChannelKey, VMurDistributor_ChannelRecord* rec, uint32_t) {
        VMurTopDistributor1AdvancedComDecode(rec);
      };
  VMurTopDistributor1->OnAdvancedRecvTransfer() =
      [this](VMurGeneralDistributor* sender, ChannelKey channel, uint32_t& the_time,
             std::string_view bytes, VMurGeneralDistributor* lowest, bool) {
        VMurTopDistributor1AdvancedRecvTransfer(sender, channel, the_time, bytes, lowest);
      };
  VMurTopDistributor1->OnAdvancedSendTransfer() =
      [this](VMurGeneralDistributor*, ChannelKey channel, uint32_t& the_time,
             std::string_view bytes, VMurGeneralDistributor* lowest,
             bool) { display_->ShowSent(channel, the_time, bytes, lowest != nullptr); };
  VMurTopDistributor1->OnUpdateHandler() = [this](VMurTopDistributor*,
                                                  VMurCommunicationComponent*& handler,
                                                  ChannelKey& channel) {
    // A transport named as the channel is written on its main channel; a network peer is
    // written through the transport that owns it.
    if (VMurTcpClient::IsLive(channel.AsObject())) {
      handler = static_cast<VMurTcpClient*>(channel.AsObject())->Owner();
    } else if (VMurUdp1 != nullptr && VMurUdp1->OwnsPeer(channel)) {
      handler = VMurUdp1;
    } else if (auto* transport = dynamic_cast<VMurCommunicationComponent*>(channel.AsObject())) {
      handler = transport;
      channel = transport->MainChannel();
    }
  };
  VMurTopDistributor1->OnTimerPoll() = [this](VMurGeneralDistributor*, uint32_t& the_time) {
    VMurTopDistributor1TimerPoll(the_time);
  };
  VMurTopDistributor1->OnTimerPollIdle() = [this] { return script_.Empty(); };
  VMurAppInfo1 = new VMurAppInfo(&components_);
  VMurAppInfo1->BeginLoading();
  VMurAppInfo1->SetName("VMurAppInfo1");
  VMurAppInfo1->SetAppName("KestTerminal");
  VMurAppInfo1->SetRegistryPath("Software\\MUR s.r.o.\\");
  app_info_forms_ = new AppInfoForms(this);
  VMurAppInfo1->SetGui(app_info_forms_);
  // After the settings component, so that the history is stored before that goes.
  VMurTerminal1 = CreateMainTerminal(&components_, this, VMurAppInfo1).terminal;
  VMurTerminal1->SetOnTermSendData([this](Object*, const std::string& typed, bool includes_cr) {
    VMurTerminal1TermSendData(typed, includes_cr);
  });
  // Before the ports, which are destroyed first: their last state reports are shown and logged.
  logger_ = new VMurLogger(&components_);
  logger_->SetName("Logger");
  logger_->SetNewFileStyle(vslnfExact);
  logger_->SetOnWriteFailed([this](const std::string& file_name, int error) {
    const std::string text =
        "The log file " + file_name + " cannot be written (" + std::strerror(error) + ")";
    // Not from inside the logger's write: the message is logged as well.
    QTimer::singleShot(0, this, [this, text] {
      ShowMessage(text);
      std::fprintf(stderr, "kestrova: %s\n", text.c_str());
    });
  });
  display_ = std::make_unique<TrafficDisplay>(
      VMurTerminal1->Output(), [this](ChannelKey channel) { return RoleOf(channel); }, TickCount());
  CreatePorts();
  CreateTcp();
  for (Component* component : components_.Components()) component->Loaded();
  components_.Loaded();
}

void TForm1::CreatePorts() {
  // The design values; StartPorts opens both once the stored settings are in.
  const auto design = [this](const char* name, QComboBox* box) {
    auto* port = new TMurCleverComm(&components_);
    port->BeginLoading();
    port->SetName(name);
    // The window names a port's data by the port itself, so the port's own channel goes when the
    // port is reconfigured, never the network port 1's nil channel.
    port->SetTreatMainChannelAsNil(false);
    // Before the name: a wrapper reconnects by default and would open the designed port now.
    port->SetAutoReconnect(false);
    port->SetCommPort("COM1");
    port->SetBaudRate(TBaudRate::_57600);
    port->Signals().SetDTR(false);
    port->SetOnStateChange(
        [this, port, box](Object*, TCommState state) { PortStateChange(port, box, state); });
    port->SetOnAdvancedReceiveData(
        [this, port, box](VMurCommunicationComponent*, ChannelKey channel, std::string_view bytes) {
          PortAdvancedReceiveData(port, box, channel, bytes);
        });
    port->SetOnAdvancedStateChange(
        [this, port, box](VMurCommunicationComponent*, ChannelKey channel, TCommState) {
          if (channel != port->MainChannel()) PortPeerStateChange(port, box, channel);
        });
    port->SetOnDeviceLost([this, port](Object*) { PortLost(port); });
    port->SetOnReconnected([this, port](Object*) { PortReconnected(port); });
    return port;
  };
  const auto signal_events = [this](TMurCleverComm* port, int first) {
    port->SetOnChangedCTS([this, first](Object*, bool active) { SignalChanged(first, active); });
    port->SetOnChangedDSR(
        [this, first](Object*, bool active) { SignalChanged(first + 1, active); });
    port->SetOnRing([this, first](Object*, bool active) { SignalChanged(first + 2, active); });
    port->SetOnChangedRLSD(
        [this, first](Object*, bool active) { SignalChanged(first + 3, active); });
  };
  VSSComm321 = design("VSSComm321", ComboPort1);
  VSSComm321->Timeouts().SetValue(VSSComm32Timeouts::kWriteTotalConst, 5000);
  VSSComm321->SetOnReceiveData([this](VMurCommunicationComponent* sender, std::string_view bytes) {
    VSSComm321ReceiveData(sender, bytes);
  });
  signal_events(VSSComm321, 0);
  VSSComm322 = design("VSSComm322", ComboPort2);
  VSSComm322->SetOnReceiveData([this](VMurCommunicationComponent* sender, std::string_view bytes) {
    VSSComm322ReceiveData(sender, bytes);
  });
  signal_events(VSSComm322, 4);
}

bool TForm1::IsPeerOf(const TMurCleverComm& port, ChannelKey channel) {
  if (port.TcpComponent() == nullptr || !VMurTcpClient::IsLive(channel.AsObject())) return false;
  return static_cast<const VMurTcpClient*>(channel.AsObject())->Owner() == port.TcpComponent();
}

ChannelRole TForm1::RoleOf(ChannelKey channel) const {
  if (channel.IsNil()) return ChannelRole::kNil;
  if (channel == ChannelKey(VSSComm321)) return ChannelRole::kPort1;
  if (channel == ChannelKey(VSSComm322)) return ChannelRole::kPort2;
  if (channel == ChannelKey(VMurTcp1)) return ChannelRole::kTcpComponent;
  if (channel == ChannelKey(VMurUdp1)) return ChannelRole::kUdpComponent;
  // Port 2 as a TCP server: its peers' data are port 2's data.
  if (IsPeerOf(*VSSComm322, channel)) return ChannelRole::kPort2;
  if (VMurTcpClient::IsLive(channel.AsObject())) return ChannelRole::kTcpClient;
  if (VMurUdp1 != nullptr && VMurUdp1->OwnsPeer(channel)) return ChannelRole::kUdpClient;
  return ChannelRole::kOther;
}

void TForm1::VSSComm321ReceiveData(VMurCommunicationComponent* sender, std::string_view bytes) {
  SetComboFontColor(ComboPort1, clGreen);
  try {
    if (skip_byte_ < 0) {
      VMurTopDistributor1->ComReceive(sender, sender, bytes);
    } else {
      VMurTopDistributor1->ComReceive(sender, sender, RemoveSkipByte(bytes, skip_byte_));
    }
  } catch (const std::exception&) {
    // The port goes on reading whatever failed on the way to the view; the view starts over.
    VMurTerminal1->Clear();
  }
}

void TForm1::VSSComm322ReceiveData(VMurCommunicationComponent* sender, std::string_view bytes) {
  SetComboFontColor(ComboPort2, clGreen);
  VMurTopDistributor1->ComReceive(sender, sender, bytes);
}

void TForm1::PortAdvancedReceiveData(TMurCleverComm* port, QComboBox* box, ChannelKey channel,
                                     std::string_view bytes) {
  // A USB bridge reports its diagnostics on pseudo-channels 512..516.
  static constexpr VMurTerminal_LineType kDiagnosticLines[] = {
      VMurTerminal_ltExtraR, VMurTerminal_ltExtraRR, VMurTerminal_ltExtraA,
      VMurTerminal_ltBinPlusGrey, VMurTerminal_ltPlusMag};
  if (channel.IsPseudo()) {
    VMurTerminal1->AddLine(bytes,
                           kDiagnosticLines[channel.PseudoNumber() - ChannelKey::kFirstPseudo]);
    return;
  }
  // The main channel's data come as plain receives.
  if (channel == port->MainChannel() || !IsPeerOf(*port, channel)) return;
  SetComboFontColor(box, clGreen);
  VMurTopDistributor1->ComReceive(port, channel, bytes);
}

void TForm1::VMurTopDistributor1AdvancedComDecode(VMurDistributor_ChannelRecord* rec) {
  Frame(display_->Options().protocol, frame_delimiter_, *rec);
}

void TForm1::VMurTopDistributor1AdvancedRecvTransfer(VMurGeneralDistributor* sender,
                                                     ChannelKey channel, uint32_t the_time,
                                                     std::string_view bytes,
                                                     VMurGeneralDistributor* lowest) {
  display_->ShowReceived(*sender, channel, the_time, bytes, lowest != nullptr);
}

void TForm1::VMurTerminal1TermSendData(const std::string& typed, bool includes_cr) {
  const std::string bytes = EncodeTerminalBytes(display_->Options().protocol, typed, includes_cr);
  if (!bytes.empty()) SendData(TickCount(), bytes);
}

void TForm1::SendData(uint32_t the_time, std::string_view bytes) {
  // A server sends to every peer; only the first one's copy is shown and logged.
  const auto to_peers = [&](VMurCommunicationComponent* component, int count, auto peer) {
    if (count < 1) {
      VMurTopDistributor1->SendComData(component, the_time, bytes);
      return;
    }
    VMurTopDistributor1->SendComData(peer(0), the_time, bytes);
    for (int i = 1; i < count; ++i) component->WriteCommDataTo(peer(i), bytes);
  };
  switch (display_->Options().mode) {
    case ChannelMode::kSerial:
      if (!VSSComm321->Connected()) {
        // The chain would show the bytes as sent although no transport took them.
        ShowMessage("Port 1 is not open: nothing was sent");
        return;
      }
      VMurTopDistributor1->SendComData(VSSComm321, the_time, bytes);
      return;
    case ChannelMode::kTcpClient:
      VMurTopDistributor1->SendComData(VMurTcp1->MainClient(), the_time, bytes);
      return;
    case ChannelMode::kTcpServer:
      to_peers(VMurTcp1, VMurTcp1->ClientCount(), [this](int i) { return VMurTcp1->GetClient(i); });
      return;
    case ChannelMode::kUdpClient:
      VMurTopDistributor1->SendComData(VMurUdp1, the_time, bytes);
      return;
    case ChannelMode::kUdpServer:
      to_peers(VMurUdp1, VMurUdp1->PeerCount(), [this](int i) { return VMurUdp1->GetPeer(i); });
      return;
  }
}

void TForm1::ShowMessage(std::string_view text) {
  VMurTerminal1->AddLine(text, VMurTerminal_ltExtra);
  display_->LogMessage(text);
}

void TForm1::VMurTopDistributor1TimerPoll(uint32_t the_time) {
  if (const std::optional<std::string> line = script_.Due(the_time)) {
    SendData(the_time, ScriptLine(display_->Options().protocol, *line));
  }
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (SignalIndicatorEvent(watched, event) || FileControlEvent(watched, event)) return true;
  if (watched == CheckLog1 && event->type() == QEvent::MouseButtonRelease) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::RightButton && mouse->modifiers() == Qt::NoModifier) {
      LoadScript();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TForm1::SpeedButton3Click() {
  ColorFilterDialog dialog(this, filter_.Rules());
  if (dialog.exec() == QDialog::Accepted) filter_.SetRules(dialog.Rules());
}

void TForm1::EditHexDelimChange() {
  const FrameDelimiterEntry entry = ReadFrameDelimiter(EditHexDelim->text().toStdString());
  frame_delimiter_ = entry.delimiter;
  MarkEntry(EditHexDelim, entry.valid);
}

void TForm1::EditSkipByteChange() {
  const SkipByteEntry entry = ReadSkipByte(EditSkipByte->text().toLatin1().toStdString());
  skip_byte_ = entry.value;
  MarkEntry(EditSkipByte, entry.valid);
}

void TForm1::OptionsChanged() {
  TrafficOptions& options = display_->Options();
  options.protocol = static_cast<Protocol>(proto_buttons_->checkedId());
  options.packet_timeout_ms = ReadPacketTimeout(EditTimeout->text().toStdString());
  options.log_port1 = CheckLog1->isChecked();
  options.log_port2 = CheckLog2->isChecked();
  options.log_sent = CheckLogTimes->isChecked();
  options.stop = CheckStop->isChecked();
}

}  // namespace kestrova
