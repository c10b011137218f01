// A transport without a line: records what is written and lets a test raise its events.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "distribution/communication_component.h"

namespace kestrova::testing {

class FakeTransport : public VMurCommunicationComponent {
 public:
  explicit FakeTransport(Component* owner = nullptr) : VMurCommunicationComponent(owner) {}

  std::string GetConfigAsString() override { return config_; }
  void SetConfigAsString(const std::string& config) override { config_ = config; }
  bool StartComm() override {
    open_ = true;
    DoStateChange(ChannelKey(), CommStateConnected);
    return true;
  }
  void StopComm() override {
    open_ = false;
    DoStateChange(ChannelKey(), CommStateDisconnected);
  }
  bool WriteCommData(std::string_view data) override {
    writes.emplace_back(MainChannel(), std::string(data));
    return open_;
  }
  bool Connected() override { return open_; }
  TCommState GetCommState() override { return open_ ? CommStateConnected : CommStateDisconnected; }

  void Receive(std::string_view data) { DoReceiveData(data); }
  void ReceiveReadAt(std::string_view data, uint32_t read_tick) { DoReceiveData(data, read_tick); }
  void ChangeState(ChannelKey channel, TCommState state) { DoStateChange(channel, state); }

  std::vector<std::pair<ChannelKey, std::string>> writes;

 private:
  std::string config_;
  bool open_ = false;
};

}  // namespace kestrova::testing
