// VMurCommCP2112: the communication component for one SMBus slave (0x6C) behind a CP2112
// USB-to-SMBus bridge, named by the bridge's serial number. Bytes written go out as SMBus write
// transfers; the slave is polled and what it answers arrives as received data. Diagnostics
// arrive as data on the pseudo-channels 512 + level. The shared bridge worker does all the I/O.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <string_view>

#include "cp2112/cp2112_types.h"
#include "distribution/communication_component.h"
#include "platform/message_loop.h"
#include "platform/message_window.h"

namespace kestrova {

class VMurCommCP2112_Thread;

class VMurCommCP2112 : public VMurCommunicationComponent {
 public:
  enum class Handle : uint8_t { kNone, kFailed, kOpen };

  // Registers with the bridge worker; without the bridge library every open fails. Without a
  // loop the component runs on MainLoop(). Owners that go away first are told through
  // FreeNotification, as by any component.
  explicit VMurCommCP2112(Component* owner, MessageLoop* loop = nullptr);
  // Owners call WantFree (or Free2) rather than delete.
  ~VMurCommCP2112() override;

  // Frees the component now, or, when called from inside one of its own events, once that
  // event's handler has returned.
  void WantFree();
  void Free2() override { WantFree(); }

  // The serial number of the bridge; used by the next StartComm.
  const std::string& CommPort() const { return comm_port_; }
  void SetCommPort(std::string name) { comm_port_ = std::move(name); }
  bool AutoReconnect() const { return auto_reconnect_; }
  // Turning it on opens a closed component that has a port name.
  void SetAutoReconnect(bool value);
  TProtocolCP2112 Protocol() const { return protocol_.load(); }
  void SetProtocol(TProtocolCP2112 protocol) { protocol_.store(protocol); }
  CP2112DebugLevels DebugLevels() const { return CP2112DebugLevels::FromBits(level_bits_.load()); }
  void SetDebugLevels(CP2112DebugLevels levels) { level_bits_.store(levels.Bits()); }

  // The outcome of the last open, and why it failed.
  bool OpenResult() const { return open_result_; }
  const std::string& OpenFailureText() const { return open_failure_text_; }
  // Asks the bridge for a reset of its SMBus side; failures arrive as an error diagnostic.
  void ResetBridge();

  // The contract.
  std::string GetConfigAsString() override;
  void SetConfigAsString(const std::string& config) override;
  bool StartComm() override;
  void StopComm() override;
  bool WriteCommData(std::string_view data) override;
  bool Connected() override;
  TCommState GetCommState() override;

 private:
  friend class VMurCommCP2112_Thread;

  void HandleMessage(Message message);
  void Dispatch(Message& message);
  void HandleStateChange(TCommState state);
  void RunDeferred();
  bool CloseBridge();
  // The worker this component is registered with, while it runs.
  VMurCommCP2112_Thread* Worker() const;

  MessageLoop& loop_;
  // Compared only: a component that outlives the program's bridge worker must not call it.
  VMurCommCP2112_Thread* const registered_with_;
  std::unique_ptr<MessageWindow> window_;
  std::string comm_port_;
  bool auto_reconnect_ = true;
  bool open_result_ = false;
  std::string open_failure_text_;
  TCommState last_state_ = CommStateFirst;
  int handler_depth_ = 0;
  bool stop_requested_ = false;
  bool free_requested_ = false;
  bool closing_ = false;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // for deletion in a later turn

  // Shared with the worker, which reads the settings and sets the handle.
  std::atomic<TProtocolCP2112> protocol_{cp2112pSPA9};
  std::atomic<uint8_t> level_bits_{kDefaultCP2112DebugLevels.Bits()};
  std::atomic<Handle> handle_{Handle::kNone};
};

}  // namespace kestrova
