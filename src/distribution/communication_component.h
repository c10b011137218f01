// The contract every transport (serial port, USB bridge, TCP, UDP, the port-name wrapper)
// implements: data and state events per channel, and open/close/write/configure operations.
// Events and operations belong to the GUI thread.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "distribution/comm_state.h"
#include "util/channel_key.h"
#include "util/component.h"

namespace kestrova {

class VMurCommunicationComponent : public Component {
 public:
  // One event never carries more than this (the length is 16-bit).
  static constexpr size_t kMaxEventBytes = 65535;

  using ReceiveEvent = std::function<void(VMurCommunicationComponent* sender, std::string_view)>;
  using StateEvent = std::function<void(Object* sender, TCommState state)>;
  using AdvancedReceiveEvent =
      std::function<void(VMurCommunicationComponent* sender, ChannelKey channel, std::string_view)>;
  using AdvancedStateEvent =
      std::function<void(VMurCommunicationComponent* sender, ChannelKey channel, TCommState)>;

  explicit VMurCommunicationComponent(Component* owner);

  bool TreatMainChannelAsNil() const { return treat_main_channel_as_nil_; }
  void SetTreatMainChannelAsNil(bool value) { treat_main_channel_as_nil_ = value; }
  // The main channel as the advanced events name it.
  ChannelKey MainChannel() const;

  // Virtual so that a wrapper can hand the handlers on to the transport it wraps.
  virtual const ReceiveEvent& OnReceiveData() const { return on_receive_data_; }
  virtual void SetOnReceiveData(ReceiveEvent handler) { on_receive_data_ = std::move(handler); }
  virtual const StateEvent& OnStateChange() const { return on_state_change_; }
  virtual void SetOnStateChange(StateEvent handler) { on_state_change_ = std::move(handler); }
  virtual const AdvancedReceiveEvent& OnAdvancedReceiveData() const {
    return on_advanced_receive_data_;
  }
  virtual void SetOnAdvancedReceiveData(AdvancedReceiveEvent handler) {
    on_advanced_receive_data_ = std::move(handler);
  }
  virtual const AdvancedStateEvent& OnAdvancedStateChange() const {
    return on_advanced_state_change_;
  }
  virtual void SetOnAdvancedStateChange(AdvancedStateEvent handler) {
    on_advanced_state_change_ = std::move(handler);
  }

  virtual std::string GetConfigAsString() = 0;
  virtual void SetConfigAsString(const std::string& config) = 0;
  // Hooks for what worker threads see; `text` is a prefix such as "Unexpected read error: ".
  virtual void ReportError(int error_code, const std::string& text);
  virtual void ReportMessage(const std::string& text);
  // What owners call instead of plain destruction; a transport whose handlers may be running
  // defers the destruction until the outermost one has returned.
  virtual void Free2();
  virtual bool StartComm() = 0;
  virtual void StopComm() = 0;
  // False when the bytes cannot be queued for sending.
  virtual bool WriteCommData(std::string_view data) = 0;
  virtual bool WriteCommDataTo(ChannelKey channel, std::string_view data);
  virtual bool Connected() = 0;
  virtual TCommState GetCommState() = 0;
  // Shows the transport's settings dialog and applies it; a cancelled dialog is a success.
  virtual bool ShowSettingsDialog();
  // While a receive event is raised: the tick count at which its bytes were read, when a worker
  // thread read them ahead of the GUI thread. Pauses are measured from it, so a GUI thread that
  // was busy for a while does not show a pause the line never had.
  std::optional<uint32_t> ReadTick() const { return read_tick_; }

 protected:
  // Raise the events on the GUI thread. Data longer than one event can carry is split.
  void DoReceiveData(std::string_view data, std::optional<uint32_t> read_tick = std::nullopt);
  void DoStateChange(ChannelKey channel, TCommState state);
  // Holds `tick` as ReadTick() while a receive event is raised (a wrapper raising an inner
  // transport's event as its own passes the inner one's on), and gives the old one back after.
  class ReadTickScope {
   public:
    ReadTickScope(VMurCommunicationComponent& component, std::optional<uint32_t> tick)
        : component_(component), outer_(std::exchange(component.read_tick_, tick)) {}
    ~ReadTickScope() { component_.read_tick_ = outer_; }
    ReadTickScope(const ReadTickScope&) = delete;
    ReadTickScope& operator=(const ReadTickScope&) = delete;

   private:
    VMurCommunicationComponent& component_;
    const std::optional<uint32_t> outer_;
  };

 private:
  bool treat_main_channel_as_nil_ = true;
  std::optional<uint32_t> read_tick_;
  ReceiveEvent on_receive_data_;
  StateEvent on_state_change_;
  AdvancedReceiveEvent on_advanced_receive_data_;
  AdvancedStateEvent on_advanced_state_change_;
};

}  // namespace kestrova
