// Records what a VMurTcp raises: data per channel, state changes, connection changes and texts.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "net/mur_tcp.h"

namespace kestrova::testing {

struct TcpRecorder {
  struct StateSeen {
    ChannelKey channel;
    TCommState state;
  };
  struct ChangeSeen {
    VMurTcpClient* client;
    VMurItemOperation op;
  };
  struct TextSeen {
    VMurTcpClient* client;
    std::string desc;
    int code;
  };

  explicit TcpRecorder(VMurTcp& tcp) : tcp_(tcp) {
    tcp.SetOnReceiveData(
        [this](VMurCommunicationComponent*, std::string_view data) { main_data.append(data); });
    tcp.SetOnAdvancedReceiveData(
        [this](VMurCommunicationComponent*, ChannelKey channel, std::string_view data) {
          if (!channel.IsNil()) channel_data[channel].append(data);
          ++advanced_blocks;
        });
    tcp.SetOnAdvancedStateChange(
        [this](VMurCommunicationComponent*, ChannelKey channel, TCommState state) {
          states.push_back({channel, state});
        });
    tcp.OnClientChange = [this](VMurTcp*, VMurTcpClient* client, VMurItemOperation op) {
      changes.push_back({client, op});
    };
    tcp.OnError = [this](VMurTcp*, VMurTcpClient*& client, const std::string& desc, int code) {
      texts.push_back({client, desc, code});
    };
  }
  ~TcpRecorder() {
    tcp_.SetOnReceiveData(nullptr);
    tcp_.SetOnAdvancedReceiveData(nullptr);
    tcp_.SetOnAdvancedStateChange(nullptr);
    tcp_.OnClientChange = nullptr;
    tcp_.OnError = nullptr;
  }
  TcpRecorder(const TcpRecorder&) = delete;
  TcpRecorder& operator=(const TcpRecorder&) = delete;

  int Count(VMurItemOperation op) const {
    int n = 0;
    for (const ChangeSeen& c : changes) n += c.op == op ? 1 : 0;
    return n;
  }
  bool HasText(const std::string& desc, int code) const {
    for (const TextSeen& t : texts) {
      if (t.desc == desc && t.code == code) return true;
    }
    return false;
  }
  TCommState LastMainState() const {
    for (auto it = states.rbegin(); it != states.rend(); ++it) {
      if (it->channel.IsNil()) return it->state;
    }
    return CommStateFirst;
  }

  VMurTcp& tcp_;
  std::string main_data;
  std::unordered_map<ChannelKey, std::string> channel_data;
  int advanced_blocks = 0;
  std::vector<StateSeen> states;
  std::vector<ChangeSeen> changes;
  std::vector<TextSeen> texts;
};

}  // namespace kestrova::testing
