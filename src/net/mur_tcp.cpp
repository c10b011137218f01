#include "net/mur_tcp.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

#include "net/socket_error.h"
#include "net/tcp_config.h"
#include "platform/tick.h"
#include "util/tick_math.h"

namespace kestrova {
namespace {

constexpr int kMaxRead = 60000;

// The component whose StartServer is activating the listening socket right now.
thread_local VMurTcp* hook_target = nullptr;

// Errors of a send or receive that mean the peer is gone: the connection is closed like a
// normal close before the error is reported.
bool IsConnectionLoss(int code) {
  return code == ECONNABORTED || code == ECONNRESET || code == ESHUTDOWN || code == EPIPE;
}

int IntOption(int fd, int option) {
  int value = 0;
  socklen_t size = sizeof(value);
  if (getsockopt(fd, SOL_SOCKET, option, &value, &size) != 0) return 0;
  return value;
}

VMurTcp::DialogRunner& DialogRunnerSlot() {
  static VMurTcp::DialogRunner runner;
  return runner;
}

}  // namespace

VMurTcp::VMurTcp(Component* owner, MessageLoop* loop)
    : VMurCommunicationComponent(owner),
      loop_(loop != nullptr ? *loop : MainLoop()),
      server_socket_(std::make_unique<TServerSocket>(nullptr, &loop_)),
      client_socket_(std::make_unique<TClientSocket>(nullptr, &loop_)),
      internal_(std::make_unique<VMurDistributor>(nullptr)) {
  // Failing socket calls of the GUI thread are reported, never raised.
  SetSocketErrorProc(&VMurTcp::HookProc);

  TServerWinSocket* server = server_socket_->Socket();
  server->OnClientConnect = [this](Object*, TCustomWinSocket* s) { ServerClientConnectQuick(s); };
  server->OnClientRead = [this](Object* sender, TCustomWinSocket* s) {
    ServerClientRead(sender, s);
  };
  server->OnClientWrite = [this](Object* sender, TCustomWinSocket* s) {
    ServerClientWrite(sender, s);
  };
  server->OnClientDisconnect = [this](Object* sender, TCustomWinSocket* s) {
    ServerClientDisconnect(sender, s);
  };
  server->OnClientError = [this](Object*, TCustomWinSocket* s, TErrorEvent event, int& code) {
    ServerClientError(s, event, code);
  };
  client_socket_->OnConnect = [this](Object*, TCustomWinSocket* s) { ServerClientConnectQuick(s); };
  client_socket_->OnRead = [this](Object* sender, TCustomWinSocket* s) {
    ServerClientRead(sender, s);
  };
  client_socket_->OnWrite = [this](Object* sender, TCustomWinSocket* s) {
    ServerClientWrite(sender, s);
  };
  client_socket_->OnDisconnect = [this](Object* sender, TCustomWinSocket* s) {
    ServerClientDisconnect(sender, s);
  };
  client_socket_->OnError = [this](Object*, TCustomWinSocket* s, TErrorEvent event, int& code) {
    ServerClientError(s, event, code);
  };

  internal_->SetName("VMurTcp_Distributor");
  internal_->OnTimerPoll() = [this](VMurGeneralDistributor*, uint32_t& the_time) {
    Poll(the_time);
  };
}

VMurTcp::~VMurTcp() {
  SetDistributor(nullptr);
  StopComm();
  for (size_t i = clients_.size(); i-- > 0;) {
    VMurTcpClient* client = clients_[i];
    if (client == nullptr) continue;
    if (client->Socket() != nullptr) client->Socket()->Close();
    delete client;
  }
  clients_.clear();
  pending_events_.clear();
  internal_.reset();
  client_socket_.reset();
  server_socket_.reset();
  if (hook_target == this) hook_target = nullptr;
}

void VMurTcp::Loaded() {
  VMurCommunicationComponent::Loaded();
  internal_->SetName(Name() + "_FDistributor");
}

void VMurTcp::HookProc(int error_code) {
  if (hook_target != nullptr) hook_target->SocketErrorProc(error_code);
}

// Any failure to bind or listen means the server is not listening; the poll tries again.
void VMurTcp::SocketErrorProc(int error_code) {
  if (error_code == 0) return;
  server_listening_ = false;
  server_active_ = false;
}

void VMurTcp::Notification(Component* component, Operation operation) {
  VMurCommunicationComponent::Notification(component, operation);
  if (operation == Operation::kRemove && component == distributor_) {
    distributor_ = nullptr;
    internal_->SetDistributor(nullptr);
  }
}

void VMurTcp::SetDistributor(VMurGeneralDistributor* distributor) {
  if (distributor_ != nullptr) {
    distributor_->RemoveFreeNotification(this);
    internal_->SetDistributor(nullptr);
  }
  distributor_ = distributor;
  if (distributor_ != nullptr) {
    distributor_->FreeNotification(this);
    internal_->SetDistributor(distributor_);
  }
}

void VMurTcp::SetServerLocalAddress(const std::string& value) {
  if (Connected()) StopServer();
  server_local_address_ = value;
}

int VMurTcp::ServerPort() {
  if (server_listening_) return server_socket_->Socket()->LocalPort();
  return server_port_;
}

void VMurTcp::SetServerPort(int value) {
  if (Connected()) StopServer();
  server_port_ = value;
}

void VMurTcp::SetClientHost(const std::string& value) {
  if (value.empty()) {
    client_port_ = 0;
    client_host_.clear();
    return;
  }
  const bool was_wanted = client_wanted_;
  if (was_wanted) StopClient();
  std::string host = value;
  for (size_t i = value.size() - 1; i-- > 1;) {
    if (value[i] != ':') continue;
    const std::string digits = value.substr(i + 1);
    int port = -1;
    if (!digits.empty() && digits.size() <= 9 &&
        std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      port = std::stoi(digits);
    }
    if (port >= 0) {
      client_port_ = port;
      host = value.substr(0, i);
    }
    break;
  }
  client_host_ = host;
  if (was_wanted) StartClient();
}

VMurTcpClient* VMurTcp::GetClient(int index) const {
  if (index < 0 || index >= ClientCount()) return nullptr;
  return clients_[static_cast<size_t>(index) + 1];
}

void VMurTcp::Free2() {
  if (busy_depth_ <= 0 && !in_poll_) {
    delete this;
    return;
  }
  free_pending_ = true;
}

// Destruction from the loop once the handlers on the stack (and the socket layer's frames
// beneath them) have returned; the component goes quiet until then.
void VMurTcp::ScheduleDestroy() {
  if (dying_) return;
  dying_ = true;
  loop_.Post([this, life = std::weak_ptr<int>(life_)] {
    if (!life.expired()) delete this;
  });
}

std::string VMurTcp::GetConfigAsString() { return TcpConfigString(*this); }

void VMurTcp::SetConfigAsString(const std::string& config) { ApplyTcpConfigString(*this, config); }

bool VMurTcp::ShowSettingsDialog() { return ShowAddressDialog("Communication Settings", 0); }

bool VMurTcp::ShowAddressDialog(const std::string& caption, int language) {
  const DialogRunner& runner = DialogRunnerSlot();
  return runner ? runner(*this, caption, language) : false;
}

void VMurTcp::SetDialogRunner(DialogRunner runner) { DialogRunnerSlot() = std::move(runner); }

bool VMurTcp::StartComm() {
  const bool server = StartServer();
  const bool client = StartClient();
  return server || client;
}

void VMurTcp::StopComm() {
  StopServer();
  StopClient();
}

// --- Queue and busy rule ---------------------------------------------------------------

void VMurTcp::Queue(PendingKind kind, TCustomWinSocket* socket, std::string data) {
  if (kind != pkData && IsQueued(kind, socket)) return;
  pending_events_.push_back({kind, socket, std::move(data)});
}

bool VMurTcp::IsQueued(PendingKind kind, TCustomWinSocket* socket) const {
  return std::any_of(pending_events_.begin(), pending_events_.end(),
                     [&](const PendingEvent& e) { return e.kind == kind && e.socket == socket; });
}

void VMurTcp::ForgetQueued(TCustomWinSocket* socket) {
  std::erase_if(pending_events_, [&](const PendingEvent& e) { return e.socket == socket; });
}

void VMurTcp::Leave() {
  if (--busy_depth_ > 0) return;
  const bool free = free_pending_;
  free_pending_ = false;
  Drain();
  if (free) ScheduleDestroy();
}

void VMurTcp::Drain() {
  struct Busy {
    explicit Busy(int& depth) : depth_(depth) { ++depth_; }
    ~Busy() { --depth_; }
    int& depth_;
  };
  while (!pending_events_.empty() && !dying_) {
    PendingEvent event = std::move(pending_events_.front());
    pending_events_.pop_front();
    switch (event.kind) {
      case pkData: {
        const int index = IndexOf(event.socket);
        if (index < 0) {
          RaiseOnError(nullptr, "Cached data came from unconnected socket", 2);
          return;
        }
        Busy busy(busy_depth_);
        Deliver(index, event.data);
        break;
      }
      case pkConnect: {
        Busy busy(busy_depth_);
        ServerClientConnect(event.socket);
        break;
      }
      case pkRead:
      case pkWrite: {
        if (IsQueued(pkDisconnect, event.socket)) break;
        Busy busy(busy_depth_);
        if (event.kind == pkRead) {
          ServerClientRead(nullptr, event.socket);
        } else {
          ServerClientWrite(nullptr, event.socket);
        }
        break;
      }
      case pkDisconnect:
        ServerClientDisconnect(nullptr, event.socket);
        break;
    }
  }
}

int VMurTcp::IndexOf(const TCustomWinSocket* socket) const {
  if (socket == client_socket_->Socket()) return 0;
  for (size_t i = 1; i < clients_.size(); ++i) {
    if (clients_[i] != nullptr && clients_[i]->Socket() == socket) return static_cast<int>(i);
  }
  return -1;
}

int VMurTcp::IndexOf(const VMurTcpClient* client) const {
  if (client == nullptr) return -1;
  const auto found = std::find(clients_.begin(), clients_.end(), client);
  return found == clients_.end() ? -1 : static_cast<int>(found - clients_.begin());
}

VMurTcpClient* VMurTcp::CreateClient(bool as_client) {
  VMurTcpClient* client = nullptr;
  if (OnCreateClient) OnCreateClient(this, client, as_client);
  if (client == nullptr) client = new VMurTcpClient(this);
  client->SetOwner(this);
  client->SetName(Name());
  return client;
}

void VMurTcp::DestroyClient(VMurTcpClient* client) { delete client; }

void VMurTcp::RaiseOnError(VMurTcpClient* client, const std::string& desc, int code) {
  if (OnError) OnError(this, client, desc, code);
}

void VMurTcp::Deliver(int index, std::string_view bytes) {
  if (index == 0) {
    try {
      DoReceiveData(bytes);
    } catch (const Exception& e) {
      if (distributor_ != nullptr && distributor_->OnCallbackException()) {
        bool handled = false;
        distributor_->OnCallbackException()(distributor_, e, kReadCallbackId, handled);
      }
    }
    return;
  }
  VMurTcpClient* client = clients_[static_cast<size_t>(index)];
  while (!bytes.empty()) {
    const std::string_view piece = bytes.substr(0, kMaxEventBytes);
    bytes.remove_prefix(piece.size());
    // A copy: the handler may replace the handlers while it runs.
    if (AdvancedReceiveEvent handler = OnAdvancedReceiveData()) handler(this, client, piece);
    if (IndexOf(client) < 0) return;
  }
}

// --- Socket-layer handlers ---------------------------------------------------------------

void VMurTcp::ServerClientConnectQuick(TCustomWinSocket* socket) {
  if (!dying_) Queue(pkConnect, socket);
}

void VMurTcp::ServerClientConnect(TCustomWinSocket* socket) {
  // A connection that closed before it was processed is not announced.
  if (!socket->Connected()) return;
  const int send_buffer = IntOption(socket->SocketHandle(), SO_SNDBUF);
  const int index = IndexOf(socket);
  if (index >= 1) {
    RaiseOnError(clients_[static_cast<size_t>(index)], "Client connecting twice", 0);
    return;
  }
  VMurTcpClient* client = index == 0 ? clients_[0] : nullptr;
  if (client == nullptr) {
    client = CreateClient(false);
    client->SetIsOutgoing(index == 0);
    if (index == 0) {
      clients_[0] = client;
    } else {
      clients_.push_back(client);
    }
  }
  client->SetSocket(socket);
  client->SetHost(socket->RemoteAddress());
  client->SetPort(socket->RemotePort());
  client->SetMaxWrite(send_buffer);
  if (index < 0) {
    RaiseOnError(client, "Connected from " + client->Host() + ":" + std::to_string(client->Port()),
                 1);
    client->SetIsConnected(true);
    if (OnClientChange) OnClientChange(this, client, vsioAdd);
    DoStateChange(client, CommStateConnected);
    return;
  }
  RaiseOnError(client, "Connected to " + client->Host() + ":" + std::to_string(client->Port()), 1);
  ApplyConnectedSocketOptions(socket);
  client->SetIsConnected(true);
  if (OnClientChange) OnClientChange(this, client, vsioAdd);
  state_ = CommStateConnected;
  DoStateChange(nullptr, CommStateConnected);
  // Output written while the connect was pending leaves now, not at the next poll.
  ServerClientWrite(nullptr, socket);
}

// Keep-alive when both times are set, and the receive buffer size; failures change nothing.
void VMurTcp::ApplyConnectedSocketOptions(TCustomWinSocket* socket) {
  const int fd = socket->SocketHandle();
  if (keep_alive_time_ != 0 && keep_alive_time_ != -1 && keep_alive_interval_ != 0 &&
      keep_alive_interval_ != -1) {
    const int on = 1;
    const int idle = std::max(1, keep_alive_time_ / 1000);
    const int interval = std::max(1, keep_alive_interval_ / 1000);
    setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof(on));
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof(idle));
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof(interval));
  }
  if (IntOption(fd, SO_RCVBUF) != receive_buffer_size_) {
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receive_buffer_size_, sizeof(receive_buffer_size_));
  }
}

void VMurTcp::ServerClientRead(Object* sender, TCustomWinSocket* socket) {
  if (dying_) return;
  if (sender != nullptr && busy_depth_ > 0) {
    Queue(pkRead, socket);
    return;
  }
  ++busy_depth_;
  try {
    int available = socket->ReceiveLength();
    while (available > 0) {
      const int wanted = std::min(available, kMaxRead);
      std::string bytes(static_cast<size_t>(wanted), '\0');
      const int index = IndexOf(socket);
      if (index < 0) {
        const bool connect_queued = IsQueued(pkConnect, socket);
        if (!connect_queued) RaiseOnError(nullptr, "Data came from unconnected socket", 2);
        const int got = socket->ReceiveBuf(bytes.data(), wanted);
        if (connect_queued && got > 0) {
          bytes.resize(static_cast<size_t>(got));
          Queue(pkData, socket, std::move(bytes));
        }
        break;
      }
      const int got = socket->ReceiveBuf(bytes.data(), wanted);
      if (got <= 0) break;
      Deliver(index, std::string_view(bytes).substr(0, static_cast<size_t>(got)));
      // The handlers may have closed the connection (and its socket object gone with it).
      if (dying_ || IndexOf(socket) < 0 || IsQueued(pkDisconnect, socket)) break;
      available = socket->ReceiveLength();
    }
  } catch (...) {
    Leave();
    throw;
  }
  Leave();
}

size_t VMurTcp::SendPieces(VMurTcpClient* client, std::string_view bytes) {
  const size_t piece = static_cast<size_t>(std::max(client->MaxWrite() - 10, 1));
  size_t done = 0;
  while (done < bytes.size()) {
    TCustomWinSocket* socket = client->Socket();
    if (socket == nullptr) break;
    const size_t size = std::min(piece, bytes.size() - done);
    const int sent = socket->SendBuf(bytes.data() + done, static_cast<int>(size));
    if (IndexOf(client) < 0) return done;
    if (sent <= 0) break;
    done += static_cast<size_t>(sent);
    // A short send means the socket is full; its write notice brings the rest.
    if (static_cast<size_t>(sent) < size) break;
  }
  return done;
}

void VMurTcp::ServerClientWrite(Object* sender, TCustomWinSocket* filter) {
  if (dying_) return;
  if (sender != nullptr && busy_depth_ > 0) {
    Queue(pkWrite, filter);
    return;
  }
  ++busy_depth_;
  for (size_t i = clients_.size(); i-- > 0;) {
    if (i >= clients_.size()) continue;
    VMurTcpClient* client = clients_[i];
    if (client == nullptr || !client->IsConnected()) continue;
    if (filter != nullptr && client->Socket() != filter) continue;
    if (client->PendingOut().empty() || client->Socket() == nullptr) continue;
    try {
      const size_t sent = SendPieces(client, client->PendingOut());
      if (sent > 0 && IndexOf(client) >= 0) client->ConsumePendingOut(sent);
    } catch (const Exception&) {
      // One connection's failure must not keep the others from their output.
    }
  }
  Leave();
}

void VMurTcp::ServerClientDisconnect(Object* sender, TCustomWinSocket* socket) {
  (void)sender;
  if (dying_) return;
  if (busy_depth_ >= 1) {
    const int index = IndexOf(socket);
    VMurTcpClient* client = index >= 0 ? clients_[static_cast<size_t>(index)] : nullptr;
    if (client != nullptr && !client->Drained()) {
      for (int available = socket->ReceiveLength(); available > 0;
           available = socket->ReceiveLength()) {
        std::string bytes(static_cast<size_t>(std::min(available, kMaxRead)), '\0');
        const int got = socket->ReceiveBuf(bytes.data(), static_cast<int>(bytes.size()));
        if (got <= 0) break;
        bytes.resize(static_cast<size_t>(got));
        Queue(pkData, socket, std::move(bytes));
      }
      client->SetDrained(true);
    }
    Queue(pkDisconnect, socket);
    return;
  }
  ++busy_depth_;
  try {
    // A connection that closes before its connect was processed is announced first, with the
    // bytes that came before the close, so that its removal is never lost.
    if (IsQueued(pkConnect, socket)) {
      std::vector<std::string> early;
      for (auto it = pending_events_.begin(); it != pending_events_.end();) {
        if (it->socket == socket && (it->kind == pkConnect || it->kind == pkData)) {
          if (it->kind == pkData) early.push_back(std::move(it->data));
          it = pending_events_.erase(it);
        } else {
          ++it;
        }
      }
      ServerClientConnect(socket);
      for (const std::string& bytes : early) {
        const int index = IndexOf(socket);
        if (index >= 0) Deliver(index, bytes);
      }
    }
    int index = IndexOf(socket);
    VMurTcpClient* client = index >= 0 ? clients_[static_cast<size_t>(index)] : nullptr;
    if (client != nullptr && !client->Drained()) {
      client->SetDrained(true);
      if (client->IsConnected()) ServerClientRead(nullptr, socket);
      index = IndexOf(socket);
      client = index >= 0 ? clients_[static_cast<size_t>(index)] : nullptr;
    }
    if (index >= 0 && !dying_) {
      if (index == 0) {
        clients_[0] = nullptr;
      } else {
        clients_.erase(clients_.begin() + index);
      }
      if (client != nullptr) {
        client->SetSocket(nullptr);
        if (OnClientChange) OnClientChange(this, client, vsioRemove);
      }
      if (client == nullptr || !client->SuppressState()) {
        if (index == 0) {
          state_ = CommStateDisconnected;
          DoStateChange(nullptr, CommStateDisconnected);
        } else {
          DoStateChange(client, CommStateDisconnected);
        }
      }
      if (client != nullptr) DestroyClient(client);
      if (index == 0) {
        std::erase_if(pending_events_, [&](const PendingEvent& e) {
          return e.socket == socket && e.kind == pkDisconnect;
        });
      } else {
        // The socket object goes after this notice; nothing queued may refer to it.
        ForgetQueued(socket);
      }
    }
  } catch (...) {
    Leave();
    throw;
  }
  Leave();
}

void VMurTcp::ServerClientError(TCustomWinSocket* socket, TErrorEvent event, int& error_code) {
  if (dying_) {
    error_code = 0;
    return;
  }
  if ((event == eeSend || event == eeReceive) && IsConnectionLoss(error_code)) {
    ServerClientDisconnect(this, socket);
  } else if (event == eeDisconnect) {
    if (socket == client_socket_->Socket() && clients_[0] != nullptr) {
      clients_[0]->SetSuppressState(true);
    }
    socket->Close();
  }
  const std::string text = SocketErrorText(error_code);
  const int index = IndexOf(socket);
  if (index >= 0 && !dying_) {
    VMurTcpClient* client = clients_[static_cast<size_t>(index)];
    RaiseOnError(client, text, 1);
    if (error_code != 0) {
      // The handler may have changed the list.
      const int now = IndexOf(socket);
      VMurTcpClient* channel = now >= 0 ? clients_[static_cast<size_t>(now)] : nullptr;
      DoStateChange(channel == nullptr || channel->IsOutgoing() ? ChannelKey() : channel,
                    CommStateFailed);
      state_ = CommStateFailed;
    }
  }
  error_code = 0;
}

// --- Poll ----------------------------------------------------------------------------------

void VMurTcp::Poll(uint32_t the_time) {
  if (dying_) return;
  in_poll_ = true;
  if (reconnect_interval_ != 0 && TimeElapsed(last_attempt_, current_interval_, the_time)) {
    current_interval_ = reconnect_interval_;
    last_attempt_ = the_time;
    VMurTcpClient* main = clients_[0];
    if (client_wanted_ &&
        (main == nullptr || main->Socket() == nullptr || !main->Socket()->Connected())) {
      StartClient();
    }
    if (server_wanted_ && !server_listening_) StartServer();
  }
  if (busy_depth_ == 0 && !dying_) {
    if (client_wanted_) ServerClientRead(nullptr, client_socket_->Socket());
    TServerWinSocket* server = server_socket_->Socket();
    std::vector<TServerClientWinSocket*> connections;
    for (int i = 0; i < server->ActiveConnections(); ++i) {
      connections.push_back(server->Connections(i));
    }
    for (TServerClientWinSocket* connection : connections) {
      if (dying_) break;
      bool present = false;
      for (int i = 0; i < server->ActiveConnections() && !present; ++i) {
        present = server->Connections(i) == connection;
      }
      if (present) ServerClientRead(nullptr, connection);
    }
    if (!dying_) ServerClientWrite(nullptr, nullptr);
  }
  in_poll_ = false;
  if (free_pending_ && busy_depth_ == 0) {
    free_pending_ = false;
    ScheduleDestroy();
  }
}

// --- Server and client ---------------------------------------------------------------------

bool VMurTcp::StartServer() {
  StopServer();
  try {
    server_socket_->SetAddress(server_local_address_);
    server_socket_->SetPort(server_port_);
    if (server_port_ < 0) return false;
    hook_target = this;
    server_listening_ = true;
    server_active_ = true;
    server_socket_->SetActive(true);
    hook_target = nullptr;
    server_wanted_ = true;
    if (!server_socket_->Active()) {
      server_listening_ = false;
      server_active_ = false;
    }
    const bool result = server_listening_;
    if (result) {
      state_ = client_socket_->Active() ? CommStateConnected : CommStateDisconnected;
      DoStateChange(nullptr, state_);
    }
    return result;
  } catch (const ESocketError&) {
    hook_target = nullptr;
    server_listening_ = false;
    server_active_ = false;
    return false;
  }
}

void VMurTcp::StopServer() {
  const bool was_listening = server_listening_;
  server_active_ = false;
  for (size_t i = clients_.size(); i-- > 1;) {
    if (i >= clients_.size()) continue;
    VMurTcpClient* client = clients_[i];
    if (client == nullptr || client->Socket() == nullptr) continue;
    try {
      client->Socket()->Close();
    } catch (const std::exception&) {
      // Closing goes on with the next connection.
    }
  }
  TServerWinSocket* server = server_socket_->Socket();
  for (int i = 0; i < server->ActiveConnections(); ++i) {
    TServerClientWinSocket* connection = server->Connections(i);
    try {
      connection->Close();
    } catch (const std::exception&) {
      // As above.
    }
  }
  for (int i = 0; i < server->ActiveConnections(); ++i) ForgetQueued(server->Connections(i));
  server_socket_->SetActive(false);
  // A socket that never got to listen still holds its handle; it goes too.
  if (server->SocketHandle() != TCustomWinSocket::kInvalidHandle) server->Close();
  server_wanted_ = false;
  server_listening_ = false;
  while (clients_.size() > 1) {
    VMurTcpClient* client = clients_.back();
    clients_.pop_back();
    if (client == nullptr) continue;
    client->SetSocket(nullptr);
    if (OnClientChange) OnClientChange(this, client, vsioRemove);
    DestroyClient(client);
  }
  if (was_listening) DoStateChange(nullptr, state_);
}

bool VMurTcp::StartClient() {
  std::string survivors;
  if (clients_[0] != nullptr && clients_[0]->Socket() != nullptr &&
      !clients_[0]->Socket()->Connected()) {
    survivors = clients_[0]->PendingOut();
  }
  StopClient();
  bool result = false;
  try {
    client_socket_->SetPort(client_port_);
    client_socket_->SetHost(client_host_);
    if (client_port_ <= 0) return false;
    last_attempt_ = TickCount();
    client_socket_->SetActive(true);
    client_wanted_ = true;
    result = true;
    VMurTcpClient* client = clients_[0];
    if (client == nullptr) {
      client = CreateClient(true);
      client->SetIsOutgoing(true);
      clients_[0] = client;
    }
    current_interval_ = reconnect_interval_;
    client->SetPendingOut(survivors);
    client->SetSocket(client_socket_->Socket());
    client->SetHost(client_host_);
    client->SetPort(client_port_);
    client->SetMaxWrite(4096);
    RaiseOnError(client, "Connecting to " + client_host_ + ":" + std::to_string(client_port_), 3);
  } catch (const ESocketError&) {
    // Result stays what was reached; the poll tries again.
  }
  return result;
}

void VMurTcp::StopClient() {
  if (client_wanted_ && !client_socket_->Active()) {
    VMurTcpClient* main = clients_[0];
    const bool saved = main != nullptr && main->SuppressState();
    if (main != nullptr) main->SetSuppressState(true);
    client_socket_->Socket()->Close();
    if (clients_[0] != nullptr) clients_[0]->SetSuppressState(saved);
  } else {
    client_socket_->SetActive(false);
  }
  client_wanted_ = false;
  current_interval_ = reconnect_interval_;
  if (clients_[0] != nullptr) clients_[0]->SetSocket(nullptr);
}

// --- Writing -------------------------------------------------------------------------------

bool VMurTcp::WriteCommData(std::string_view data) {
  last_write_error_ = 0;
  if (clients_[0] == nullptr) {
    last_write_error_ = 1;
    return false;
  }
  return WriteCommDataTo(clients_[0], data);
}

bool VMurTcp::WriteCommDataTo(ChannelKey channel, std::string_view data) {
  last_write_error_ = 0;
  VMurTcpClient* client = nullptr;
  if (channel.IsNil() || channel == ChannelKey(this)) {
    client = clients_[0];
    if (client == nullptr) {
      last_write_error_ = 2;
      return false;
    }
  } else {
    Object* object = channel.AsObject();
    for (VMurTcpClient* known : clients_) {
      if (known != nullptr && known == object) client = known;
    }
    if (client == nullptr) {
      if (VMurTcpClient::IsLive(object)) {
        VMurTcpClient* stranger = static_cast<VMurTcpClient*>(object);
        RaiseOnError(stranger, "Writing to non-existing Client", 4);
        last_write_error_ = 3;
      } else {
        RaiseOnError(nullptr, "Writing to non-existing Client", 5);
        last_write_error_ = 4;
      }
      return false;
    }
  }
  TCustomWinSocket* socket = client->Socket();
  if (socket == nullptr) {
    last_write_error_ = 5;
    return false;
  }
  size_t sent = 0;
  if (socket->Connected()) {
    // Older output first; the new bytes go directly only behind all of it.
    if (!client->PendingOut().empty() && client->IsConnected()) {
      const size_t flushed = SendPieces(client, client->PendingOut());
      if (IndexOf(client) < 0) {
        last_write_error_ = 7;
        return false;
      }
      client->ConsumePendingOut(flushed);
    }
    if (client->PendingOut().empty() && !data.empty()) sent = SendPieces(client, data);
  } else if (!client_wanted_ || !client->IsOutgoing()) {
    // Only the outgoing connection keeps output for a connection still to come.
    last_write_error_ = 6;
    return false;
  }
  if (sent >= data.size()) return true;
  if (IndexOf(client) < 0) {
    last_write_error_ = 7;
    return false;
  }
  client->AppendPendingOut(data.substr(sent));
  return true;
}

}  // namespace kestrova
