#include "net/socket_server.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace kestrova {

TServerClientWinSocket::TServerClientWinSocket(int handle, TServerWinSocket* server,
                                               MessageLoop* loop)
    : TCustomWinSocket(handle, loop), server_(server) {
  server_->AddClient(this);
  if (server_->AsyncStyles() != 0) {
    SetEventHandler([server](TCustomWinSocket* socket, TSocketEvent event) {
      server->ClientEvent(socket, event);
    });
    SetErrorHandler([server](TCustomWinSocket* socket, TErrorEvent event, int& code) {
      server->ClientError(socket, event, code);
    });
  }
}

TServerClientWinSocket::~TServerClientWinSocket() {
  if (server_ != nullptr) server_->RemoveClient(this);
}

TServerWinSocket::TServerWinSocket(MessageLoop* loop) : TCustomWinSocket(kInvalidHandle, loop) {
  SetStyles(kFdAccept);
}

TServerWinSocket::~TServerWinSocket() {
  while (!connections_.empty()) delete connections_.back();
}

void TServerWinSocket::AddClient(TServerClientWinSocket* client) { connections_.push_back(client); }

void TServerWinSocket::RemoveClient(TServerClientWinSocket* client) {
  std::erase(connections_, client);
}

void TServerWinSocket::Accept(int handle) {
  if (handle != SocketHandle() || !Listening()) return;
  const int accepted = accept4(handle, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  // The next pending connection gets its own notice once this one is taken.
  SelectStyles(AsyncStyles());
  if (accepted < 0) return;
  TServerClientWinSocket* client = nullptr;
  if (OnGetSocket) OnGetSocket(this, accepted, client);
  if (client == nullptr) client = new TServerClientWinSocket(accepted, this, &Loop());
  client->SelectStyles(kClientStyles);
  client->Event(sekConnect);
  Event(sekAccept);
}

void TServerWinSocket::Disconnect(int handle) {
  if (handle != SocketHandle()) {
    TCustomWinSocket::Disconnect(handle);
    return;
  }
  while (!connections_.empty()) delete connections_.back();
  TCustomWinSocket::Disconnect(handle);
}

void TServerWinSocket::ClientEvent(TCustomWinSocket* socket, TSocketEvent event) {
  switch (event) {
    case sekConnect:
      if (OnClientConnect) OnClientConnect(this, socket);
      break;
    case sekDisconnect:
      if (OnClientDisconnect) OnClientDisconnect(this, socket);
      // Destroyed after the current notification, from its own window.
      static_cast<TServerClientWinSocket*>(socket)->Window().Post(kDeferredFreeMessage);
      break;
    case sekRead:
      if (OnClientRead) OnClientRead(this, socket);
      break;
    case sekWrite:
      if (OnClientWrite) OnClientWrite(this, socket);
      break;
    default:
      break;
  }
}

void TServerWinSocket::ClientError(TCustomWinSocket* socket, TErrorEvent event, int& error_code) {
  if (OnClientError) OnClientError(this, socket, event, error_code);
}

}  // namespace kestrova
