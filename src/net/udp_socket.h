// A non-blocking IPv4 UDP socket: bind, send one datagram to an address, receive one datagram
// with its sender. Failures come back as errno values.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/errno_result.h"

namespace kestrova {

// Largest payload of one IPv4 UDP datagram.
inline constexpr size_t kMaxUdpPayload = 65507;

struct UdpDatagramInfo {
  size_t size = 0;
  uint32_t address = 0;  // sender, host byte order
  int port = 0;
};

// Virtual where tests stand in for what loopback never does (a full send buffer).
class UdpSocket {
 public:
  UdpSocket() = default;
  virtual ~UdpSocket() { Close(); }
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;

  // Opens a socket bound to any address at `port` (0: the system picks one). Returns 0 or the
  // errno of the failing call; a failed open leaves the socket closed.
  int Open(int port);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  int Fd() const { return fd_; }
  // The port the socket is bound to, 0 while closed.
  int LocalPort() const;

  // Sends `data` as one datagram to `address` (host byte order) and `port`; with
  // `allow_broadcast` broadcasting is allowed for this send only. Returns 0 or the errno
  // (EWOULDBLOCK when the send buffer is full).
  virtual int SendTo(std::string_view data, uint32_t address, int port, bool allow_broadcast);
  // Receives one datagram into `buffer` (make it kMaxUdpPayload bytes, or a datagram may be
  // cut); EWOULDBLOCK when none is waiting.
  ErrnoResult<UdpDatagramInfo> ReceiveFrom(std::span<char> buffer);
  // Datagrams the system dropped since the socket was opened because its receive buffer was
  // full (wraps at 2^32); 0 while closed.
  uint32_t DroppedCount() const;

 private:
  int fd_ = -1;
};

// Dotted text of an address in host byte order ("127.0.0.1").
std::string AddressToText(uint32_t address);
// Parses dotted text; false for anything else (host names included).
bool ParseAddress(std::string_view text, uint32_t& address);

}  // namespace kestrova
