// TMurCleverComm: the communication component a port of the main window holds. The port name
// picks the transport that does the work (serial port, CP2112 bridge, TCP client or server);
// each inner transport is made on first need, kept while the wrapper lives, and its events are
// raised again as the wrapper's own.
#pragma once

#include <string>
#include <string_view>
#include <type_traits>

#include "clever_comm/clever_comm_kind.h"
#include "cp2112/cp2112_types.h"
#include "distribution/communication_component.h"
#include "serial/comm_chars.h"
#include "serial/comm_options.h"
#include "serial/comm_signals.h"
#include "serial/comm_timeouts.h"
#include "serial/comm_types.h"
#include "serial/vss_comm32.h"

namespace kestrova {

class VMurCommCP2112;
class VMurGeneralDistributor;
class VMurTcp;
class VMurTopDistributor;

class TMurCleverComm : public VMurCommunicationComponent {
 public:
  using NotifyEvent = TVSSComm32::NotifyEvent;
  using LevelEvent = TVSSComm32::LevelEvent;
  using ErrorOtherEvent = TVSSComm32::ErrorOtherEvent;

  explicit TMurCleverComm(Component* owner);
  ~TMurCleverComm() override;

  const std::string& CommPort() const { return comm_port_; }
  void SetCommPort(const std::string& name);
  CleverCommKind Kind() const { return kind_; }

  bool AutoReconnect() const { return auto_reconnect_; }
  void SetAutoReconnect(bool value);
  TBaudRate BaudRate() const { return baud_rate_; }
  void SetBaudRate(TBaudRate value);
  int BaudRateInt() const { return static_cast<int>(BaudRateValue(baud_rate_)); }
  // A rate that is not in the table is ignored.
  void SetBaudRateInt(int value);
  TDataBits DataBits() const { return data_bits_; }
  void SetDataBits(TDataBits value);
  TParity Parity() const { return parity_; }
  void SetParity(TParity value);
  TStopBits StopBits() const { return stop_bits_; }
  void SetStopBits(TStopBits value);
  VMurCommGrabCommand Grab() const { return grab_; }
  void SetGrab(VMurCommGrabCommand value);
  TProtocolCP2112 ProtocolCP2112() const { return protocol_cp2112_; }
  void SetProtocolCP2112(TProtocolCP2112 value);
  CP2112DebugLevels CP2112DebugLevelSet() const { return cp2112_debug_levels_; }
  void SetCP2112DebugLevels(CP2112DebugLevels value);
  VMurGeneralDistributor* Distributor() const { return distributor_; }
  void SetDistributor(VMurGeneralDistributor* distributor);

  // The serial port's sub-objects: reading makes the serial component; writing copies into it,
  // except that an absent value (nullptr) never makes one.
  VSSComm32Chars& Chars() { return Serial().Chars(); }
  void SetChars(const VSSComm32Chars* source);
  VSSComm32Options& Options() { return Serial().Options(); }
  void SetOptions(const VSSComm32Options* source);
  VSSComm32Signals& Signals() { return Serial().Signals(); }
  void SetSignals(const VSSComm32Signals* source);
  VSSComm32Timeouts& Timeouts() { return Serial().Timeouts(); }
  void SetTimeouts(const VSSComm32Timeouts* source);

  // The serial port's own events live on the serial component and arrive with it as sender.
  // Reading without a serial component gives an empty handler; setting an empty handler then
  // makes none.
  const NotifyEvent& OnBreak() const { return SerialEvent(&TVSSComm32::OnBreak); }
  void SetOnBreak(NotifyEvent h) { SetSerialEvent(&TVSSComm32::OnBreak, std::move(h)); }
  const LevelEvent& OnChangedCTS() const { return SerialEvent(&TVSSComm32::OnChangedCTS); }
  void SetOnChangedCTS(LevelEvent h) { SetSerialEvent(&TVSSComm32::OnChangedCTS, std::move(h)); }
  const LevelEvent& OnChangedDSR() const { return SerialEvent(&TVSSComm32::OnChangedDSR); }
  void SetOnChangedDSR(LevelEvent h) { SetSerialEvent(&TVSSComm32::OnChangedDSR, std::move(h)); }
  const NotifyEvent& OnErrorFrame() const { return SerialEvent(&TVSSComm32::OnErrorFrame); }
  void SetOnErrorFrame(NotifyEvent h) { SetSerialEvent(&TVSSComm32::OnErrorFrame, std::move(h)); }
  const NotifyEvent& OnErrorOverrun() const { return SerialEvent(&TVSSComm32::OnErrorOverrun); }
  void SetOnErrorOverrun(NotifyEvent h) {
    SetSerialEvent(&TVSSComm32::OnErrorOverrun, std::move(h));
  }
  const NotifyEvent& OnErrorParity() const { return SerialEvent(&TVSSComm32::OnErrorParity); }
  void SetOnErrorParity(NotifyEvent h) { SetSerialEvent(&TVSSComm32::OnErrorParity, std::move(h)); }
  const NotifyEvent& OnErrorBreak() const { return SerialEvent(&TVSSComm32::OnErrorBreak); }
  void SetOnErrorBreak(NotifyEvent h) { SetSerialEvent(&TVSSComm32::OnErrorBreak, std::move(h)); }
  const ErrorOtherEvent& OnErrorOther() const { return SerialEvent(&TVSSComm32::OnErrorOther); }
  void SetOnErrorOther(ErrorOtherEvent h) {
    SetSerialEvent(&TVSSComm32::OnErrorOther, std::move(h));
  }
  const LevelEvent& OnRing() const { return SerialEvent(&TVSSComm32::OnRing); }
  void SetOnRing(LevelEvent h) { SetSerialEvent(&TVSSComm32::OnRing, std::move(h)); }
  const LevelEvent& OnChangedRLSD() const { return SerialEvent(&TVSSComm32::OnChangedRLSD); }
  void SetOnChangedRLSD(LevelEvent h) { SetSerialEvent(&TVSSComm32::OnChangedRLSD, std::move(h)); }
  const NotifyEvent& OnRxChar() const { return SerialEvent(&TVSSComm32::OnRxChar); }
  void SetOnRxChar(NotifyEvent h) { SetSerialEvent(&TVSSComm32::OnRxChar, std::move(h)); }
  const NotifyEvent& OnRxFlag() const { return SerialEvent(&TVSSComm32::OnRxFlag); }
  void SetOnRxFlag(NotifyEvent h) { SetSerialEvent(&TVSSComm32::OnRxFlag, std::move(h)); }
  const NotifyEvent& OnTxEmpty() const { return SerialEvent(&TVSSComm32::OnTxEmpty); }
  void SetOnTxEmpty(NotifyEvent h) { SetSerialEvent(&TVSSComm32::OnTxEmpty, std::move(h)); }
  // A serial port whose device went away, and its reopening once the device is back.
  const NotifyEvent& OnDeviceLost() const { return SerialEvent(&TVSSComm32::OnDeviceLost); }
  void SetOnDeviceLost(NotifyEvent h) { SetSerialEvent(&TVSSComm32::OnDeviceLost, std::move(h)); }
  const NotifyEvent& OnReconnected() const { return SerialEvent(&TVSSComm32::OnReconnected); }
  void SetOnReconnected(NotifyEvent h) { SetSerialEvent(&TVSSComm32::OnReconnected, std::move(h)); }

  // The contract, carried out by the inner transport of the current kind.
  std::string GetConfigAsString() override;
  void SetConfigAsString(const std::string& config) override;
  bool StartComm() override;
  void StopComm() override;
  bool WriteCommData(std::string_view data) override;
  bool Connected() override;
  TCommState GetCommState() override;

  // The serial settings dialog (serial kind only; every other kind: true, nothing shown).
  bool ShowConfigDialog(const std::string& caption);
  // Forgets the main channel and the bridge's diagnostic channels in `distributor`.
  void DeleteChannels(VMurTopDistributor* distributor) const;
  // Copies the settings, the serial events and the port (which may open it) from `source`.
  void Assign(const TMurCleverComm& source);

  // The inner transports made so far (null until first needed).
  TVSSComm32* SerialComponent() const { return serial_; }
  VMurCommCP2112* CP2112Component() const { return cp2112_; }
  VMurTcp* TcpComponent() const { return tcp_; }

 protected:
  void Notification(Component* component, Operation operation) override;

 private:
  TVSSComm32& Serial();
  VMurCommCP2112& CP2112();
  VMurTcp& Tcp();
  // Whether the inner transport of the current kind is open now.
  bool InnerOpen();
  // Stops the inner transports that do not serve `kind`.
  void StopOthers(CleverCommKind kind);
  bool IsInner(const Object* object) const;
  bool Accepts(const Object* sender) const;
  void StartTcpIfWanted(bool was_open);
  // Hands AutoReconnect to the transport that is taking over, around `configure`: turned off
  // before, so that it does not reopen its old port, and on after, so that it opens the new one.
  template <typename Inner, typename Configure>
  void WithAutoReconnect(Inner& inner, Configure configure) {
    if (!auto_reconnect_) inner.SetAutoReconnect(false);
    configure();
    if (auto_reconnect_) inner.SetAutoReconnect(true);
  }

  void RelayReceive(VMurCommunicationComponent* sender, std::string_view data);
  void RelayAdvancedReceive(VMurCommunicationComponent* sender, ChannelKey channel,
                            std::string_view data);
  void RelayState(Object* sender, TCommState state);
  void RelayAdvancedState(VMurCommunicationComponent* sender, ChannelKey channel, TCommState state);
  template <typename Inner>
  void Hook(Inner& inner);
  static void Unhook(VMurCommunicationComponent& inner);

  template <typename Event>
  const Event& SerialEvent(Event& (TVSSComm32::*accessor)()) const {
    static const Event kNone;
    return serial_ != nullptr ? (serial_->*accessor)() : kNone;
  }
  template <typename Event>
  void SetSerialEvent(Event& (TVSSComm32::*accessor)(), std::type_identity_t<Event> handler) {
    if (serial_ == nullptr && !handler) return;
    (Serial().*accessor)() = std::move(handler);
  }

  std::string comm_port_;
  CleverCommKind kind_ = CleverCommKind::kNone;
  bool auto_reconnect_ = true;
  TBaudRate baud_rate_ = TBaudRate::_19200;
  TDataBits data_bits_ = TDataBits::_8;
  TParity parity_ = TParity::None;
  TStopBits stop_bits_ = TStopBits::_1;
  VMurCommGrabCommand grab_ = vscgcNone;
  TProtocolCP2112 protocol_cp2112_ = cp2112pSPA9;
  CP2112DebugLevels cp2112_debug_levels_ = kDefaultCP2112DebugLevels;
  VMurGeneralDistributor* distributor_ = nullptr;
  std::string last_config_;
  bool state_was_connected_ = false;
  bool advanced_state_was_connected_ = false;

  TVSSComm32* serial_ = nullptr;
  VMurCommCP2112* cp2112_ = nullptr;
  VMurTcp* tcp_ = nullptr;
};

}  // namespace kestrova
