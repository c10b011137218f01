// Raising the inner transports' events as the wrapper's own.
#include "clever_comm/mur_clever_comm.h"

#include "cp2112/mur_comm_cp2112.h"
#include "net/mur_tcp.h"

namespace kestrova {

void TMurCleverComm::RelayReceive(VMurCommunicationComponent* sender, std::string_view data) {
  const ReceiveEvent handler = OnReceiveData();
  if (!handler) return;
  const std::optional<uint32_t> read_tick = sender != nullptr ? sender->ReadTick() : std::nullopt;
  if (IsInner(sender)) sender = this;
  // The distributor takes the time of the bytes from the sender it is given: the wrapper.
  const ReadTickScope scope(*this, read_tick);
  handler(sender, data);
}

void TMurCleverComm::RelayAdvancedReceive(VMurCommunicationComponent* sender, ChannelKey channel,
                                          std::string_view data) {
  const AdvancedReceiveEvent handler = OnAdvancedReceiveData();
  if (!handler) return;
  const bool multi_channel = sender != nullptr && (sender == cp2112_ || sender == tcp_);
  const std::optional<uint32_t> read_tick = sender != nullptr ? sender->ReadTick() : std::nullopt;
  if (IsInner(sender)) sender = this;
  // An inner transport's main channel is this wrapper's main channel, named as this wrapper
  // names it.
  if (channel.IsNil() || IsInner(channel.AsObject())) channel = MainChannel();
  if (channel != MainChannel() && !multi_channel) return;
  const ReadTickScope scope(*this, read_tick);
  handler(sender, channel, data);
}

void TMurCleverComm::RelayState(Object* sender, TCommState state) {
  const StateEvent handler = OnStateChange();
  if (!handler || !Accepts(sender)) return;
  // A transport that opened again without a close in between: listeners see the close too.
  if (state == CommStateConnected && kind_ != CleverCommKind::kNone && state_was_connected_) {
    handler(this, CommStateDisconnected);
  }
  state_was_connected_ = state == CommStateConnected;
  handler(this, state);
}

void TMurCleverComm::RelayAdvancedState(VMurCommunicationComponent* sender, ChannelKey channel,
                                        TCommState state) {
  const AdvancedStateEvent handler = OnAdvancedStateChange();
  if (!handler || !Accepts(sender)) return;
  if (channel.IsNil() || IsInner(channel.AsObject())) channel = MainChannel();
  // Only the main channel reopens; each peer of a server connects once, and a second peer's
  // arrival is no close of the first.
  if (channel == MainChannel()) {
    if (state == CommStateConnected && kind_ != CleverCommKind::kNone &&
        advanced_state_was_connected_) {
      handler(this, channel, CommStateDisconnected);
    }
    advanced_state_was_connected_ = state == CommStateConnected;
  }
  handler(this, channel, state);
}

}  // namespace kestrova
