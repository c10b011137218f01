#include "net/socket_components.h"

#include <strings.h>

namespace kestrova {
namespace {

bool SameText(const std::string& a, const std::string& b) {
  return a.size() == b.size() && strcasecmp(a.c_str(), b.c_str()) == 0;
}

}  // namespace

void TCustomSocket::SetActive(bool value) {
  if (value == active_) return;
  if (Loading()) {
    active_ = value;
    return;
  }
  DoActivate(value);
}

void TCustomSocket::Loaded() {
  Component::Loaded();
  if (active_) {
    active_ = false;
    DoActivate(true);
  }
}

void TCustomSocket::CheckInactive() const {
  if (active_ && !Loading()) throw ESocketError("Can't change value while socket is active");
}

void TCustomSocket::SetAddress(const std::string& value) {
  if (SameText(value, address_)) return;
  CheckInactive();
  address_ = value;
}

void TCustomSocket::SetHost(const std::string& value) {
  if (SameText(value, host_)) return;
  CheckInactive();
  host_ = value;
}

void TCustomSocket::SetPort(int value) {
  if (value == port_) return;
  CheckInactive();
  port_ = value;
}

void TCustomSocket::SetService(const std::string& value) {
  if (SameText(value, service_)) return;
  CheckInactive();
  service_ = value;
}

uint16_t TCustomSocket::CheckedPort() const {
  if (port_ < 0 || port_ > 65535) {
    throw ESocketError("Port " + std::to_string(port_) + " is out of range 0..65535");
  }
  return static_cast<uint16_t>(port_);
}

void TCustomSocket::Wire(TCustomWinSocket& socket) {
  socket.SetEventHandler(
      [this](TCustomWinSocket* from, TSocketEvent event) { Event(from, event); });
  socket.SetErrorHandler(
      [this](TCustomWinSocket* from, TErrorEvent event, int& code) { Error(from, event, code); });
}

void TCustomSocket::Event(TCustomWinSocket* socket, TSocketEvent event) {
  const auto raise = [&](const NotifyEvent& handler) {
    if (handler) handler(this, socket);
  };
  switch (event) {
    case sekLookup:
      raise(OnLookup);
      break;
    case sekConnecting:
      raise(OnConnecting);
      break;
    case sekConnect:
      active_ = true;
      raise(OnConnect);
      break;
    case sekDisconnect:
      active_ = false;
      raise(OnDisconnect);
      break;
    case sekListen:
      active_ = true;
      raise(OnListen);
      break;
    case sekAccept:
      raise(OnAccept);
      break;
    case sekWrite:
      raise(OnWrite);
      break;
    case sekRead:
      raise(OnRead);
      break;
  }
}

void TCustomSocket::Error(TCustomWinSocket* socket, TErrorEvent event, int& error_code) {
  if (OnError) OnError(this, socket, event, error_code);
}

TClientSocket::TClientSocket(Component* owner, MessageLoop* loop)
    : TCustomSocket(owner),
      socket_(std::make_unique<TClientWinSocket>(TCustomWinSocket::kInvalidHandle, loop)) {
  Wire(*socket_);
}

TClientSocket::~TClientSocket() { socket_.reset(); }

void TClientSocket::SetClientType(TClientWinSocket::TClientType value) {
  if (value == ClientType()) return;
  CheckInactive();
  throw ESocketError("Blocking client sockets are not supported");
}

void TClientSocket::DoActivate(bool value) {
  if (value == socket_->Connected()) return;
  if (value) {
    socket_->Open(Host(), Address(), Service(), CheckedPort(), true);
  } else {
    socket_->Disconnect(socket_->SocketHandle());
  }
}

TServerSocket::TServerSocket(Component* owner, MessageLoop* loop)
    : TCustomSocket(owner), socket_(std::make_unique<TServerWinSocket>(loop)) {
  Wire(*socket_);
}

TServerSocket::~TServerSocket() { socket_.reset(); }

void TServerSocket::SetServerType(TServerWinSocket::TServerType value) {
  if (value == ServerType()) return;
  CheckInactive();
  throw ESocketError("Thread-blocking server sockets are not supported");
}

void TServerSocket::DoActivate(bool value) {
  if (value == socket_->Connected()) return;
  if (value) {
    socket_->Open(Host(), Address(), Service(), CheckedPort(), false, 40);
  } else {
    socket_->Disconnect(socket_->SocketHandle());
  }
}

}  // namespace kestrova
