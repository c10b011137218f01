// Socket objects: each owns one non-blocking TCP socket, watches it on the message loop and
// turns its readiness into read, write, accept, connect and close notifications, delivered
// through its own message window and raised as socket events.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "net/socket_error.h"
#include "net/socket_lookup.h"
#include "platform/message_loop.h"
#include "platform/message_window.h"
#include "util/object.h"

namespace kestrova {

enum TSocketEvent {
  sekLookup,
  sekConnecting,
  sekConnect,
  sekDisconnect,
  sekListen,
  sekAccept,
  sekWrite,
  sekRead
};

// Notification bits of a socket's style mask.
inline constexpr uint32_t kFdRead = 1;
inline constexpr uint32_t kFdWrite = 2;
inline constexpr uint32_t kFdAccept = 8;
inline constexpr uint32_t kFdConnect = 16;
inline constexpr uint32_t kFdClose = 32;
inline constexpr uint32_t kClientStyles = kFdRead | kFdWrite | kFdConnect | kFdClose;  // 51

// Messages of a socket's window.
inline constexpr uint32_t kSocketNotifyMessage = 1025;  // wparam handle, lparam bit | code << 16
inline constexpr uint32_t kDeferredFreeMessage = 1026;
inline constexpr uint32_t kLookupDoneMessage = 1027;  // wparam request id

class TCustomWinSocket : public Object {
 public:
  using EventHandler = std::function<void(TCustomWinSocket* socket, TSocketEvent event)>;
  using ErrorHandler =
      std::function<void(TCustomWinSocket* socket, TErrorEvent event, int& error_code)>;

  static constexpr int kInvalidHandle = -1;

  // Takes over `handle` (an accepted connection) or starts without one (kInvalidHandle).
  // Without a loop the socket runs on MainLoop().
  explicit TCustomWinSocket(int handle, MessageLoop* loop = nullptr);
  // Raises no events: the targets are cleared before an open handle is closed.
  ~TCustomWinSocket() override;

  // The notifications, by the handle they concern.
  virtual void Accept(int handle);
  virtual void Connect(int handle);
  virtual void Disconnect(int handle);
  virtual void Read(int handle);
  virtual void Write(int handle);

  void Close() { Disconnect(handle_); }
  // -1 when the send would block (or failed and the error event absorbed it); 0 unconnected.
  int SendBuf(const void* buffer, int count);
  // `count` -1 gives the number of bytes waiting; 0 when unconnected.
  int ReceiveBuf(void* buffer, int count);
  int ReceiveLength() { return ReceiveBuf(nullptr, -1); }
  std::string RemoteAddress();
  int RemotePort();
  sockaddr_in RemoteAddr();
  int LocalPort();
  int SocketHandle() const { return handle_; }
  bool Connected() const { return connected_; }
  uint32_t AsyncStyles() const { return async_styles_; }

  // Starts opening: resolves (asynchronously where a name must be looked up), then connects
  // (`client`) or binds and listens with `backlog`. Raises ESocketError as the layer does.
  void Open(const std::string& host, const std::string& address, const std::string& service,
            uint16_t port, bool client, int backlog = 40);
  bool Listening() const { return listening_; }

  void SetEventHandler(EventHandler handler) { on_event_ = std::move(handler); }
  void SetErrorHandler(ErrorHandler handler) { on_error_ = std::move(handler); }

 protected:
  friend class TServerWinSocket;
  enum class LookupState { kNone, kHost, kService };

  void Event(TSocketEvent event);
  void Error(TErrorEvent event, int& error_code);
  // Selects the notifications of `styles` for the handle and arms what they need.
  void SelectStyles(uint32_t styles);
  // After a connection is made (connected or accepted): reading and a first write notice.
  void StartTransfer();
  void SetConnected(bool value) { connected_ = value; }
  void SetStyles(uint32_t styles) { async_styles_ = styles; }
  MessageLoop& Loop() { return loop_; }
  MessageWindow& Window();
  // Closes the handle and forgets the watches and queued notifications (no events).
  void CloseHandle();

 private:
  void HandleMessage(Message message);
  void HandleNotify(int handle, uint32_t bit, int error_code);
  void HandleLookupDone(uintptr_t request, SocketLookupResult* result);
  void AsyncInitSocket();
  void StartConnect();
  void Listen();
  void ArmRead();
  void ArmWrite();
  void ArmConnect();
  void OnReadable();
  void PostNotify(uint32_t bit, int error_code);
  void FinishLookupStep();

  MessageLoop& loop_;
  int handle_;
  bool connected_;
  uint32_t async_styles_ = kClientStyles;
  std::unique_ptr<MessageWindow> window_;
  LoopHandle read_watch_;
  LoopHandle write_watch_;
  bool listening_ = false;
  bool disconnecting_ = false;  // the disconnect event is running; a nested Close waits for it

  LookupState lookup_state_ = LookupState::kNone;
  SocketLookup lookup_;
  uintptr_t lookup_request_ = 0;
  std::string lookup_host_;
  std::string lookup_service_;
  uint16_t lookup_port_ = 0;
  bool lookup_client_ = false;
  int lookup_backlog_ = 0;
  sockaddr_in addr_{};

  EventHandler on_event_;
  ErrorHandler on_error_;
};

// The socket of an outgoing connection.
class TClientWinSocket : public TCustomWinSocket {
 public:
  enum TClientType { ctNonBlocking, ctBlocking };

  explicit TClientWinSocket(int handle, MessageLoop* loop = nullptr)
      : TCustomWinSocket(handle, loop) {}

  // The connect notification: the connection is made.
  void Connect(int handle) override;
  TClientType ClientType() const { return ctNonBlocking; }
};

}  // namespace kestrova
