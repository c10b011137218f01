// VMurTcp's socket-layer handlers and the queue that serialises them.
#include "net/mur_tcp.h"

#include <netinet/in.h>
#include <netinet/tcp.h>

#include <algorithm>

#include "net/mur_tcp_internal.h"
#include "net/socket_error.h"

namespace kestrova {

using tcp_internal::IntOption;
using tcp_internal::IsConnectionLoss;
using tcp_internal::kMaxRead;

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

}  // namespace kestrova
