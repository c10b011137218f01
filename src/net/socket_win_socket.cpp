#include "net/socket_win_socket.h"

#include <arpa/inet.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "util/unhandled_exception.h"

namespace kestrova {
namespace {

int ErrnoOf(int result) { return result < 0 ? errno : 0; }

bool WouldBlock(int code) { return code == EAGAIN || code == EWOULDBLOCK; }

TErrorEvent ErrorEventOf(uint32_t bit) {
  switch (bit) {
    case kFdRead:
      return eeReceive;
    case kFdWrite:
      return eeSend;
    case kFdAccept:
      return eeAccept;
    case kFdConnect:
      return eeConnect;
    case kFdClose:
      return eeDisconnect;
    default:
      return eeGeneral;
  }
}

}  // namespace

TCustomWinSocket::TCustomWinSocket(int handle, MessageLoop* loop)
    : loop_(loop != nullptr ? *loop : MainLoop()),
      handle_(handle),
      connected_(handle != kInvalidHandle) {}

TCustomWinSocket::~TCustomWinSocket() {
  on_event_ = nullptr;
  on_error_ = nullptr;
  lookup_.Cancel();
  if (handle_ != kInvalidHandle) CloseHandle();
}

MessageWindow& TCustomWinSocket::Window() {
  if (window_ == nullptr) {
    window_ = std::make_unique<MessageWindow>(
        loop_, [this](Message message) { HandleMessage(std::move(message)); });
  }
  return *window_;
}

void TCustomWinSocket::Event(TSocketEvent event) {
  if (on_event_) on_event_(this, event);
}

void TCustomWinSocket::Error(TErrorEvent event, int& error_code) {
  if (on_error_) on_error_(this, event, error_code);
}

void TCustomWinSocket::HandleMessage(Message message) {
  // Nothing may escape into the loop: what no handler caught is reported, and the loop goes on.
  try {
    switch (message.id) {
      case kSocketNotifyMessage:
        HandleNotify(static_cast<int>(message.wparam),
                     static_cast<uint32_t>(message.lparam & 0xFFFF),
                     static_cast<int>(message.lparam >> 16));
        break;
      case kLookupDoneMessage:
        HandleLookupDone(message.wparam, PayloadValue<SocketLookupResult>(message.payload.get()));
        break;
      case kDeferredFreeMessage:
        delete this;
        break;
      default:
        break;
    }
  } catch (const std::exception& e) {
    ReportUnhandledException(e);
  }
}

void TCustomWinSocket::HandleNotify(int handle, uint32_t bit, int error_code) {
  if (error_code != 0) {
    Error(ErrorEventOf(bit), error_code);
    if (error_code != 0) {
      throw ESocketError("Asynchronous socket error " + std::to_string(error_code));
    }
    return;
  }
  switch (bit) {
    case kFdRead:
      Read(handle);
      break;
    case kFdWrite:
      Write(handle);
      break;
    case kFdAccept:
      Accept(handle);
      break;
    case kFdConnect:
      Connect(handle);
      break;
    case kFdClose:
      Disconnect(handle);
      break;
    default:
      break;
  }
}

void TCustomWinSocket::PostNotify(uint32_t bit, int error_code) {
  Window().Post(kSocketNotifyMessage, static_cast<uintptr_t>(handle_),
                static_cast<intptr_t>(bit) | (static_cast<intptr_t>(error_code) << 16));
}

void TCustomWinSocket::Open(const std::string& host, const std::string& address,
                            const std::string& service, uint16_t port, bool client, int backlog) {
  if (connected_) {
    throw ESocketError(client ? "Socket already open" : "Can't listen on an open socket");
  }
  // A connect still pending from an earlier open is given up, not leaked.
  if (handle_ != kInvalidHandle) CloseHandle();
  handle_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (handle_ < 0) {
    handle_ = kInvalidHandle;
    throw ESocketError("Can't create new socket");
  }
  try {
    lookup_host_ = host;
    lookup_service_ = service;
    lookup_port_ = port;
    lookup_client_ = client;
    lookup_backlog_ = backlog;
    lookup_state_ = LookupState::kNone;
    addr_ = sockaddr_in{};
    addr_.sin_family = AF_INET;
    if (client) {
      Event(sekLookup);
      if (host.empty()) {
        if (address.empty()) {
          int code = NoAddressErrorCode();
          Error(eeLookup, code);
          Close();
          if (code != 0) throw ESocketError("No address specified");
          return;
        }
        addr_.sin_addr.s_addr = inet_addr(address.c_str());
      }
    } else {
      addr_.sin_addr.s_addr = address.empty() ? htonl(INADDR_ANY) : inet_addr(address.c_str());
    }
    AsyncInitSocket();
  } catch (...) {
    Close();
    throw;
  }
}

void TCustomWinSocket::AsyncInitSocket() {
  if (lookup_state_ == LookupState::kNone) {
    lookup_state_ = LookupState::kHost;
    if (lookup_client_ && !lookup_host_.empty()) {
      lookup_request_ = lookup_.Start(Window(), kLookupDoneMessage, lookup_host_, "");
      return;
    }
  }
  FinishLookupStep();
}

// The steps after the host is known: the service, then connect or listen.
void TCustomWinSocket::FinishLookupStep() {
  if (lookup_state_ == LookupState::kHost) {
    lookup_state_ = LookupState::kService;
    if (!lookup_service_.empty()) {
      lookup_request_ = lookup_.Start(Window(), kLookupDoneMessage, "", lookup_service_);
      return;
    }
    addr_.sin_port = htons(lookup_port_);
  }
  lookup_state_ = LookupState::kNone;
  if (lookup_client_) {
    StartConnect();
  } else {
    Listen();
  }
}

void TCustomWinSocket::HandleLookupDone(uintptr_t request, SocketLookupResult* result) {
  if (result == nullptr || request != lookup_request_ || lookup_request_ == 0) return;
  lookup_request_ = 0;
  lookup_.Cancel();
  try {
    int code = result->error;
    if (code != 0) {
      Error(eeLookup, code);
      Close();
      if (code != 0) RaiseSocketCallError(code, "ASync Lookup");
      return;
    }
    if (lookup_state_ == LookupState::kHost) {
      addr_.sin_addr.s_addr = result->address;
    } else if (lookup_state_ == LookupState::kService) {
      addr_.sin_port = result->port;
    }
    FinishLookupStep();
  } catch (...) {
    Close();
    throw;
  }
}

void TCustomWinSocket::StartConnect() {
  SelectStyles(async_styles_);
  Event(sekConnecting);
  if (handle_ == kInvalidHandle) return;
  const int code =
      ErrnoOf(connect(handle_, reinterpret_cast<const sockaddr*>(&addr_), sizeof(addr_)));
  lookup_state_ = LookupState::kNone;
  if (code != 0 && code != EINPROGRESS && !WouldBlock(code)) {
    // Refused at once: the connect notice carries the error, as a late refusal would.
    write_watch_.reset();
    PostNotify(kFdConnect, code);
  }
  CheckSocketResult(code, "connect");
}

void TCustomWinSocket::Listen() {
  const int reuse = 1;
  // A restarted server must not wait for the old connections' TIME_WAIT to pass.
  setsockopt(handle_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof(reuse));
  // A socket that could not be bound is not listened on: Linux would bind it to a random port.
  if (CheckSocketResult(
          ErrnoOf(bind(handle_, reinterpret_cast<const sockaddr*>(&addr_), sizeof(addr_))),
          "bind") != 0 ||
      CheckSocketResult(ErrnoOf(listen(handle_, std::min(lookup_backlog_, 40))), "listen") != 0) {
    lookup_state_ = LookupState::kNone;
    CloseHandle();
    return;
  }
  lookup_state_ = LookupState::kNone;
  listening_ = true;
  connected_ = true;
  SelectStyles(async_styles_);
  Event(sekListen);
}

void TCustomWinSocket::SelectStyles(uint32_t styles) {
  async_styles_ = styles;
  if (handle_ == kInvalidHandle) return;
  if (listening_) {
    if ((styles & kFdAccept) != 0) ArmRead();
  } else if (connected_) {
    StartTransfer();
  } else if ((styles & kFdConnect) != 0) {
    ArmConnect();
  }
}

void TCustomWinSocket::StartTransfer() {
  if ((async_styles_ & (kFdRead | kFdClose)) != 0) ArmRead();
  // Like a fresh connection on any socket API: one write notice says sending may begin.
  if ((async_styles_ & kFdWrite) != 0) PostNotify(kFdWrite, 0);
}

void TCustomWinSocket::ArmRead() {
  if (read_watch_ != nullptr || handle_ == kInvalidHandle) return;
  read_watch_ = loop_.WatchFd(handle_, MessageLoop::Readiness::kReadable, [this] { OnReadable(); });
}

void TCustomWinSocket::ArmWrite() {
  if (write_watch_ != nullptr || handle_ == kInvalidHandle) return;
  if ((async_styles_ & kFdWrite) == 0) return;
  write_watch_ = loop_.WatchFd(handle_, MessageLoop::Readiness::kWritable, [this] {
    write_watch_.reset();
    PostNotify(kFdWrite, 0);
  });
}

void TCustomWinSocket::ArmConnect() {
  write_watch_ = loop_.WatchFd(handle_, MessageLoop::Readiness::kWritable, [this] {
    write_watch_.reset();
    int code = 0;
    socklen_t size = sizeof(code);
    if (getsockopt(handle_, SOL_SOCKET, SO_ERROR, &code, &size) != 0) code = errno;
    PostNotify(kFdConnect, code);
  });
}

// One notice per readiness, as the socket API gives it: the watch stays off until the owner
// has read (or accepted), so an owner that defers its reading is not flooded.
void TCustomWinSocket::OnReadable() {
  read_watch_.reset();
  if (listening_) {
    PostNotify(kFdAccept, 0);
    return;
  }
  int waiting = 0;
  if (ioctl(handle_, FIONREAD, &waiting) == 0 && waiting > 0) {
    PostNotify(kFdRead, 0);
    return;
  }
  char probe;
  const ssize_t peeked = recv(handle_, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
  if (peeked > 0) {
    PostNotify(kFdRead, 0);
  } else if (peeked == 0) {
    PostNotify(kFdClose, 0);
  } else if (WouldBlock(errno)) {
    ArmRead();
  } else {
    PostNotify(kFdClose, errno);
  }
}

void TCustomWinSocket::Accept(int) {}
void TCustomWinSocket::Connect(int) {}

void TCustomWinSocket::Read(int handle) {
  if (handle == handle_) Event(sekRead);
}

void TCustomWinSocket::Write(int handle) {
  if (handle == handle_) Event(sekWrite);
}

void TCustomWinSocket::Disconnect(int handle) {
  lookup_.Cancel();
  lookup_request_ = 0;
  lookup_state_ = LookupState::kNone;
  if (handle != handle_ || handle_ == kInvalidHandle || disconnecting_) return;
  disconnecting_ = true;
  try {
    Event(sekDisconnect);
  } catch (...) {
    disconnecting_ = false;
    CloseHandle();
    throw;
  }
  disconnecting_ = false;
  CloseHandle();
}

void TCustomWinSocket::CloseHandle() {
  read_watch_.reset();
  write_watch_.reset();
  if (window_ != nullptr) window_->DropMessages(kSocketNotifyMessage);
  const int handle = handle_;
  handle_ = kInvalidHandle;
  connected_ = false;
  listening_ = false;
  addr_ = sockaddr_in{};
  if (handle != kInvalidHandle) CheckSocketResult(ErrnoOf(close(handle)), "closesocket");
}

int TCustomWinSocket::SendBuf(const void* buffer, int count) {
  if (!connected_ || handle_ == kInvalidHandle) return 0;
  const ssize_t sent =
      send(handle_, buffer, static_cast<size_t>(std::max(count, 0)), MSG_NOSIGNAL | MSG_DONTWAIT);
  if (sent < 0) {
    int code = errno;
    if (WouldBlock(code)) {
      ArmWrite();
      return -1;
    }
    Error(eeSend, code);
    Close();
    if (code != 0) RaiseSocketCallError(code, "send");
    return -1;
  }
  if (sent < count) ArmWrite();
  return static_cast<int>(sent);
}

int TCustomWinSocket::ReceiveBuf(void* buffer, int count) {
  if (!connected_ || handle_ == kInvalidHandle) return 0;
  if (count == -1) {
    int waiting = 0;
    if (ioctl(handle_, FIONREAD, &waiting) != 0) return 0;
    return waiting;
  }
  const ssize_t got = recv(handle_, buffer, static_cast<size_t>(std::max(count, 0)), MSG_DONTWAIT);
  if (got < 0) {
    int code = errno;
    if (WouldBlock(code)) {
      ArmRead();
      return -1;
    }
    Error(eeReceive, code);
    Close();
    if (code != 0) RaiseSocketCallError(code, "recv");
    return -1;
  }
  ArmRead();
  return static_cast<int>(got);
}

sockaddr_in TCustomWinSocket::RemoteAddr() {
  sockaddr_in peer{};
  if (!connected_ || handle_ == kInvalidHandle) return peer;
  socklen_t size = sizeof(peer);
  if (CheckSocketResult(ErrnoOf(getpeername(handle_, reinterpret_cast<sockaddr*>(&peer), &size)),
                        "getpeername") != 0) {
    return sockaddr_in{};
  }
  return peer;
}

std::string TCustomWinSocket::RemoteAddress() {
  if (!connected_) return "";
  const sockaddr_in peer = RemoteAddr();
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &peer.sin_addr, text, sizeof(text));
  return text;
}

int TCustomWinSocket::RemotePort() {
  if (!connected_) return 0;
  return ntohs(RemoteAddr().sin_port);
}

int TCustomWinSocket::LocalPort() {
  if (handle_ == kInvalidHandle) return -1;
  sockaddr_in local{};
  socklen_t size = sizeof(local);
  if (getsockname(handle_, reinterpret_cast<sockaddr*>(&local), &size) != 0) return -1;
  return ntohs(local.sin_port);
}

void TClientWinSocket::Connect(int handle) {
  if (handle != SocketHandle() || Connected()) return;
  SetConnected(true);
  StartTransfer();
  Event(sekConnect);
}

}  // namespace kestrova
