// VMurTcp: the TCP transport. It listens as a server and keeps one outgoing connection at the
// same time; every connection is a VMurTcpClient channel. Socket notices that arrive while one
// of its handlers runs are queued and handled, in order, when the outermost handler finishes.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "distribution/communication_component.h"
#include "distribution/distributor.h"
#include "net/item_operation.h"
#include "net/socket_components.h"
#include "net/tcp_client.h"
#include "platform/message_loop.h"

namespace kestrova {

class VMurTcp : public VMurCommunicationComponent {
 public:
  using ClientChangeEvent =
      std::function<void(VMurTcp* sender, VMurTcpClient* client, VMurItemOperation op)>;
  using CreateClientEvent =
      std::function<void(VMurTcp* sender, VMurTcpClient*& client, bool as_client)>;
  using ErrorEvent = std::function<void(VMurTcp* sender, VMurTcpClient*& client,
                                        const std::string& desc, int code)>;

  // Shows the address dialog for `tcp`; true when closed with OK (the fields then applied).
  using DialogRunner = std::function<bool(VMurTcp& tcp, const std::string& caption, int language)>;

  // The id OnCallbackException gets for a failing receive handler of the main channel.
  static constexpr int kReadCallbackId = 888021;

  // Without a loop the component runs on MainLoop().
  explicit VMurTcp(Component* owner, MessageLoop* loop = nullptr);
  ~VMurTcp() override;

  const std::string& ServerLocalAddress() const { return server_local_address_; }
  void SetServerLocalAddress(const std::string& value);
  // While listening, the port actually bound (-1 when the socket has none).
  int ServerPort();
  void SetServerPort(int value);
  const std::string& ClientHost() const { return client_host_; }
  // Also takes "host:port".
  void SetClientHost(const std::string& value);
  int ClientPort() const { return client_port_; }
  void SetClientPort(int value) { client_port_ = value; }
  VMurGeneralDistributor* Distributor() const { return distributor_; }
  void SetDistributor(VMurGeneralDistributor* distributor);
  VMurDistributor* InternalDistributor() const { return internal_.get(); }

  uint32_t ReconnectInterval() const { return reconnect_interval_; }
  void SetReconnectInterval(uint32_t ms) { reconnect_interval_ = ms; }
  int ReceiveBufferSize() const { return receive_buffer_size_; }
  void SetReceiveBufferSize(int bytes) { receive_buffer_size_ = bytes; }
  int KeepAliveTime() const { return keep_alive_time_; }
  void SetKeepAliveTime(int ms) { keep_alive_time_ = ms; }
  int KeepAliveInterval() const { return keep_alive_interval_; }
  void SetKeepAliveInterval(int ms) { keep_alive_interval_ = ms; }

  ClientChangeEvent OnClientChange;
  CreateClientEvent OnCreateClient;
  ErrorEvent OnError;

  // The contract.
  std::string GetConfigAsString() override;
  void SetConfigAsString(const std::string& config) override;
  void Free2() override;
  bool StartComm() override;
  void StopComm() override;
  bool WriteCommData(std::string_view data) override;
  bool WriteCommDataTo(ChannelKey channel, std::string_view data) override;
  bool Connected() override { return state_ == CommStateConnected; }
  TCommState GetCommState() override { return state_; }
  // The address dialog with the caption "Communication Settings"; true when confirmed.
  bool ShowSettingsDialog() override;
  // False when no dialog can be shown (no GUI installed a runner).
  bool ShowAddressDialog(const std::string& caption, int language);
  // Installed once by the GUI.
  static void SetDialogRunner(DialogRunner runner);

  bool StartServer();
  void StopServer();
  bool StartClient();
  void StopClient();

  int ClientCount() const { return static_cast<int>(clients_.size()) - 1; }
  // Accepted connection `index`, from 0; nullptr out of range.
  VMurTcpClient* GetClient(int index) const;
  VMurTcpClient* MainClient() const { return clients_[0]; }
  bool ClientActive() const { return client_socket_->Active(); }
  bool ServerListening() const { return server_listening_; }
  bool ServerActive() const { return server_active_; }
  bool ServerWanted() const { return server_wanted_; }
  bool ClientWanted() const { return client_wanted_; }
  int LastWriteError() const { return last_write_error_; }

  // Names the internal distributor after the component once its name is known.
  void Loaded() override;

  // The poll of the internal distributor: reconnects, restarts the server, reads and flushes.
  void Poll(uint32_t the_time);

 protected:
  void Notification(Component* component, Operation operation) override;

 private:
  enum PendingKind : uint8_t { pkData, pkConnect, pkRead, pkWrite, pkDisconnect };
  struct PendingEvent {
    PendingKind kind;
    TCustomWinSocket* socket;
    std::string data;
  };

  // The socket-layer handlers; `sender` is nullptr for direct work.
  void ServerClientConnectQuick(TCustomWinSocket* socket);
  void ServerClientConnect(TCustomWinSocket* socket);
  void ServerClientRead(Object* sender, TCustomWinSocket* socket);
  void ServerClientWrite(Object* sender, TCustomWinSocket* filter);
  void ServerClientDisconnect(Object* sender, TCustomWinSocket* socket);
  void ServerClientError(TCustomWinSocket* socket, TErrorEvent event, int& error_code);

  void Leave();
  void Drain();
  void Queue(PendingKind kind, TCustomWinSocket* socket, std::string data = {});
  bool IsQueued(PendingKind kind, TCustomWinSocket* socket) const;
  void ForgetQueued(TCustomWinSocket* socket);
  int IndexOf(const TCustomWinSocket* socket) const;
  int IndexOf(const VMurTcpClient* client) const;
  VMurTcpClient* CreateClient(bool as_client);
  void DestroyClient(VMurTcpClient* client);
  void RaiseOnError(VMurTcpClient* client, const std::string& desc, int code);
  void Deliver(int index, std::string_view bytes);
  // Sends pieces of `bytes` while the socket takes them whole; returns how many were sent.
  size_t SendPieces(VMurTcpClient* client, std::string_view bytes);
  void ApplyConnectedSocketOptions(TCustomWinSocket* socket);
  void ScheduleDestroy();

  static void HookProc(int error_code);
  void SocketErrorProc(int error_code);

  MessageLoop& loop_;
  std::string server_local_address_;
  int server_port_ = -1;
  std::string client_host_;
  int client_port_ = 0;
  VMurGeneralDistributor* distributor_ = nullptr;

  std::vector<VMurTcpClient*> clients_{nullptr};
  TCommState state_ = CommStateDisconnected;
  bool server_wanted_ = false;
  bool server_listening_ = false;
  bool server_active_ = false;
  bool client_wanted_ = false;
  uint32_t reconnect_interval_ = 20000;
  uint32_t current_interval_ = 20000;
  uint32_t last_attempt_ = 0;
  int receive_buffer_size_ = 8192;
  int keep_alive_time_ = -1;
  int keep_alive_interval_ = -1;
  int last_write_error_ = 0;

  int busy_depth_ = 0;
  std::deque<PendingEvent> pending_events_;
  bool free_pending_ = false;
  bool dying_ = false;
  bool in_poll_ = false;
  std::shared_ptr<int> life_ = std::make_shared<int>(0);

  std::unique_ptr<TServerSocket> server_socket_;
  std::unique_ptr<TClientSocket> client_socket_;
  std::unique_ptr<VMurDistributor> internal_;
};

}  // namespace kestrova
