// VMurTcpClient: one connection of the TCP component (the outgoing one or an accepted one) and
// the channel that names it in the component's events.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "util/object.h"

namespace kestrova {

class TCustomWinSocket;
class VMurTcp;

class VMurTcpClient : public Object {
 public:
  // `owner` may be nullptr until the component adopts the object.
  explicit VMurTcpClient(VMurTcp* owner = nullptr);
  ~VMurTcpClient() override;

  // True while `object` is a VMurTcpClient that has not been destroyed. Channels are keys that
  // may outlive their objects, so this is asked instead of a cast.
  static bool IsLive(const Object* object);

  VMurTcp* Owner() const { return owner_; }
  void SetOwner(VMurTcp* owner) { owner_ = owner; }
  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  // The connection's socket; nullptr once the connection is gone or stopped.
  TCustomWinSocket* Socket() const { return socket_; }
  void SetSocket(TCustomWinSocket* socket) { socket_ = socket; }
  bool IsOutgoing() const { return is_outgoing_; }
  void SetIsOutgoing(bool value) { is_outgoing_ = value; }
  // A single send takes at most MaxWrite - 10 bytes.
  int MaxWrite() const { return max_write_; }
  void SetMaxWrite(int value) { max_write_ = value; }
  bool IsConnected() const { return is_connected_; }
  void SetIsConnected(bool value) { is_connected_ = value; }
  // The input left in a closing socket has been read (it is read once only).
  bool Drained() const { return drained_; }
  void SetDrained(bool value) { drained_ = value; }
  // Removing this connection reports no state change.
  bool SuppressState() const { return suppress_state_; }
  void SetSuppressState(bool value) { suppress_state_ = value; }
  const std::string& Host() const { return host_; }
  void SetHost(std::string host) { host_ = std::move(host); }
  int Port() const { return port_; }
  void SetPort(int port) { port_ = port; }

  // Output the socket has not taken yet, oldest first.
  std::string_view PendingOut() const {
    return std::string_view(pending_out_).substr(pending_start_);
  }
  void SetPendingOut(std::string_view bytes);
  void AppendPendingOut(std::string_view bytes) { pending_out_.append(bytes); }
  // Drops `count` bytes from the front; amortised constant per byte however large the backlog.
  void ConsumePendingOut(size_t count);

  // The peer's IPv4 address in host byte order (from the socket, else the Host text).
  uint32_t RemoteIP() const;
  int RemotePort() const;
  // "a.b.c.d:port".
  std::string AddressText() const;

 private:
  VMurTcp* owner_;
  std::string name_;
  TCustomWinSocket* socket_ = nullptr;
  bool is_outgoing_ = false;
  int max_write_ = 2048;
  bool is_connected_ = false;
  bool drained_ = false;
  bool suppress_state_ = false;
  std::string pending_out_;
  size_t pending_start_ = 0;
  std::string host_;
  int port_ = 0;
};

}  // namespace kestrova
