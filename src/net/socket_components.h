// The socket components: TClientSocket (one outgoing connection) and TServerSocket (a listening
// socket and its accepted connections), with published properties and events over the socket
// objects. Only the non-blocking modes exist: every event comes on the loop thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "net/socket_server.h"
#include "net/socket_win_socket.h"
#include "util/component.h"

namespace kestrova {

class TCustomSocket : public Component {
 public:
  using NotifyEvent = std::function<void(Object* sender, TCustomWinSocket* socket)>;
  using ErrorEvent = std::function<void(Object* sender, TCustomWinSocket* socket, TErrorEvent event,
                                        int& error_code)>;

  explicit TCustomSocket(Component* owner) : Component(owner) {}

  // Changes only through the socket's events once loading is over: a request is carried out
  // by DoActivate, and Active follows when the socket reports it is connected or listening.
  bool Active() const { return active_; }
  void SetActive(bool value);
  const std::string& Address() const { return address_; }
  void SetAddress(const std::string& value);
  const std::string& Host() const { return host_; }
  void SetHost(const std::string& value);
  int Port() const { return port_; }
  void SetPort(int value);
  const std::string& Service() const { return service_; }
  void SetService(const std::string& value);

  NotifyEvent OnLookup;
  NotifyEvent OnConnecting;
  NotifyEvent OnConnect;
  NotifyEvent OnDisconnect;
  NotifyEvent OnListen;
  NotifyEvent OnAccept;
  NotifyEvent OnWrite;
  NotifyEvent OnRead;
  ErrorEvent OnError;

  void Loaded() override;

 protected:
  virtual void Event(TCustomWinSocket* socket, TSocketEvent event);
  virtual void Error(TCustomWinSocket* socket, TErrorEvent event, int& error_code);
  virtual void DoActivate(bool value) = 0;
  // Raises "Can't change value while socket is active" when a setting may not change now.
  void CheckInactive() const;
  // The port as the socket takes it; raises ESocketError for one out of range.
  uint16_t CheckedPort() const;
  // Routes the socket object's events and errors to this component.
  void Wire(TCustomWinSocket& socket);

 private:
  bool active_ = false;
  std::string address_;
  std::string host_;
  int port_ = 0;
  std::string service_;
};

class TClientSocket : public TCustomSocket {
 public:
  explicit TClientSocket(Component* owner, MessageLoop* loop = nullptr);
  ~TClientSocket() override;

  TClientWinSocket* Socket() const { return socket_.get(); }
  TClientWinSocket::TClientType ClientType() const { return TClientWinSocket::ctNonBlocking; }
  // Only the non-blocking type is built; asking for the blocking one raises ESocketError.
  void SetClientType(TClientWinSocket::TClientType value);

 protected:
  void DoActivate(bool value) override;

 private:
  std::unique_ptr<TClientWinSocket> socket_;
};

class TServerSocket : public TCustomSocket {
 public:
  explicit TServerSocket(Component* owner, MessageLoop* loop = nullptr);
  ~TServerSocket() override;

  TServerWinSocket* Socket() const { return socket_.get(); }
  TServerWinSocket::TServerType ServerType() const { return TServerWinSocket::stNonBlocking; }
  // Only the non-blocking type is built; asking for the thread type raises ESocketError.
  void SetServerType(TServerWinSocket::TServerType value);
  int ThreadCacheSize() const { return thread_cache_size_; }
  void SetThreadCacheSize(int value) { thread_cache_size_ = value; }

 protected:
  void DoActivate(bool value) override;

 private:
  std::unique_ptr<TServerWinSocket> socket_;
  int thread_cache_size_ = 10;
};

}  // namespace kestrova
