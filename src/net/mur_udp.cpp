#include "net/mur_udp.h"

#include <netinet/in.h>

#include <cerrno>
#include <charconv>
#include <utility>

#include "platform/tick.h"
#include "util/exception.h"
#include "util/system_error.h"
#include "util/tick_math.h"

namespace kestrova {
namespace {

// Datagrams read in one turn of the loop, so a flood cannot starve the rest of the GUI.
constexpr int kDatagramsPerTurn = 256;

uint64_t PeerKey(uint32_t address, int port) {
  return (static_cast<uint64_t>(address) << 16) | static_cast<uint16_t>(port);
}

bool WouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

}  // namespace

// Marks a handler of this component as running; Free2 waits for the outermost one.
class VMurUdp::BusyScope {
 public:
  explicit BusyScope(VMurUdp& udp) : udp_(udp) { ++udp_.busy_depth_; }
  ~BusyScope() { udp_.EndBusy(); }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  VMurUdp& udp_;
};

VMurUdp::VMurUdp(Component* owner, MessageLoop* loop, const SocketFactory& socket_factory)
    : VMurCommunicationComponent(owner),
      loop_(loop != nullptr ? *loop : MainLoop()),
      internal_(new VMurDistributor(this)),
      socket_(socket_factory ? socket_factory() : std::make_unique<UdpSocket>()),
      receive_buffer_(kMaxUdpPayload) {
  peers_.push_back(std::make_unique<VMurUdpClient>(this, std::string(), -1));
  internal_->SetName("VMurUdp_Distributor");
  internal_->OnTimerPoll() = [this](VMurGeneralDistributor*, uint32_t& the_time) {
    Poll(the_time);
  };
  // Polls count drops on an open socket and retry a server that could not bind.
  internal_->OnTimerPollIdle() = [this] {
    return !Active() && !(server_wanted_ && server_port_ >= 0);
  };
}

VMurUdp::~VMurUdp() {
  tearing_down_ = true;
  *alive_ = false;
  StopServer();
  StopClient();
  resolver_.reset();
  peers_.clear();
  SetDistributor(nullptr);
  internal_->OnTimerPoll() = nullptr;
  delete internal_;
}

void VMurUdp::SetDistributor(VMurGeneralDistributor* distributor) {
  if (distributor_ != nullptr) distributor_->RemoveFreeNotification(this);
  distributor_ = distributor;
  if (distributor_ != nullptr) distributor_->FreeNotification(this);
  internal_->SetDistributor(distributor_);
}

void VMurUdp::Notification(Component* component, Operation operation) {
  VMurCommunicationComponent::Notification(component, operation);
  // The parent distributor detaches its children itself as it goes.
  if (operation == Operation::kRemove && component == distributor_) distributor_ = nullptr;
}

std::string VMurUdp::ClientHost() const {
  if (ClientPort() < 0) return ClientAddress();
  return ClientAddress() + ":" + std::to_string(ClientPort());
}

void VMurUdp::SetClientHost(const std::string& host) {
  const size_t colon = host.find(':');
  SetClientAddress(host.substr(0, colon));
  if (colon == std::string::npos) return;
  const char* first = host.data() + colon + 1;
  const char* last = host.data() + host.size();
  int port = 0;
  const auto [end, error] = std::from_chars(first, last, port);
  if (error == std::errc() && end == last && first != last) SetClientPort(port);
}

void VMurUdp::SetClientAddress(const std::string& address) {
  if (address == peers_.front()->address_) return;
  peers_.front()->address_ = address;
  resolved_host_.clear();
}

void VMurUdp::SetName(std::string name) {
  Component::SetName(std::move(name));
  if (!Loading()) internal_->SetName(Name() + "_FDistributor");
}

void VMurUdp::Loaded() {
  VMurCommunicationComponent::Loaded();
  internal_->SetName(Name() + "_FDistributor");
}

std::string VMurUdp::GetConfigAsString() { throw Exception("VMurUdp has no configuration string"); }

void VMurUdp::SetConfigAsString(const std::string& /*config*/) {
  throw Exception("VMurUdp has no configuration string");
}

void VMurUdp::Free2() {
  if (busy_depth_ > 0 || tearing_down_) {
    free_pending_ = !tearing_down_;
    return;
  }
  delete this;
}

void VMurUdp::EndBusy() {
  if (--busy_depth_ > 0 || !free_pending_ || tearing_down_) return;
  if (polling_) {
    // Our own distributor is still on the stack of the poll that called us.
    loop_.Post([this, alive = alive_] {
      if (*alive) delete this;
    });
    return;
  }
  free_pending_ = false;
  delete this;
}

bool VMurUdp::StartComm() {
  BusyScope busy(*this);
  StartServer();
  StartClient();
  return state_ != CommStateFailed;
}

void VMurUdp::StopComm() {
  BusyScope busy(*this);
  StopServer();
  StopClient();
}

bool VMurUdp::WriteCommData(std::string_view data) { return WriteCommDataTo(nullptr, data); }

TCommState VMurUdp::GetCommState() {
  if (Active()) return CommStateConnected;
  return state_ == CommStateFailed ? CommStateFailed : CommStateDisconnected;
}

void VMurUdp::StartServer() {
  BusyScope busy(*this);
  server_wanted_ = true;
  Activate();
}

void VMurUdp::StopServer() {
  BusyScope busy(*this);
  server_wanted_ = false;
  Deactivate();
}

void VMurUdp::StartClient() {
  BusyScope busy(*this);
  client_wanted_ = true;
  // A socket that could not be bound is no working client either.
  client_state_ = state_ == CommStateFailed ? CommStateFailed : CommStateConnected;
  DoStateChange(nullptr, client_state_);
}

void VMurUdp::StopClient() {
  BusyScope busy(*this);
  const bool was_reported = client_state_ == CommStateConnected;
  client_wanted_ = false;
  client_state_ = CommStateDisconnected;
  awaiting_lookup_.clear();
  awaiting_bytes_ = 0;
  if (server_wanted_ && server_port_ >= 0) return;
  const bool socket_reports = state_ != CommStateDisconnected;
  Deactivate();
  if (was_reported && !socket_reports) DoStateChange(nullptr, CommStateDisconnected);
}

VMurUdpClient* VMurUdp::GetPeer(int index) const {
  if (index < 0 || index >= PeerCount()) return nullptr;
  return peers_[static_cast<size_t>(index) + 1].get();
}

void VMurUdp::Activate() {
  internal_->WakeTimer();
  last_start_ = TickCount();
  if (state_ == CommStateConnected || Active()) Deactivate();
  int port = server_port_;
  if (port < 0 && !client_wanted_) return;
  if (port < 0 || !server_wanted_) port = 0;
  interfaces_stale_ = true;
  ++generation_;
  const int error = socket_->Open(port);
  drops_seen_ = 0;  // a new socket counts from zero
  TCommState new_state = CommStateConnected;
  if (error == 0) {
    read_watch_ = loop_.WatchFd(socket_->Fd(), MessageLoop::Readiness::kReadable,
                                [this] { HandleReadable(); });
  } else {
    new_state = CommStateFailed;
    // Once per failure, not once per retry.
    if (state_ != CommStateFailed) {
      ReportStatus("Cannot bind UDP port " + std::to_string(port) + ": " + SystemErrorText(error));
    }
  }
  if (new_state != state_ || (client_wanted_ && new_state != client_state_)) {
    state_ = new_state;
    if (client_wanted_) client_state_ = new_state;
    DoStateChange(nullptr, new_state);
  }
}

void VMurUdp::Deactivate() {
  const uint64_t generation = ++generation_;
  read_watch_.reset();
  write_watch_.reset();
  socket_->Close();
  out_queue_.clear();
  queued_bytes_ = 0;
  awaiting_lookup_.clear();
  awaiting_bytes_ = 0;
  std::vector<std::unique_ptr<VMurUdpClient>> gone;
  gone.reserve(peers_.size() - 1);
  for (size_t i = 1; i < peers_.size(); ++i) gone.push_back(std::move(peers_[i]));
  peers_.resize(1);
  learned_.clear();
  // Highest slot first; each peer lives until its own notices have gone out.
  for (auto peer = gone.rbegin(); peer != gone.rend(); ++peer) {
    if (ClientChangeEvent handler = on_client_change_) handler(this, peer->get(), vsioRemove);
    DoStateChange(peer->get(), CommStateDisconnected);
    peer->reset();
  }
  // A handler may have started the socket again meanwhile; then its state stands.
  if (generation_ != generation || state_ == CommStateDisconnected) return;
  state_ = CommStateDisconnected;
  DoStateChange(nullptr, CommStateDisconnected);
}

void VMurUdp::Poll(uint32_t the_time) {
  TellDrops(the_time);
  if (Active() || !server_wanted_ || server_port_ < 0) return;
  if (!TimeElapsed(last_start_, kRetryInterval, the_time)) return;
  polling_ = true;
  {
    BusyScope busy(*this);
    StartServer();
  }
  polling_ = false;
}

void VMurUdp::HandleReadable() {
  if (reading_) return;  // a handler pumping the loop; the datagrams wait for this turn
  BusyScope busy(*this);
  reading_ = true;
  const uint64_t generation = generation_;
  for (int i = 0; i < kDatagramsPerTurn && !free_pending_ && generation == generation_; ++i) {
    const ErrnoResult<UdpDatagramInfo> received = socket_->ReceiveFrom(receive_buffer_);
    if (WouldBlock(received.error)) break;
    // Other errors (an ICMP report for an earlier send) carry no datagram.
    if (!received.ok()) continue;
    Deliver(std::string_view(receive_buffer_.data(), received.value.size), received.value.address,
            received.value.port);
  }
  reading_ = false;
}

void VMurUdp::TellDrops(uint32_t the_time) {
  if (!Active()) return;
  const uint32_t dropped = socket_->DroppedCount();
  drops_untold_ += dropped - drops_seen_;  // unsigned: right across a wrap
  drops_seen_ = dropped;
  if (drops_untold_ == 0 || !TimeElapsed(drops_told_at_, kDropReportInterval, the_time)) return;
  const uint64_t count = std::exchange(drops_untold_, 0);
  drops_told_at_ = the_time;
  if (DroppedEvent handler = on_dropped_) handler(this, count);
}

void VMurUdp::Deliver(std::string_view data, uint32_t address, int port) {
  VMurUdpClient* main = peers_.front().get();
  VMurUdpClient* peer = nullptr;
  if (main->port_ == port && main->address_ == AddressToText(address)) {
    peer = main;
  } else if (auto known = learned_.find(PeerKey(address, port)); known != learned_.end()) {
    peer = known->second;
  } else {
    const uint64_t generation = generation_;
    peer = Learn(address, port);
    // A handler stopped the socket (the peer is gone with it) or asked to free us.
    if (generation != generation_ || free_pending_) return;
  }
  if (peer == main) {
    if (ReceiveEvent plain = OnReceiveData()) plain(this, data);
    if (AdvancedReceiveEvent advanced = OnAdvancedReceiveData())
      advanced(this, MainChannel(), data);
  } else if (AdvancedReceiveEvent advanced = OnAdvancedReceiveData()) {
    advanced(this, peer, data);
  }
}

VMurUdpClient* VMurUdp::Learn(uint32_t address, int port) {
  auto owned = std::make_unique<VMurUdpClient>(this, AddressToText(address), port);
  owned->numeric_address_ = address;
  VMurUdpClient* peer = owned.get();
  peers_.push_back(std::move(owned));
  learned_.emplace(PeerKey(address, port), peer);
  const uint64_t generation = generation_;
  if (ClientChangeEvent handler = on_client_change_) handler(this, peer, vsioAdd);
  if (generation == generation_) DoStateChange(peer, CommStateConnected);
  return peer;
}

int VMurUdp::FindPeer(ChannelKey channel) const {
  for (size_t i = 0; i < peers_.size(); ++i) {
    if (channel == ChannelKey(peers_[i].get())) return static_cast<int>(i);
  }
  return -1;
}

bool VMurUdp::WriteCommDataTo(ChannelKey channel, std::string_view data) {
  BusyScope busy(*this);
  if (channel.IsNil() || channel == ChannelKey(this)) return WriteMain(data);
  // Only our own peers: a foreign or stale channel is never dereferenced.
  const int index = FindPeer(channel);
  if (index < 0) return false;
  if (index == 0) return WriteMain(data);
  const VMurUdpClient& peer = *peers_[static_cast<size_t>(index)];
  return Send(data, peer.numeric_address_, peer.port_, false);
}

bool VMurUdp::WriteMain(std::string_view data) {
  if (!client_wanted_) return false;
  if (!Active()) StartServer();
  // Nothing can be sent without a socket: say so rather than claim success.
  if (!Active() || client_state_ != CommStateConnected) return false;
  const std::string& address = ClientAddress();
  const int port = ClientPort();
  if (address.empty() || port < 0 || port > 65535) return false;
  if (address == kInterfaceBroadcastAddress) return WriteInterfaceBroadcast(data);
  if (address == kBroadcastAddress) return Send(data, INADDR_BROADCAST, port, true);
  uint32_t numeric = 0;
  if (ParseAddress(address, numeric)) return Send(data, numeric, port, false);
  return WriteToHost(data);
}

bool VMurUdp::WriteInterfaceBroadcast(std::string_view data) {
  if (interfaces_stale_ || interfaces_.empty()) {
    interfaces_ = interface_source_ ? interface_source_() : ReadLocalInterfaces();
    interfaces_stale_ = false;
  }
  // A copy: a handler of the sends below may read the list again.
  const std::vector<UdpInterface> targets = interfaces_;
  const int port = ClientPort();
  bool any = false;
  bool all_sent = true;
  for (const UdpInterface& target : targets) {
    if (!target.Usable()) continue;
    any = true;
    // Linux refuses any broadcast destination unless broadcasting is allowed.
    if (!Send(data, target.DirectedBroadcast(), port, true)) all_sent = false;
  }
  if (!any) ReportStatus("No usable network interface to broadcast to");
  return any && all_sent;
}

bool VMurUdp::WriteToHost(std::string_view data) {
  const std::string& host = ClientAddress();
  if (!resolved_host_.empty() && resolved_host_ == host) {
    return Send(data, resolved_address_, ClientPort(), false);
  }
  if (awaiting_bytes_ + data.size() > kMaxQueuedBytes) return false;
  awaiting_lookup_.push_back({host, std::string(data)});
  awaiting_bytes_ += data.size();
  if (!resolver_) {
    resolver_ = std::make_unique<UdpHostResolver>(
        loop_, [this](const UdpHostLookup& result) { HostResolved(result); });
  }
  resolver_->Start(host);
  return true;
}

void VMurUdp::HostResolved(const UdpHostLookup& result) {
  BusyScope busy(*this);
  if (result.ok && result.host == ClientAddress()) {
    resolved_host_ = result.host;
    resolved_address_ = result.address;
  }
  if (!result.ok) ReportStatus("Cannot find host " + result.host + ": " + result.error);
  // Writes for this host go out (or are dropped when it is unknown), in order; writes for a
  // host configured since then wait for their own look-up.
  std::deque<AwaitingWrite> waiting = std::move(awaiting_lookup_);
  awaiting_lookup_.clear();
  awaiting_bytes_ = 0;
  const uint64_t generation = generation_;
  for (AwaitingWrite& write : waiting) {
    if (generation != generation_) return;
    if (write.host != result.host) {
      awaiting_bytes_ += write.data.size();
      awaiting_lookup_.push_back(std::move(write));
    } else if (result.ok) {
      Send(write.data, result.address, ClientPort(), false);
    }
  }
  if (!awaiting_lookup_.empty()) resolver_->Start(awaiting_lookup_.front().host);
}

bool VMurUdp::Send(std::string_view data, uint32_t address, int port, bool broadcast) {
  // Behind queued datagrams, so the order holds.
  if (!out_queue_.empty()) return Queue(data, address, port, broadcast);
  const int error = socket_->SendTo(data, address, port, broadcast);
  if (error == 0) return true;
  if (WouldBlock(error)) return Queue(data, address, port, broadcast);
  ReportStatus("Cannot send to " + AddressToText(address) + ":" + std::to_string(port) + ": " +
               SystemErrorText(error));
  return false;
}

bool VMurUdp::Queue(std::string_view data, uint32_t address, int port, bool broadcast) {
  if (!Active()) return false;
  if (queued_bytes_ + data.size() > kMaxQueuedBytes) {
    ReportStatus("Send queue full, datagram to " + AddressToText(address) + ":" +
                 std::to_string(port) + " not sent");
    return false;
  }
  out_queue_.push_back({std::string(data), address, port, broadcast});
  queued_bytes_ += data.size();
  if (!write_watch_) {
    write_watch_ = loop_.WatchFd(socket_->Fd(), MessageLoop::Readiness::kWritable,
                                 [this] { HandleWritable(); });
  }
  return true;
}

void VMurUdp::HandleWritable() {
  BusyScope busy(*this);
  while (!out_queue_.empty()) {
    Outgoing& next = out_queue_.front();
    const int error = socket_->SendTo(next.data, next.address, next.port, next.broadcast);
    if (WouldBlock(error)) return;
    const uint32_t address = next.address;
    const int port = next.port;
    queued_bytes_ -= next.data.size();
    out_queue_.pop_front();
    if (error != 0) {
      ReportStatus("Cannot send to " + AddressToText(address) + ":" + std::to_string(port) + ": " +
                   SystemErrorText(error));
    }
  }
  write_watch_.reset();
}

void VMurUdp::ReportStatus(const std::string& text) {
  if (ErrorEvent handler = on_error_) handler(this, 1, "UdpStatus: " + text);
}

}  // namespace kestrova
