#include "distribution/communication_component.h"

#include <algorithm>

namespace kestrova {

VMurCommunicationComponent::VMurCommunicationComponent(Component* owner) : Component(owner) {}

ChannelKey VMurCommunicationComponent::MainChannel() const {
  return treat_main_channel_as_nil_ ? ChannelKey() : ChannelKey(this);
}

void VMurCommunicationComponent::ReportError(int /*error_code*/, const std::string& /*text*/) {}

void VMurCommunicationComponent::ReportMessage(const std::string& /*text*/) {}

void VMurCommunicationComponent::Free2() { delete this; }

bool VMurCommunicationComponent::WriteCommDataTo(ChannelKey channel, std::string_view data) {
  if (channel != MainChannel()) return false;
  return WriteCommData(data);
}

bool VMurCommunicationComponent::ShowSettingsDialog() { return true; }

void VMurCommunicationComponent::DoReceiveData(std::string_view data,
                                               std::optional<uint32_t> read_tick) {
  const ReadTickScope scope(*this, read_tick);
  while (!data.empty()) {
    const std::string_view piece = data.substr(0, kMaxEventBytes);
    data.remove_prefix(piece.size());
    // Copies: a handler may replace the handlers while it runs.
    if (ReceiveEvent plain = OnReceiveData()) plain(this, piece);
    if (AdvancedReceiveEvent advanced = OnAdvancedReceiveData()) {
      advanced(this, MainChannel(), piece);
    }
  }
}

void VMurCommunicationComponent::DoStateChange(ChannelKey channel, TCommState state) {
  if (channel.IsNil()) {
    if (StateEvent plain = OnStateChange()) plain(this, state);
    channel = MainChannel();
  }
  if (AdvancedStateEvent advanced = OnAdvancedStateChange()) advanced(this, channel, state);
}

}  // namespace kestrova
