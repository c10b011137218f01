// VMurCommCP2112_Thread: the one worker that makes every call into the bridge library, for all
// bridge components. Components post commands and data to its queue; it polls their slaves,
// writes their bytes and posts data, diagnostics and states back to their message windows.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cp2112/cp2112_messages.h"
#include "cp2112/cp2112_types.h"
#include "cp2112/hid_smbus_library.h"
#include "distribution/comm_state.h"
#include "platform/event.h"
#include "platform/thread_message_queue.h"
#include "serial/mur_thread.h"

namespace kestrova {

class VMurCommCP2112;

// What a command hands back to the component that waits for it.
struct CP2112CommandResult {
  std::string failure_text;        // kCP2112Open: empty when the bridge is open
  std::vector<std::string> names;  // kCP2112List
};

class VMurCommCP2112_Thread final : public VMurThread {
 public:
  // The SMBus address of the slave behind the bridge, and the bridge's own.
  static constexpr uint8_t kSlaveAddress = 0x6C;
  static constexpr uint8_t kOwnAddress = 0x5C;
  // A read that completes with no bytes is asked again at most this often before it is given
  // up, so a bridge that keeps answering that way cannot hold the worker.
  static constexpr int kEmptyReadRetries = 10;
  // A transfer still busy after this long is given up; the bridge's own time-outs are 1 s.
  static constexpr std::chrono::milliseconds kBusyLimit{3000};

  explicit VMurCommCP2112_Thread(const HidSmbusFunctions& calls);
  ~VMurCommCP2112_Thread() override;

  // Any thread. False once the worker has ended: nothing would handle the message.
  bool Post(uint32_t id, uintptr_t wparam, VMurCommCP2112* component,
            std::unique_ptr<MessagePayload> payload = nullptr);
  // Posts the command and waits until the worker has carried it out; nullopt when the worker
  // ended first. `port_name` goes with kCP2112Open.
  std::optional<CP2112CommandResult> Run(CP2112Command command, VMurCommCP2112* component,
                                         std::string port_name = {});
  // Ends the loop and waits for it; open bridges are closed.
  void Stop();

 protected:
  void Execute() override;

 private:
  struct Link;
  struct CommandPayload;

  void Loop();
  void Handle(Message& message);
  void HandleCommand(Message& message, Link* link);
  void PollingPass();
  void RecoverResets();
  void CloseAll();
  void RefuseFurtherMessages();

  // Opening and enumeration (cp2112_open.cpp).
  std::string Open(Link& link, const std::string& port_name);
  std::string OpenByName(Link& link);
  void CloseDevice(Link& link);
  void RecoverReset(Link& link);
  std::vector<std::string> ListDevices();

  // Transfers (cp2112_transfers.cpp).
  void WriteStep(Link& link);
  void WaitWriteFinished(Link& link);
  void ReadStep(Link& link);

  Link* Find(const VMurCommCP2112* component);
  void Diagnose(const Link& link, VMurCommCP2112debugLevel level, const std::string& text);
  void PostState(const Link& link, TCommState state);
  void PostToWorker(uint32_t id, const Link& link);

  const HidSmbusFunctions calls_;
  ThreadMessageQueue queue_;
  Event stop_{Event::Mode::kManualReset};
  std::vector<std::unique_ptr<Link>> links_;  // worker thread only
  int fast_poll_ = 0;
  bool poll_at_once_ = false;

  std::mutex post_mutex_;  // orders posting against the worker's end
  bool accepting_ = true;
};

}  // namespace kestrova
