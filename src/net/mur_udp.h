// VMurUdp: the UDP transport. One socket bound to a local port; every sender seen becomes a
// peer channel, and one configured peer (which may be a broadcast address) is the main channel.
// The socket is watched by the GUI thread's loop; a failed bind is retried from the
// distribution chain's poll.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "distribution/communication_component.h"
#include "distribution/distributor.h"
#include "net/item_operation.h"
#include "net/udp_client.h"
#include "net/udp_host_resolver.h"
#include "net/udp_interfaces.h"
#include "net/udp_socket.h"
#include "platform/message_loop.h"

namespace kestrova {

class VMurUdp : public VMurCommunicationComponent {
 public:
  using ErrorEvent = std::function<void(Object* sender, int severity, const std::string& text)>;
  // Makes the socket the component works on; tests hand in one of their own.
  using SocketFactory = std::function<std::unique_ptr<UdpSocket>()>;
  using ClientChangeEvent =
      std::function<void(VMurUdp* sender, VMurUdpClient* client, VMurItemOperation op)>;
  // Datagrams the system dropped because the socket's receive buffer was full, since the
  // last report.
  using DroppedEvent = std::function<void(VMurUdp* sender, uint64_t count)>;

  // Special configured addresses: the limited broadcast, and the directed broadcast of every
  // usable interface.
  static constexpr std::string_view kBroadcastAddress = "255.255.255.255";
  static constexpr std::string_view kInterfaceBroadcastAddress = "255.255.255.255b";
  // How long the poll waits before binding a wanted port again.
  static constexpr uint32_t kRetryInterval = 20000;
  // Datagrams the send buffer could not take wait for it, up to this many bytes.
  static constexpr size_t kMaxQueuedBytes = 4 << 20;
  // Dropped datagrams are reported at most this often (ms), so a flood makes few lines.
  static constexpr uint32_t kDropReportInterval = 1000;

  // Without a loop the component runs on MainLoop().
  explicit VMurUdp(Component* owner, MessageLoop* loop = nullptr,
                   const SocketFactory& socket_factory = nullptr);
  ~VMurUdp() override;

  // The distributor whose poll drives the retries; the internal distributor hangs below it.
  VMurGeneralDistributor* Distributor() const { return distributor_; }
  void SetDistributor(VMurGeneralDistributor* distributor);
  VMurDistributor* InternalDistributor() const { return internal_; }

  ErrorEvent& OnError() { return on_error_; }
  ClientChangeEvent& OnClientChange() { return on_client_change_; }
  DroppedEvent& OnDropped() { return on_dropped_; }

  // Plain stores: nothing restarts.
  int ServerPort() const { return server_port_; }
  void SetServerPort(int port) { server_port_ = port; }
  // "address:port" (the address alone while the port is negative). Setting it takes the text
  // before the first ":" as the address and a decimal number after it as the port; a port
  // that is no number leaves the port as it was.
  std::string ClientHost() const;
  void SetClientHost(const std::string& host);
  const std::string& ClientAddress() const { return peers_.front()->address_; }
  void SetClientAddress(const std::string& address);
  int ClientPort() const { return peers_.front()->port_; }
  void SetClientPort(int port) { peers_.front()->port_ = port; }

  // Also renames the internal distributor (Name + "_FDistributor") outside loading.
  void SetName(std::string name) override;
  void Loaded() override;

  // The contract. There is no configuration string: both calls throw.
  std::string GetConfigAsString() override;
  void SetConfigAsString(const std::string& config) override;
  // Destroys now, or after the outermost running handler of this component has returned.
  void Free2() override;
  // StartServer, then StartClient; false when the socket failed to bind.
  bool StartComm() override;
  void StopComm() override;
  bool WriteCommData(std::string_view data) override;
  // One datagram per destination: to a learned peer, or (main channel) to the configured one.
  bool WriteCommDataTo(ChannelKey channel, std::string_view data) override;
  bool Connected() override { return Active(); }
  TCommState GetCommState() override;

  void StartServer();
  void StopServer();
  void StartClient();
  void StopClient();
  bool ClientStarted() const { return client_state_ == CommStateConnected; }
  bool Active() const { return socket_->IsOpen(); }
  // The port the socket is bound to, 0 while it is closed.
  int LocalPort() const { return socket_->LocalPort(); }
  int PeerCount() const { return static_cast<int>(peers_.size()) - 1; }
  // Learned peer `index` (0 .. PeerCount() - 1), nullptr out of range.
  VMurUdpClient* GetPeer(int index) const;
  // Whether `channel` is one of the learned peers (never the configured main-channel peer).
  bool OwnsPeer(ChannelKey channel) const { return FindPeer(channel) > 0; }

  // Tests hand in their own interface list.
  void SetInterfaceSource(UdpInterfaceSource source) { interface_source_ = std::move(source); }

 protected:
  void Notification(Component* component, Operation operation) override;

 private:
  class BusyScope;
  struct Outgoing {
    std::string data;
    uint32_t address;
    int port;
    bool broadcast;
  };
  struct AwaitingWrite {
    std::string host;
    std::string data;
  };

  void Activate();
  void Deactivate();
  void Poll(uint32_t the_time);
  void TellDrops(uint32_t the_time);
  void HandleReadable();
  void HandleWritable();
  void Deliver(std::string_view data, uint32_t address, int port);
  VMurUdpClient* Learn(uint32_t address, int port);
  int FindPeer(ChannelKey channel) const;
  bool WriteMain(std::string_view data);
  bool WriteInterfaceBroadcast(std::string_view data);
  bool WriteToHost(std::string_view data);
  void HostResolved(const UdpHostLookup& result);
  bool Send(std::string_view data, uint32_t address, int port, bool broadcast);
  bool Queue(std::string_view data, uint32_t address, int port, bool broadcast);
  void ReportStatus(const std::string& text);
  void EndBusy();

  MessageLoop& loop_;
  VMurGeneralDistributor* distributor_ = nullptr;
  VMurDistributor* internal_;
  ErrorEvent on_error_;
  DroppedEvent on_dropped_;
  uint32_t drops_seen_ = 0;    // the socket's drop count when last looked at
  uint64_t drops_untold_ = 0;  // dropped since the last report
  uint32_t drops_told_at_ = 0;
  ClientChangeEvent on_client_change_;
  int server_port_ = -1;

  // Slot 0 is the configured peer; the learned ones follow in order of first arrival.
  std::vector<std::unique_ptr<VMurUdpClient>> peers_;
  std::unordered_map<uint64_t, VMurUdpClient*> learned_;  // by address and port

  TCommState state_ = CommStateDisconnected;
  TCommState client_state_ = CommStateDisconnected;
  bool server_wanted_ = false;
  bool client_wanted_ = false;
  uint32_t last_start_ = 0;
  // Counts activations and deactivations, so work started before one can see it happened.
  uint64_t generation_ = 0;

  std::unique_ptr<UdpSocket> socket_;
  LoopHandle read_watch_;
  LoopHandle write_watch_;
  std::vector<char> receive_buffer_;
  std::deque<Outgoing> out_queue_;
  size_t queued_bytes_ = 0;

  UdpInterfaceSource interface_source_;
  std::vector<UdpInterface> interfaces_;
  bool interfaces_stale_ = true;

  // The configured address when it is a host name: its looked-up address, and the writes
  // waiting for the answer.
  std::string resolved_host_;
  uint32_t resolved_address_ = 0;
  std::deque<AwaitingWrite> awaiting_lookup_;
  size_t awaiting_bytes_ = 0;
  std::unique_ptr<UdpHostResolver> resolver_;

  bool reading_ = false;
  int busy_depth_ = 0;
  bool free_pending_ = false;
  bool polling_ = false;
  bool tearing_down_ = false;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace kestrova
