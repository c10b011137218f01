// Shared pieces of the serial tests: a poll loop installed as the main loop, and a device
// that refuses every open and counts the attempts (for settings tests that must not touch
// any real port).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/message_loop.h"
#include "platform/poll_message_loop.h"
#include "platform/serial_device.h"
#include "serial/vss_comm32.h"

namespace kestrova::testing {

class MainLoopScope {
 public:
  MainLoopScope() { SetMainLoop(&loop); }
  ~MainLoopScope() { SetMainLoop(nullptr); }
  PollMessageLoop loop;
};

// Every Open fails with ENOENT; the paths asked for are recorded.
class AbsentDevice final : public SerialDevice {
 public:
  explicit AbsentDevice(std::vector<std::string>* opened) : opened_(opened) {}

  SerialOpenResult Open(const std::string& device_path) override {
    opened_->push_back(device_path);
    return {ENOENT, "No such device"};
  }
  void Close() override {}
  bool IsOpen() const override { return false; }
  ErrnoResult<SerialConfigureReport> Configure(const SerialLineSettings&) override {
    return {EBADF, {}};
  }
  SerialLineSettings LineSettings() const override { return {}; }
  int SetTimeouts(const SerialTimeouts&) override { return EBADF; }
  SerialTimeouts Timeouts() const override { return {}; }
  ErrnoResult<size_t> Read(std::span<char>, int) override { return {EBADF, 0}; }
  ErrnoResult<size_t> Write(std::string_view, int) override { return {EBADF, 0}; }
  ErrnoResult<SerialWaitResult> Wait(uint32_t, int, std::chrono::milliseconds) override {
    return {EBADF, {}};
  }
  ErrnoResult<uint32_t> ModemStatus() override { return {EBADF, 0}; }
  int Escape(SerialEscape) override { return EBADF; }
  ErrnoResult<SerialErrorState> ClearErrors() override { return {EBADF, {}}; }
  int Purge(uint32_t) override { return EBADF; }

 private:
  std::vector<std::string>* opened_;
};

// What a component reported through its data and state events, on the loop thread.
// The handlers are taken back when the recorder goes, as the component may still report while
// it is destroyed.
struct CommRecorder {
  explicit CommRecorder(TVSSComm32& comm) : comm_(comm) {
    comm.SetOnReceiveData([this](VMurCommunicationComponent*, std::string_view data) {
      received.append(data);
      ++blocks;
    });
    comm.SetOnStateChange([this](Object*, TCommState state) { states.push_back(state); });
  }
  ~CommRecorder() {
    comm_.SetOnReceiveData(nullptr);
    comm_.SetOnStateChange(nullptr);
  }
  CommRecorder(const CommRecorder&) = delete;
  CommRecorder& operator=(const CommRecorder&) = delete;

  TVSSComm32& comm_;
  std::string received;
  size_t blocks = 0;
  std::vector<TCommState> states;
};

// A closed component whose opens go to an AbsentDevice.
inline std::unique_ptr<TVSSComm32> MakeClosedComm(std::vector<std::string>* opened,
                                                  bool auto_reconnect) {
  auto comm = std::make_unique<TVSSComm32>(nullptr);
  comm->SetDeviceFactory([opened] { return std::make_unique<AbsentDevice>(opened); });
  comm->SetAutoReconnect(auto_reconnect);
  opened->clear();
  return comm;
}

}  // namespace kestrova::testing
