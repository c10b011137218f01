// The UDP component on a poll loop, and a record of everything it reported, in order.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "net/mur_udp.h"
#include "platform/poll_message_loop.h"
#include "support/udp_peer.h"

namespace kestrova::testing {

struct UdpEvent {
  enum Kind { kData, kState, kAdd, kRemove, kError } kind;
  ChannelKey channel;
  std::string text;  // data, or the error text
  TCommState state = CommStateFirst;
};

class UdpTest : public ::testing::Test {
 protected:
  UdpTest() : udp_(std::make_unique<VMurUdp>(nullptr, &loop_)) { Record(*udp_); }

  void Record(VMurUdp& udp) {
    udp.SetOnAdvancedReceiveData(
        [this](VMurCommunicationComponent*, ChannelKey channel, std::string_view data) {
          events_.push_back({UdpEvent::kData, channel, std::string(data)});
        });
    udp.SetOnAdvancedStateChange(
        [this](VMurCommunicationComponent*, ChannelKey channel, TCommState state) {
          events_.push_back({UdpEvent::kState, channel, {}, state});
        });
    udp.OnClientChange() = [this](VMurUdp*, VMurUdpClient* client, VMurItemOperation op) {
      events_.push_back(
          {op == vsioAdd ? UdpEvent::kAdd : UdpEvent::kRemove, client, client->AddressText()});
    };
    udp.OnError() = [this](Object*, int, const std::string& text) {
      events_.push_back({UdpEvent::kError, nullptr, text});
    };
  }

  // Starts the component on a free port of its own choosing.
  void StartOnFreePort() {
    udp_->SetServerPort(0);
    udp_->StartServer();
    ASSERT_TRUE(udp_->Active());
    ASSERT_NE(udp_->LocalPort(), 0);
  }

  std::vector<UdpEvent> Events(UdpEvent::Kind kind) const {
    std::vector<UdpEvent> result;
    for (const UdpEvent& event : events_) {
      if (event.kind == kind) result.push_back(event);
    }
    return result;
  }

  // Runs the loop until `count` data events have arrived.
  bool WaitForData(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    return loop_.RunUntil([&] { return Events(UdpEvent::kData).size() >= count; }, timeout);
  }

  PollMessageLoop loop_;
  std::vector<UdpEvent> events_;
  std::unique_ptr<VMurUdp> udp_;
};

}  // namespace kestrova::testing
