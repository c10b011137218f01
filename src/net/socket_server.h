// The listening socket object and the objects of the connections it accepts. The connections'
// events reach the owner through the server's OnClient* events, with the server as sender.
#pragma once

#include <functional>
#include <vector>

#include "net/socket_win_socket.h"

namespace kestrova {

class TServerWinSocket;

// One accepted connection; it belongs to its server's list while it lives.
class TServerClientWinSocket : public TCustomWinSocket {
 public:
  TServerClientWinSocket(int handle, TServerWinSocket* server, MessageLoop* loop = nullptr);
  ~TServerClientWinSocket() override;

  TServerWinSocket* ServerWinSocket() const { return server_; }

 private:
  friend class TServerWinSocket;
  TServerWinSocket* server_;
};

class TServerWinSocket : public TCustomWinSocket {
 public:
  enum TServerType { stNonBlocking, stThreadBlocking };
  using NotifyEvent = std::function<void(Object* sender, TCustomWinSocket* socket)>;
  using ErrorEvent = std::function<void(Object* sender, TCustomWinSocket* socket, TErrorEvent event,
                                        int& error_code)>;
  using GetSocketEvent =
      std::function<void(Object* sender, int handle, TServerClientWinSocket*& client)>;

  explicit TServerWinSocket(MessageLoop* loop = nullptr);
  // Destroys the connections still in the list.
  ~TServerWinSocket() override;

  void Accept(int handle) override;
  // For the listening handle: closes every connection (raising nothing) and stops listening.
  void Disconnect(int handle) override;

  int ActiveConnections() const { return static_cast<int>(connections_.size()); }
  TServerClientWinSocket* Connections(int index) const { return connections_.at(index); }
  TServerType ServerType() const { return stNonBlocking; }

  GetSocketEvent OnGetSocket;
  NotifyEvent OnClientConnect;
  NotifyEvent OnClientDisconnect;
  NotifyEvent OnClientRead;
  NotifyEvent OnClientWrite;
  ErrorEvent OnClientError;

 private:
  friend class TServerClientWinSocket;
  void AddClient(TServerClientWinSocket* client);
  void RemoveClient(TServerClientWinSocket* client);
  void ClientEvent(TCustomWinSocket* socket, TSocketEvent event);
  void ClientError(TCustomWinSocket* socket, TErrorEvent event, int& error_code);

  std::vector<TServerClientWinSocket*> connections_;
};

}  // namespace kestrova
