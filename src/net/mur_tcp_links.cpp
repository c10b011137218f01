// VMurTcp's poll, the starting and stopping of its server and outgoing connection, and writing.
#include "net/mur_tcp.h"

#include "net/mur_tcp_internal.h"
#include "platform/tick.h"
#include "util/tick_math.h"

namespace kestrova {

using tcp_internal::HookTarget;

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
  internal_->WakeTimer();  // polls read, write and retry the listener
  StopServer();
  try {
    server_socket_->SetAddress(server_local_address_);
    server_socket_->SetPort(server_port_);
    if (server_port_ < 0) return false;
    HookTarget() = this;
    server_listening_ = true;
    server_active_ = true;
    server_socket_->SetActive(true);
    HookTarget() = nullptr;
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
    HookTarget() = nullptr;
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
  internal_->WakeTimer();  // polls read, write and reconnect the client
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
