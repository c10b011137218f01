#include "serial/vss_comm32.h"

#include <system_error>
#include <utility>

#include "platform/serial_port_name.h"
#include "platform/termios_serial_device.h"
#include "platform/tick.h"
#include "serial/comm_errors.h"
#include "serial/comm_messages.h"
#include "serial/comm_read_thread.h"
#include "serial/comm_write_thread.h"
#include "serial/port_enumeration.h"
#include "util/tick_math.h"

namespace kestrova {
namespace {

constexpr std::string_view kLongPathPrefix = "\\\\?\\";
constexpr std::chrono::milliseconds kThreadStopLimit{10000};
// Polls slower than this on average mean the driver is stuck in the call: stop polling.
constexpr uint32_t kModemPollGiveUp = 10000;
// A status word some drivers return for a call they did not carry out.
constexpr uint32_t kBogusModemStatus = 0xEE054233;

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

std::string UnsupportedText(uint32_t bits) {
  static constexpr std::pair<uint32_t, const char*> kNames[] = {
      {kUnsupportedBaudRate, "bit rate"},
      {kUnsupportedStopBits, "stop bits"},
      {kUnsupportedBinaryOff, "non-binary mode"},
      {kUnsupportedDsrFlow, "DSR flow"},
      {kUnsupportedDtrHandshake, "DTR handshake"},
      {kUnsupportedDsrSensitivity, "DSR sensitivity"},
      {kUnsupportedTxStopOnXoff, "stop on XOFF"},
      {kUnsupportedErrorChar, "error character"},
      {kUnsupportedNullStrip, "null stripping"},
      {kUnsupportedAbortOnError, "abort on error"},
      {kUnsupportedFlowLimits, "flow limits"},
      {kUnsupportedRtsToggle, "RTS toggle"},
      {kUnsupportedCtsRtsSplit, "CTS flow without RTS handshake"},
      {kUnsupportedModemControl, "modem control lines"},
      {kUnsupportedByteSize, "data bits"},
      {kUnsupportedParity, "parity"},
      {kUnsupportedRtsCtsFlow, "RTS/CTS flow"}};
  std::string text;
  for (const auto& [bit, name] : kNames) {
    if ((bits & bit) == 0) continue;
    if (!text.empty()) text += ", ";
    text += name;
  }
  return text;
}

TVSSComm32::DialogRunner& DialogRunnerSlot() {
  static TVSSComm32::DialogRunner runner;
  return runner;
}

}  // namespace

TVSSComm32::TVSSComm32(Component* owner, MessageLoop* loop)
    : VMurCommunicationComponent(owner),
      loop_(loop != nullptr ? *loop : MainLoop()),
      last_modem_poll_(TickCount()) {
  window_ =
      std::make_unique<MessageWindow>(loop_, [this](Message m) { HandleMessage(std::move(m)); });
}

TVSSComm32::~TVSSComm32() {
  StopComm();
  window_->PostQuit();
  window_->DispatchPendingUntilQuit();
  grab_endpoint_.reset();
  window_.reset();
}

void TVSSComm32::SetDialogRunner(DialogRunner runner) { DialogRunnerSlot() = std::move(runner); }

// ---- Properties ----

void TVSSComm32::SetCommPort(const std::string& port) {
  if (port == comm_port_ && Connected()) return;
  if (!Loading() && (Connected() || auto_reconnect_)) {
    StopComm();
    comm_port_ = port;
    StartComm();
  } else if (port != comm_port_) {
    StopComm();
    comm_port_ = port;
  }
}

void TVSSComm32::SetBaudRate(TBaudRate value) {
  if (value == baud_rate_) return;
  baud_rate_ = value;
  SettingChanged();
}

void TVSSComm32::SetParity(TParity value) {
  if (value == parity_) return;
  parity_ = value;
  SettingChanged();
}

void TVSSComm32::SetDataBits(TDataBits value) {
  if (value == data_bits_) return;
  data_bits_ = value;
  SettingChanged();
}

void TVSSComm32::SetStopBits(TStopBits value) {
  if (value == stop_bits_) return;
  stop_bits_ = value;
  SettingChanged();
}

void TVSSComm32::SettingChanged() {
  if (Loading()) return;
  if (Connected()) {
    UpdateDCB2();
  } else if (auto_reconnect_) {
    StartComm();
  }
}

void TVSSComm32::SetAutoReconnect(bool value) {
  const bool wants_open = value && !comm_port_.empty() && !Connected();
  if (value == auto_reconnect_ && !wants_open) return;
  auto_reconnect_ = value;
  if (!value) StopAwaitingDevice();
  if (wants_open && !Loading()) StartComm();
}

void TVSSComm32::ApplyDTRLevel() {
  if (!Connected()) return;
  // That driver drops the line when DTR falls; keep it asserted.
  const bool level = signals_.DTR() || StartsWith(device_name_, "USBSER00");
  device_->Escape(level ? SerialEscape::kSetDtr : SerialEscape::kClrDtr);
}

void TVSSComm32::ApplyRTSLevel() {
  if (!Connected()) return;
  device_->Escape(signals_.RTS() ? SerialEscape::kSetRts : SerialEscape::kClrRts);
}

void TVSSComm32::SetOnStateChange(StateEvent handler) {
  VMurCommunicationComponent::SetOnStateChange(std::move(handler));
  PostState(CommStateFirst);
}

void TVSSComm32::SetOnAdvancedStateChange(AdvancedStateEvent handler) {
  VMurCommunicationComponent::SetOnAdvancedStateChange(std::move(handler));
  PostState(CommStateFirst);
}

void TVSSComm32::Assign(const TVSSComm32& source) {
  if (&source == this) return;
  SetAutoReconnect(source.auto_reconnect_);
  SetBaudRate(source.baud_rate_);
  SetDataBits(source.data_bits_);
  options_.Assign(source.options_);
  SetParity(source.parity_);
  signals_.Assign(source.signals_);
  chars_.Assign(source.chars_);
  SetStopBits(source.stop_bits_);
  timeouts_.Assign(source.timeouts_);
  SetTreatMainChannelAsNil(source.TreatMainChannelAsNil());
  SetOnReceiveData(source.OnReceiveData());
  SetOnStateChange(source.OnStateChange());
  SetOnAdvancedReceiveData(source.OnAdvancedReceiveData());
  SetOnAdvancedStateChange(source.OnAdvancedStateChange());
  on_request_hangup_ = source.on_request_hangup_;
  on_break_ = source.on_break_;
  on_changed_cts_ = source.on_changed_cts_;
  on_changed_dsr_ = source.on_changed_dsr_;
  on_error_frame_ = source.on_error_frame_;
  on_error_overrun_ = source.on_error_overrun_;
  on_error_parity_ = source.on_error_parity_;
  on_error_break_ = source.on_error_break_;
  on_error_other_ = source.on_error_other_;
  on_ring_ = source.on_ring_;
  on_changed_rlsd_ = source.on_changed_rlsd_;
  on_rx_char_ = source.on_rx_char_;
  on_rx_flag_ = source.on_rx_flag_;
  on_tx_empty_ = source.on_tx_empty_;
  on_device_lost_ = source.on_device_lost_;
  on_reconnected_ = source.on_reconnected_;
}

void TVSSComm32::Loaded() {
  VMurCommunicationComponent::Loaded();
  if (auto_reconnect_) StartComm();
  PostState(CommStateFirst);
}

// ---- The contract ----

bool TVSSComm32::StartComm() {
  StartComm2(false);
  return Connected();
}

void TVSSComm32::StopComm() { DoStopComm(false, true, "StopComm"); }

bool TVSSComm32::WriteCommData(std::string_view data) {
  if (write_thread_ == nullptr) {
    ReportMessage("Write thread not created");
    return false;
  }
  if (!write_thread_->PostWriteData(std::string(data))) {
    ReportMessage("Failed to Post to Write thread. ");
    return false;
  }
  return true;
}

TCommState TVSSComm32::GetCommState() {
  switch (handle_) {
    case Handle::kNone:
      return CommStateDisconnected;
    case Handle::kInvalid:
      return CommStateFailed;
    case Handle::kValid:
      break;
  }
  return CommStateConnected;
}

bool TVSSComm32::ShowSettingsDialog() {
  if (!DialogRunnerSlot()) return true;
  DialogRunnerSlot()(*this, std::string());
  return true;
}

bool TVSSComm32::ShowConfigDialog(const std::string& caption) {
  if (!DialogRunnerSlot()) return false;
  return DialogRunnerSlot()(*this, caption);
}

// ---- Opening and closing ----

std::string TVSSComm32::PortPath(const std::string& comm_port, Tristate enhanced_name) {
  // Every platform this runs on understands the long-path form, so "unknown" means yes.
  if (enhanced_name == TristateFalse) return comm_port;
  if (comm_port.size() >= 4 && StartsWith(comm_port, kLongPathPrefix)) return comm_port;
  return std::string(kLongPathPrefix) + comm_port;
}

bool TVSSComm32::StartComm2(bool grab_call) {
  last_error_ = 0;
  last_error_text_.clear();
  if (Connected()) {
    suppress_state_ = true;
    DoStopComm(false, !grab_call, "StartComm2");
    suppress_state_ = false;
  }
  if (!OpenDevice()) {
    OpenFailed();
    return false;
  }
  StopAwaitingDevice();

  modem_poll_average_ = 0;
  modem_lines_.store(true);
  modem_poll_queued_.store(false);
  UpdateDCB2();

  try {
    close_event_ = std::make_unique<Event>(Event::Mode::kManualReset);
  } catch (const std::system_error& error) {
    ReportError(error.code().value(), "Unable to CreateEvent: ");
    StopComm();
    return false;
  }
  StartThreads();
  if (!grab_call) SetGrab(grab_);
  PostState(CommStateFirst);
  return true;
}

std::string TVSSComm32::DevicePath() const {
  return PortNameToDevicePath(PortPath(comm_port_, options_.EnhancedName()));
}

bool TVSSComm32::OpenDevice() {
  const std::string path = PortPath(comm_port_, options_.EnhancedName());
  device_name_ = GetDeviceName(path);
  device_ = device_factory_ ? device_factory_() : std::make_unique<TermiosSerialDevice>();
  const SerialOpenResult opened = device_->Open(DevicePath());
  if (opened.ok()) {
    handle_ = Handle::kValid;
    return true;
  }
  last_error_ = opened.error;
  last_error_text_ = opened.message;
  ReportError(opened.error, "Unable to open " + comm_port_ + ": ");
  device_.reset();
  device_name_.clear();
  handle_ = Handle::kInvalid;
  PostState(CommStateFirst);
  return false;
}

void TVSSComm32::StartThreads() {
  const CommThreadContext context{this, device_.get(), close_event_.get(), window_.get()};
  ReportMessage("Creating ReadThread for " + comm_port_);
  read_thread_ = std::make_unique<TReadThread>(context, device_name_, options_.SkipEvents(),
                                               last_modem_poll_, modem_poll_queued_, modem_lines_);
  read_thread_->SetPriority(VMurThread::kHighest);
  if (!read_thread_->Resume()) {
    read_thread_.reset();
    StopComm();
    throw ECommsError("Unable to create Read thread");
  }
  write_thread_ = std::make_unique<TWriteThread>(context);
  write_thread_->SetPriority(VMurThread::kAboveNormal);
  if (!write_thread_->Resume()) {
    write_thread_.reset();
    StopComm();
    throw ECommsError("Unable to create Write thread");
  }
}

void TVSSComm32::DoStopComm(bool failed, bool release_grab, const std::string& reason) {
  // A port closed on purpose is not reopened behind the user's back.
  if (!failed) StopAwaitingDevice();
  EndpointId next_owner = 0;
  if (release_grab && grab_block_ != nullptr) {
    next_owner = YieldGrab(vscgcNoneOnce);
    ReleaseGrabBlock();
  }
  if (handle_ == Handle::kInvalid) handle_ = Handle::kNone;
  ReportMessage("Stopping the Comm at " + comm_port_ + " because " + reason);
  StopThreads();
  close_event_.reset();
  // Bytes the reader posted and nobody took yet go with the port; so do the reader's requests,
  // which concern the port just closed and must not close a port opened after it.
  window_->DropMessages(PWM_ReceivedData);
  window_->DropMessages(PWM_RequestHangup);
  device_name_.clear();
  if (device_ != nullptr) device_->Close();
  device_.reset();
  modem_poll_queued_.store(false);
  if (failed) {
    handle_ = Handle::kInvalid;
    PostState(CommStateFailed);
  } else {
    handle_ = Handle::kNone;
    PostState(CommStateDisconnected);
  }
  // Only now that the port is free can the next owner open it.
  if (next_owner != 0) PostToEndpoint(next_owner, EndpointMessage{PWM_Grab, 0, 0});
}

void TVSSComm32::StopThreads() {
  if (close_event_ != nullptr) close_event_->Set();
  if (read_thread_ != nullptr) {
    ReportMessage("Closing ReadThread " + comm_port_);
    device_->Purge(kPurgeRxAbort | kPurgeRxClear);
    if (!read_thread_->WaitFor(kThreadStopLimit)) {
      ReportMessage("Read thread not exiting.  Terminating it.");
      read_thread_->Terminate();
    }
    read_thread_.reset();
  }
  if (write_thread_ != nullptr) {
    device_->Purge(kPurgeTxAbort | kPurgeTxClear);
    write_thread_->PostWriteData(std::string());
    if (!write_thread_->WaitFor(kThreadStopLimit)) {
      ReportMessage("Write thread not exiting.  Terminating it.");
      write_thread_->Terminate();
    }
    write_thread_.reset();
  }
}

void TVSSComm32::PostState(TCommState state) {
  if (suppress_state_) return;
  window_->Post(PWM_StateChange, state);
}

// ---- Programming the line ----

SerialLineSettings TVSSComm32::BuildLineSettings(const SerialLineSettings& current) const {
  static constexpr SerialDtrControl kDtr[] = {SerialDtrControl::kDisable, SerialDtrControl::kEnable,
                                              SerialDtrControl::kHandshake};
  static constexpr SerialRtsControl kRts[] = {SerialRtsControl::kDisable, SerialRtsControl::kEnable,
                                              SerialRtsControl::kHandshake,
                                              SerialRtsControl::kToggle};
  SerialLineSettings dcb = current;
  dcb.binary = true;
  dcb.tx_continue_on_xoff = true;
  dcb.parity_check = false;
  dcb.dsr_sensitivity = false;
  dcb.error_char_replace = false;
  dcb.null_strip = false;
  dcb.abort_on_error = false;
  dcb.dtr_control = kDtr[signals_.DTRControl()];
  dcb.rts_control = kRts[signals_.RTSControl()];
  dcb.outx_cts_flow = signals_.CTSHandshake();
  dcb.outx_dsr_flow = signals_.DSRHandshake();
  dcb.out_x = signals_.XOnOffTransmit();
  dcb.in_x = signals_.XOnOffReceive();
  dcb.xon_lim = 2048;
  dcb.xoff_lim = 512;
  dcb.xon_char = chars_.XOn();
  dcb.xoff_char = chars_.XOff();
  dcb.evt_char = chars_.Evt();
  dcb.baud_rate = BaudRateValue(baud_rate_);
  dcb.parity = static_cast<SerialParity>(parity_);
  // Four data bits exist only as a setting; the line runs with eight.
  dcb.byte_size = data_bits_ == TDataBits::_4 ? 8 : DataBitsValue(data_bits_);
  dcb.stop_bits = static_cast<SerialStopBits>(stop_bits_);
  return dcb;
}

bool TVSSComm32::UpdateDCB() {
  if (!Connected()) return false;
  SerialTimeouts timeouts;
  timeouts.read_interval = timeouts_.ReadInterval();
  timeouts.read_total_multiplier = timeouts_.ReadTotalMult();
  timeouts.read_total_constant = timeouts_.ReadTotalConst();
  timeouts.write_total_multiplier = timeouts_.WriteTotalMult();
  timeouts.write_total_constant = timeouts_.WriteTotalConst();
  if (const int error = device_->SetTimeouts(timeouts); error != 0) {
    ReportError(error, "Unable to set the time limits: ");
  }
  const ErrnoResult<SerialConfigureReport> programmed =
      device_->Configure(BuildLineSettings(device_->LineSettings()));
  if (!programmed.ok()) {
    ReportError(programmed.error, "Unable to program the line: ");
    return false;
  }
  if (programmed.value.unsupported != 0) {
    ReportMessage("Not carried out by " + comm_port_ + ": " +
                  UnsupportedText(programmed.value.unsupported));
  }
  return true;
}

bool TVSSComm32::UpdateDCB2() {
  const bool result = UpdateDCB();
  signals_.SetDTR(signals_.DTR());
  signals_.SetRTS(signals_.RTS());
  return result;
}

// ---- Messages from the threads ----

void TVSSComm32::HandleMessage(Message message) {
  switch (message.id) {
    case PWM_ReceivedData:
      if (const std::string* data = PayloadValue<std::string>(message.payload.get())) {
        DoReceiveData(*data, static_cast<uint32_t>(message.lparam));
      }
      break;
    case PWM_RequestHangup:
      HandleHangup(static_cast<int>(message.wparam));
      break;
    case PWM_StateChange:
      HandleStateChange(static_cast<TCommState>(message.wparam));
      break;
    case PWM_CommEvent:
      HandleCommEvent(static_cast<uint32_t>(message.wparam), static_cast<uint32_t>(message.lparam));
      break;
    case PWM_ModemPoll:
      modem_poll_queued_.store(false);
      PollModemStatus();
      break;
    case PWM_Grab:
      HandleGrabMessage();
      break;
    case PWM_DeviceBack:
      DeviceAppeared();
      break;
    case PWM_DiagnosticA:
    case PWM_DiagnosticB:
      ReportMessage("Diagnostic " + std::to_string(message.wparam) + " " +
                    std::to_string(message.lparam));
      break;
    default:
      break;
  }
}

void TVSSComm32::HandleHangup(int error_code) {
  if (error_code != 0) {
    DoStopComm(true, true, "PWM_RequestHangup");
    LostDevice(error_code);
  } else if (NotifyEvent handler = on_request_hangup_) {
    handler(this);
  }
}

void TVSSComm32::HandleStateChange(TCommState state) {
  if (!OnStateChange() && !OnAdvancedStateChange()) return;
  if (state == CommStateFirst) state = GetCommState();
  if (state == last_state_) return;
  last_state_ = state;
  if (StateEvent plain = OnStateChange()) plain(this, state);
  if (AdvancedStateEvent advanced = OnAdvancedStateChange()) advanced(this, this, state);
}

void TVSSComm32::HandleCommEvent(uint32_t events, uint32_t word) {
  auto fire = [this](const NotifyEvent& event) {
    if (NotifyEvent handler = event) handler(this);
  };
  auto fire_level = [this](const LevelEvent& event, bool level) {
    if (LevelEvent handler = event) handler(this, level);
  };
  if ((events & kEvBreak) != 0) fire(on_break_);
  uint32_t errors = word >> 16;
  if ((events & kEvErr) != 0 && errors != 0) {
    static constexpr std::pair<uint32_t, NotifyEvent TVSSComm32::*> kErrorEvents[] = {
        {kCeFrame, &TVSSComm32::on_error_frame_},
        {kCeOverrun, &TVSSComm32::on_error_overrun_},
        {kCeRxParity, &TVSSComm32::on_error_parity_},
        {kCeBreak, &TVSSComm32::on_error_break_}};
    for (const auto& [bit, event] : kErrorEvents) {
      if ((errors & bit) == 0) continue;
      errors &= ~bit;
      fire(this->*event);
    }
    if (errors != 0) {
      if (ErrorOtherEvent handler = on_error_other_) handler(this, errors);
    }
  }
  const uint32_t status = word & 0xFFFF;
  if (status != modem_status_) {
    const uint32_t changed = status ^ modem_status_;
    modem_status_ = status;
    static constexpr std::pair<uint32_t, LevelEvent TVSSComm32::*> kLineEvents[] = {
        {kMsCtsOn, &TVSSComm32::on_changed_cts_},
        {kMsDsrOn, &TVSSComm32::on_changed_dsr_},
        {kMsRingOn, &TVSSComm32::on_ring_},
        {kMsRlsdOn, &TVSSComm32::on_changed_rlsd_}};
    for (const auto& [bit, event] : kLineEvents) {
      if ((changed & bit) != 0) fire_level(this->*event, (status & bit) != 0);
    }
  }
  if ((events & kEvRxChar) != 0) fire(on_rx_char_);
  if ((events & kEvRxFlag) != 0) fire(on_rx_flag_);
  if ((events & kEvTxEmpty) != 0) fire(on_tx_empty_);
}

uint32_t TVSSComm32::PollModemStatus() {
  if (!Connected() || modem_poll_average_ >= kModemPollGiveUp) return modem_status_;
  const uint32_t before = TickCount();
  if (!TimeoutPassed(last_modem_poll_.load(), modem_poll_average_ + modem_poll_period_, before)) {
    return modem_status_;
  }
  const ErrnoResult<uint32_t> polled = device_->ModemStatus();
  if (polled.error == kSerialNotSupported) {
    // No modem lines on this device: the line events stay silent, data flows as usual.
    modem_lines_.store(false);
    return modem_status_;
  }
  if (!polled.ok()) {
    ReportError(polled.error, "Modem status: ");
    DoStopComm(true, true, "Fail GetCommModemStatus");
    LostDevice(polled.error);
    return modem_status_;
  }
  const uint32_t after = TickCount();
  last_modem_poll_.store(after);
  const uint32_t took = TickDifference(after, before);
  modem_poll_average_ = modem_poll_average_ < took ? (modem_poll_average_ + took) / 2
                                                   : (9 * modem_poll_average_ + took) / 10;
  const uint32_t word = polled.value;
  if (word == kBogusModemStatus) return modem_status_;
  if (word > 0xFFFF || (word & 0xFFFF) != modem_status_) {
    window_->Post(PWM_CommEvent, 0, static_cast<intptr_t>(word));
  }
  return modem_status_;
}

}  // namespace kestrova
