// A plain UDP socket on 127.0.0.1 (a free port) as the far end of the UDP component's tests:
// sends datagrams and waits for them, with a time limit.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace kestrova::testing {

struct UdpPeerDatagram {
  std::string data;
  int port = 0;  // the sender's port
};

class UdpPeer {
 public:
  // Binds 127.0.0.1 at `port` (0: a free one). Check Ok() before use.
  explicit UdpPeer(int port = 0, uint32_t address = INADDR_LOOPBACK) {
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(address);
    local.sin_port = htons(static_cast<uint16_t>(port));
    if (fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
      close(fd_);
      fd_ = -1;
    }
    // Room for a long burst, so the test measures the component, not this socket.
    const int size = 8 << 20;
    if (fd_ >= 0) setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
  }
  ~UdpPeer() {
    if (fd_ >= 0) close(fd_);
  }
  UdpPeer(const UdpPeer&) = delete;
  UdpPeer& operator=(const UdpPeer&) = delete;

  bool Ok() const { return fd_ >= 0; }
  int Port() const {
    sockaddr_in local{};
    socklen_t length = sizeof local;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &length);
    return ntohs(local.sin_port);
  }

  // One datagram to 127.0.0.1:`port`; true when the system took it whole.
  bool SendTo(int port, std::string_view data) const {
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    remote.sin_port = htons(static_cast<uint16_t>(port));
    const ssize_t sent = sendto(fd_, data.data(), data.size(), 0,
                                reinterpret_cast<sockaddr*>(&remote), sizeof remote);
    return sent == static_cast<ssize_t>(data.size());
  }

  // The next datagram, or nothing when none comes within `timeout`.
  std::optional<UdpPeerDatagram> Receive(
      std::chrono::milliseconds timeout = std::chrono::seconds(5)) const {
    pollfd entry{fd_, POLLIN, 0};
    if (poll(&entry, 1, static_cast<int>(timeout.count())) != 1) return std::nullopt;
    std::string buffer(65536, '\0');
    sockaddr_in remote{};
    socklen_t length = sizeof remote;
    const ssize_t received = recvfrom(fd_, buffer.data(), buffer.size(), 0,
                                      reinterpret_cast<sockaddr*>(&remote), &length);
    if (received < 0) return std::nullopt;
    buffer.resize(static_cast<size_t>(received));
    return UdpPeerDatagram{std::move(buffer), ntohs(remote.sin_port)};
  }

 private:
  int fd_ = -1;
};

}  // namespace kestrova::testing
