// TForm1, the main window: the two ports' rows, the protocol choice, the packet and logging
// options, and the components that carry the traffic from the ports to the terminal and log.
#pragma once

#include <QWidget>
#include <array>
#include <memory>

#include "appinfo/mur_app_info.h"
#include "appinfo/widgets/app_info_forms.h"
#include "clever_comm/mur_clever_comm.h"
#include "distribution/top_distributor.h"
#include "monitor/color_filter.h"
#include "monitor/framers.h"
#include "monitor/port_target.h"
#include "monitor/send_script.h"
#include "monitor/signal_indicator.h"
#include "monitor/traffic_display.h"
#include "net/mur_tcp.h"
#include "net/mur_udp.h"
#include "terminal/logger.h"
#include "terminal/mur_terminal.h"
#include "util/component.h"
#include "util/timer.h"
#include "util/widgets/drop_down_combo.h"

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QString;
class QFont;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPoint;
class QPushButton;
class QToolButton;

namespace kestrova {

class TForm1 : public QWidget {
  Q_OBJECT

 public:
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  VMurTopDistributor& Distributor() { return *VMurTopDistributor1; }
  TrafficDisplay& Display() { return *display_; }
  VMurAppInfo& AppInfo() { return *VMurAppInfo1; }
  VMurTerminal& Terminal() { return *VMurTerminal1; }
  // The two ports' components.
  TMurCleverComm& Port1() { return *VSSComm321; }
  TMurCleverComm& Port2() { return *VSSComm322; }
  VMurLogger* Logger() { return logger_; }
  // False when a splash form shows the main form once it goes.
  bool ApplicationShowsMainForm() const { return app_info_forms_->ApplicationShowsMainForm(); }
  uint8_t FrameDelimiter() const { return frame_delimiter_; }
  int SkipByte() const { return skip_byte_; }

 signals:
  // After the window stored its settings on closing: the application's end.
  void Closed();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // "Tahoma" 8 pt as designed, or the desktop's UI font where that is missing.
  static QFont DesignFont();
  void CreateShapes();
  void CreatePortRows();
  void CreateOptionControls();
  // Rows and columns in layouts, so that the controls get the room their texts need.
  void CreateLayout();
  // Widens the window so that both port boxes show their whole port names.
  void GrowToFitPorts();
  void CreateMenusAndTabOrder();
  void CreateComponents();
  void CreatePorts();
  // Restores the stored settings into the controls and components; stores them on closing.
  void FormCreate();
  void FormClose();
  void OpenLog(const std::string& file_name);
  // Aqua while the log file is open, red when it could not be opened.
  void PaintLogIndicator(bool log_open);
  // Red after a capture file could not be saved, the theme's colour otherwise.
  void PaintWindow(bool failed);
  // Saves the terminal's view to the next capture file and advances the counter.
  void EditFilenameDblClick();
  // Warns (red text) when the next capture file would overwrite one.
  void EditFilenameChange();
  void SpeedButton1Click();
  void ConnectFileControls();
  bool FileControlEvent(QObject* watched, QEvent* event);
  void ConnectSignalIndicators();
  bool SignalIndicatorEvent(QObject* watched, QEvent* event);
  void SpeedButton2Click(bool down);
  // The colour filter's rules in their dialog.
  void SpeedButton3Click();
  // A modem status line of indicator `index` (kSignalNames order) changed.
  void SignalChanged(int index, bool active);
  void SetSignalFlags(int index, int flags);
  void ShowSignalMenu(int index, const QPoint& position);

  // Handlers.
  void VMurTopDistributor1AdvancedComDecode(VMurDistributor_ChannelRecord* rec);
  void VMurTopDistributor1AdvancedRecvTransfer(VMurGeneralDistributor* sender, ChannelKey channel,
                                               uint32_t the_time, std::string_view bytes,
                                               VMurGeneralDistributor* lowest);
  void VSSComm321ReceiveData(VMurCommunicationComponent* sender, std::string_view bytes);
  void VSSComm322ReceiveData(VMurCommunicationComponent* sender, std::string_view bytes);
  // A bridge's diagnostics as whole lines; the data of a port's server peers as the port's data.
  void PortAdvancedReceiveData(TMurCleverComm* port, QComboBox* box, ChannelKey channel,
                               std::string_view bytes);
  void PortStateChange(TMurCleverComm* port, QComboBox* box, TCommState state);
  // A peer of a port's TCP server came or went.
  void PortPeerStateChange(TMurCleverComm* port, QComboBox* box, ChannelKey channel);
  // A port's TCP server: red when not listening, blue with peers, purple while waiting.
  void PaintServerState(TMurCleverComm* port, QComboBox* box);
  // A serial port whose device went away and that waits for it.
  void PortLost(TMurCleverComm* port);
  // A serial port opened again by itself after its device came back.
  void PortReconnected(TMurCleverComm* port);
  std::string PortLabel(const TMurCleverComm* port) const;
  // The ports' boxes list the bridges first, then the serial ports.
  void FillPortBox(TMurCleverComm* port, QComboBox* box);
  // Port 1's box names a port: open it in its mode, close what belongs to the other modes.
  void ComboPort1Change(const QString& text);
  void ComboPort2Change(const QString& text);
  void ComboBaudChange(TMurCleverComm* port, const QString& text);
  // The port's settings dialog; the boxes then show what it chose.
  void SettingsClick(TMurCleverComm* port, QComboBox* port_box, QComboBox* baud_box);
  void ConnectPortControls();
  // Port 1 as a network port: the TCP component (designed) and the UDP one (made at start-up).
  void CreateTcp();
  void CreateUdp();
  void NetworkReceiveData(VMurCommunicationComponent* sender, ChannelKey channel,
                          std::string_view bytes);
  // Shared by both network components: the box colour, the server messages, the channel.
  void VMurTcp1AdvancedStateChange(VMurCommunicationComponent* sender, ChannelKey channel,
                                   TCommState state);
  void ClientChange(bool tcp, const std::string& address, VMurItemOperation op);
  // Starts the network port 1 `spec` names; a typed "TCP:" server first stops the client.
  void StartPort1(const PortSpecification& spec, bool typed_tcp_prefix);
  // Closes whatever port 1 used in the modes other than the current one.
  void ShutDownOtherModes();
  // "Port1" as stored: by mode.
  std::string Port1Text();
  // Port 1 opened as stored and port 2 kept open, with port 1's fixed line timing.
  void StartPorts(const PortSpecification& port1);
  void VMurTopDistributor1TimerPoll(uint32_t the_time);
  void VMurTerminal1TermSendData(const std::string& typed, bool includes_cr);
  // Sends to port 1's transport, shown and logged as sent data.
  void SendData(uint32_t the_time, std::string_view bytes);
  // A whole line of kind "extra" in the terminal, and in the log as a message.
  void ShowMessage(std::string_view text);
  // Right-button release on CheckLog1: a text file to send line by line.
  void LoadScript();
  bool eventFilter(QObject* watched, QEvent* event) override;
  void EditHexDelimChange();
  void EditSkipByteChange();
  void OptionsChanged();
  ChannelRole RoleOf(ChannelKey channel) const;
  // A connection accepted by the port's TCP server.
  static bool IsPeerOf(const TMurCleverComm& port, ChannelKey channel);

  Timer* Timer1 = nullptr;
  VMurTopDistributor* VMurTopDistributor1 = nullptr;
  VMurAppInfo* VMurAppInfo1 = nullptr;
  AppInfoForms* app_info_forms_ = nullptr;
  VMurTerminal* VMurTerminal1 = nullptr;
  TMurCleverComm* VSSComm321 = nullptr;
  TMurCleverComm* VSSComm322 = nullptr;
  VMurTcp* VMurTcp1 = nullptr;
  VMurUdp* VMurUdp1 = nullptr;  // made by FormCreate
  VMurLogger* logger_ = nullptr;
  std::string applied_port1_;  // the port-1 text last acted on
  std::string applied_port2_;  // the same for port 2
  std::string log_file_name_;
  bool closed_ = false;
  SendScript script_;
  ColorFilter filter_;
  std::unique_ptr<TrafficDisplay> display_;
  uint8_t frame_delimiter_ = kDefaultFrameDelimiter;
  int skip_byte_ = -1;

  QToolButton* SpeedButton1 = nullptr;
  QToolButton* SpeedButton2 = nullptr;
  QToolButton* SpeedButton3 = nullptr;
  DropDownComboBox* ComboPort1 = nullptr;
  DropDownComboBox* ComboPort2 = nullptr;
  QComboBox* ComboBaud1 = nullptr;
  QComboBox* ComboBaud2 = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;
  QLabel* Label2 = nullptr;
  QLineEdit* EditFilename = nullptr;
  QLineEdit* EditFile1 = nullptr;
  QLineEdit* EditSkipByte = nullptr;
  QLineEdit* EditHexDelim = nullptr;
  QLineEdit* EditTimeout = nullptr;
  QCheckBox* CheckLog1 = nullptr;
  QCheckBox* CheckLog2 = nullptr;
  QCheckBox* CheckLogTimes = nullptr;
  QCheckBox* CheckStop = nullptr;
  QGroupBox* RGroupProto = nullptr;
  QButtonGroup* proto_buttons_ = nullptr;
  QFrame* Shape1 = nullptr;  // the log indicator strip
  QFrame* Shape2 = nullptr;  // the row backgrounds of port 1, port 2 and the capture file
  QFrame* Shape3 = nullptr;
  QFrame* Shape4 = nullptr;
  QMenu* PMenuCommSignals = nullptr;
  QAction* ItemSave = nullptr;
  QAction* ItemCommSignalsTerm = nullptr;
  QAction* ItemCommSignalsLog = nullptr;
  std::array<QFrame*, kSignalIndicatorCount> signal_shapes_{};
  std::array<int, kSignalIndicatorCount> signal_flags_{};
  int menu_signal_ = 0;  // the indicator the pop-up menu was opened on

  // The window's components, owned by the form as the other components are. Last, so that they
  // go first: a port closing as it goes still reports to the window's handlers.
  Component components_{nullptr};
};

}  // namespace kestrova
