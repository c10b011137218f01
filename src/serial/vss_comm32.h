// TVSSComm32: the communication component of one serial port. It opens the device, programs
// the line, runs a reader and a writer thread, turns what they post to its hidden window into
// events on the GUI thread, and shares its port with other running copies through the grab.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "distribution/communication_component.h"
#include "platform/device_watch.h"
#include "platform/event.h"
#include "platform/message_endpoint.h"
#include "platform/message_loop.h"
#include "platform/message_window.h"
#include "platform/serial_device.h"
#include "platform/shared_memory_block.h"
#include "serial/comm_chars.h"
#include "serial/comm_options.h"
#include "serial/comm_signals.h"
#include "serial/comm_timeouts.h"
#include "serial/comm_types.h"

namespace kestrova {

class TReadThread;
class TWriteThread;

class TVSSComm32 : public VMurCommunicationComponent {
 public:
  using NotifyEvent = std::function<void(Object* sender)>;
  using LevelEvent = std::function<void(Object* sender, bool value)>;
  using ErrorOtherEvent = std::function<void(Object* sender, uint32_t errors)>;
  // Makes the device object a port is opened with; tests hand in a simulated line.
  using DeviceFactory = std::function<std::unique_ptr<SerialDevice>()>;
  // Runs a settings dialog for the component; true when it was closed with OK.
  using DialogRunner = std::function<bool(TVSSComm32& comm, const std::string& caption)>;

  // Without a loop the component runs on MainLoop().
  explicit TVSSComm32(Component* owner, MessageLoop* loop = nullptr);
  ~TVSSComm32() override;

  const std::string& CommPort() const { return comm_port_; }
  virtual void SetCommPort(const std::string& port);
  TBaudRate BaudRate() const { return baud_rate_; }
  void SetBaudRate(TBaudRate value);
  TParity Parity() const { return parity_; }
  void SetParity(TParity value);
  TDataBits DataBits() const { return data_bits_; }
  void SetDataBits(TDataBits value);
  TStopBits StopBits() const { return stop_bits_; }
  void SetStopBits(TStopBits value);
  bool AutoReconnect() const { return auto_reconnect_; }
  void SetAutoReconnect(bool value);
  VMurCommGrabCommand Grab() const { return grab_; }
  void SetGrab(VMurCommGrabCommand command);

  VSSComm32Signals& Signals() { return signals_; }
  const VSSComm32Signals& Signals() const { return signals_; }
  void SetSignals(const VSSComm32Signals& source) { signals_.Assign(source); }
  VSSComm32Chars& Chars() { return chars_; }
  const VSSComm32Chars& Chars() const { return chars_; }
  void SetChars(const VSSComm32Chars& source) { chars_.Assign(source); }
  VSSComm32Options& Options() { return options_; }
  const VSSComm32Options& Options() const { return options_; }
  void SetOptions(const VSSComm32Options& source) { options_.Assign(source); }
  VSSComm32Timeouts& Timeouts() { return timeouts_; }
  const VSSComm32Timeouts& Timeouts() const { return timeouts_; }
  void SetTimeouts(const VSSComm32Timeouts& source) { timeouts_.Assign(source); }
  uint32_t ModemPollPeriod() const { return modem_poll_period_; }
  void SetModemPollPeriod(uint32_t value) { modem_poll_period_ = value; }

  // The component's own events (all on the GUI thread; assign to set). OnRing fires on both
  // edges of the ring indicator.
  NotifyEvent& OnRequestHangup() { return on_request_hangup_; }
  const NotifyEvent& OnRequestHangup() const { return on_request_hangup_; }
  NotifyEvent& OnBreak() { return on_break_; }
  const NotifyEvent& OnBreak() const { return on_break_; }
  LevelEvent& OnChangedCTS() { return on_changed_cts_; }
  const LevelEvent& OnChangedCTS() const { return on_changed_cts_; }
  LevelEvent& OnChangedDSR() { return on_changed_dsr_; }
  const LevelEvent& OnChangedDSR() const { return on_changed_dsr_; }
  NotifyEvent& OnErrorFrame() { return on_error_frame_; }
  const NotifyEvent& OnErrorFrame() const { return on_error_frame_; }
  NotifyEvent& OnErrorOverrun() { return on_error_overrun_; }
  const NotifyEvent& OnErrorOverrun() const { return on_error_overrun_; }
  NotifyEvent& OnErrorParity() { return on_error_parity_; }
  const NotifyEvent& OnErrorParity() const { return on_error_parity_; }
  NotifyEvent& OnErrorBreak() { return on_error_break_; }
  const NotifyEvent& OnErrorBreak() const { return on_error_break_; }
  ErrorOtherEvent& OnErrorOther() { return on_error_other_; }
  const ErrorOtherEvent& OnErrorOther() const { return on_error_other_; }
  LevelEvent& OnRing() { return on_ring_; }
  const LevelEvent& OnRing() const { return on_ring_; }
  LevelEvent& OnChangedRLSD() { return on_changed_rlsd_; }
  const LevelEvent& OnChangedRLSD() const { return on_changed_rlsd_; }
  NotifyEvent& OnRxChar() { return on_rx_char_; }
  const NotifyEvent& OnRxChar() const { return on_rx_char_; }
  NotifyEvent& OnRxFlag() { return on_rx_flag_; }
  const NotifyEvent& OnRxFlag() const { return on_rx_flag_; }
  NotifyEvent& OnTxEmpty() { return on_tx_empty_; }
  const NotifyEvent& OnTxEmpty() const { return on_tx_empty_; }
  // The open port's device went away; the port now waits for it to come back.
  NotifyEvent& OnDeviceLost() { return on_device_lost_; }
  const NotifyEvent& OnDeviceLost() const { return on_device_lost_; }
  // The port was opened again by itself after its device had gone away and come back.
  NotifyEvent& OnReconnected() { return on_reconnected_; }
  const NotifyEvent& OnReconnected() const { return on_reconnected_; }

  // The contract.
  std::string GetConfigAsString() override;
  void SetConfigAsString(const std::string& config) override;
  bool StartComm() override;
  void StopComm() override;
  bool WriteCommData(std::string_view data) override;
  bool Connected() override { return handle_ == Handle::kValid; }
  TCommState GetCommState() override;
  // The same settings dialog as ShowConfigDialog (this platform has no system port dialog);
  // true unless the settings could not be applied. Without a GUI nothing is shown: true.
  bool ShowSettingsDialog() override;
  // A newly attached state handler hears the current state once.
  void SetOnStateChange(StateEvent handler) override;
  void SetOnAdvancedStateChange(AdvancedStateEvent handler) override;

  // Opens (or reopens) the port; `grab_call` when the grab protocol hands the port over.
  // Throws ECommsError when a worker thread cannot be had (the port is closed again).
  bool StartComm2(bool grab_call);
  void DoStopComm(bool failed, bool release_grab, const std::string& reason);
  // Program the open port from the properties; false when the device refused (or no port).
  bool UpdateDCB();
  // UpdateDCB, then the DTR and RTS levels again.
  bool UpdateDCB2();
  // The device-control block UpdateDCB programs, built on what the device holds now.
  SerialLineSettings BuildLineSettings(const SerialLineSettings& current) const;
  // Polls the modem lines when a poll is due; returns the last known status word.
  uint32_t PollModemStatus();
  // The run-time settings dialog; true when closed with OK (the settings then applied).
  bool ShowConfigDialog(const std::string& caption);
  // Copies the settings and every event handler, not CommPort and Grab.
  void Assign(const TVSSComm32& source);

  void Loaded() override;

  // The port name with the long-path prefix the options ask for.
  static std::string PortPath(const std::string& comm_port, Tristate enhanced_name);
  // The device name of the open port (empty while closed): what the per-driver rules test.
  const std::string& DeviceName() const { return device_name_; }
  // errno of the last failed open (0 after a good one), and a sentence the user understands.
  int LastError() const { return last_error_; }
  const std::string& LastErrorText() const { return last_error_text_; }
  // Whether the port, failed because its device went away, waits for it to come back.
  bool AwaitingDevice() const { return device_watch_ != nullptr; }
  // The id other running copies post PWM_Grab to; 0 while the grab is not in use.
  EndpointId GrabEndpoint() const;

  void SetDeviceFactory(DeviceFactory factory) { device_factory_ = std::move(factory); }
  // Installed once by the GUI; without it no dialog can be shown.
  static void SetDialogRunner(DialogRunner runner);

  // Used by the sub-objects.
  void ApplyDTRLevel();
  void ApplyRTSLevel();

 private:
  enum class Handle { kNone, kInvalid, kValid };
  class StateSuppression;

  void HandleMessage(Message message);
  void HandleStateChange(TCommState state);
  void HandleCommEvent(uint32_t events, uint32_t word);
  void HandleHangup(int error_code);
  void PostState(TCommState state);
  void FailOpen(const std::string& reason);
  bool OpenDevice();
  void StartThreads();
  void StopThreads();
  void SettingChanged();
  std::string DevicePath() const;

  // Reopening a port whose device went away (comm_reconnect.cpp). With AutoReconnect set, a
  // port that failed with `error` meaning "device gone" watches for the device; `check_now`
  // when it may already be back.
  void AwaitDevice(int error, bool check_now);
  // After an open port failed with `error`.
  void LostDevice(int error);
  void StopAwaitingDevice();
  void OpenFailed();
  void DeviceAppeared();
  void Reconnect();

  // The grab protocol (comm_grab.cpp).
  bool MapGrabBlock();
  void ReleaseGrabBlock();
  // The live entries of the block, forgetting copies that are gone.
  std::vector<EndpointId> LiveGrabEntries();
  void TakeGrab();
  // Leaves the list (queues again for vscgcSoft); returns the new owner to tell when this
  // component owned the port until now, else 0.
  EndpointId YieldGrab(VMurCommGrabCommand command);
  void HandleGrabMessage();

  MessageLoop& loop_;
  std::string comm_port_ = "COM1";
  TBaudRate baud_rate_ = TBaudRate::_19200;
  TParity parity_ = TParity::None;
  TDataBits data_bits_ = TDataBits::_8;
  TStopBits stop_bits_ = TStopBits::_1;
  bool auto_reconnect_ = true;
  VMurCommGrabCommand grab_ = vscgcNone;
  uint32_t modem_poll_period_ = 10;
  VSSComm32Signals signals_{this};
  VSSComm32Chars chars_{this};
  VSSComm32Options options_;
  VSSComm32Timeouts timeouts_{this};

  DeviceFactory device_factory_;
  std::unique_ptr<SerialDevice> device_;
  Handle handle_ = Handle::kNone;
  std::string device_name_;
  int last_error_ = 0;
  std::string last_error_text_;
  std::unique_ptr<Event> close_event_;
  std::unique_ptr<TReadThread> read_thread_;
  std::unique_ptr<TWriteThread> write_thread_;
  std::unique_ptr<MessageWindow> window_;

  TCommState last_state_ = CommStateFirst;
  uint32_t modem_status_ = 0;
  uint32_t modem_poll_average_ = 0;
  // Shared with the reader, which reads them without further coordination.
  std::atomic<uint32_t> last_modem_poll_;
  std::atomic<bool> modem_poll_queued_{false};
  std::atomic<bool> modem_lines_{true};
  bool suppress_state_ = false;

  // The component's own events.
  NotifyEvent on_request_hangup_;
  NotifyEvent on_break_;
  LevelEvent on_changed_cts_;
  LevelEvent on_changed_dsr_;
  NotifyEvent on_error_frame_;
  NotifyEvent on_error_overrun_;
  NotifyEvent on_error_parity_;
  NotifyEvent on_error_break_;
  ErrorOtherEvent on_error_other_;
  LevelEvent on_ring_;
  LevelEvent on_changed_rlsd_;
  NotifyEvent on_rx_char_;
  NotifyEvent on_rx_flag_;
  NotifyEvent on_tx_empty_;
  NotifyEvent on_device_lost_;
  NotifyEvent on_reconnected_;

  std::unique_ptr<DeviceWatch> device_watch_;
  // While udev has not yet given a new node its group and mode, opens are retried.
  LoopHandle access_retry_;
  uint32_t appeared_tick_ = 0;

  std::unique_ptr<SharedMemoryBlock> grab_block_;
  std::unique_ptr<MessageEndpoint> grab_endpoint_;
};

}  // namespace kestrova
