#include "net/udp_socket.h"

#include <arpa/inet.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace kestrova {
namespace {

constexpr int kReceiveBufferBytes = 1 << 20;

sockaddr_in MakeAddress(uint32_t address, int port) {
  sockaddr_in result{};
  result.sin_family = AF_INET;
  result.sin_addr.s_addr = htonl(address);
  result.sin_port = htons(static_cast<uint16_t>(port));
  return result;
}

int SetBroadcast(int fd, bool allow) {
  const int value = allow ? 1 : 0;
  return setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &value, sizeof value) == 0 ? 0 : errno;
}

}  // namespace

int UdpSocket::Open(int port) {
  Close();
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return errno;
  // Room for a burst while the GUI thread is busy; the system caps it at its own limit.
  const int receive_buffer = kReceiveBufferBytes;
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof receive_buffer);
  const sockaddr_in local = MakeAddress(INADDR_ANY, port);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    const int error = errno;
    close(fd);
    return error;
  }
  fd_ = fd;
  return 0;
}

void UdpSocket::Close() {
  if (fd_ < 0) return;
  close(fd_);
  fd_ = -1;
}

int UdpSocket::LocalPort() const {
  if (fd_ < 0) return 0;
  sockaddr_in local{};
  socklen_t length = sizeof local;
  if (getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &length) != 0) return 0;
  return ntohs(local.sin_port);
}

int UdpSocket::SendTo(std::string_view data, uint32_t address, int port, bool allow_broadcast) {
  if (fd_ < 0) return EBADF;
  if (port < 0 || port > 65535) return EINVAL;
  if (allow_broadcast) {
    if (const int error = SetBroadcast(fd_, true); error != 0) return error;
  }
  const sockaddr_in remote = MakeAddress(address, port);
  const ssize_t sent = sendto(fd_, data.data(), data.size(), MSG_NOSIGNAL,
                              reinterpret_cast<const sockaddr*>(&remote), sizeof remote);
  const int error = sent < 0 ? errno : 0;
  if (allow_broadcast) SetBroadcast(fd_, false);
  return error;
}

ErrnoResult<UdpDatagramInfo> UdpSocket::ReceiveFrom(std::span<char> buffer) {
  if (fd_ < 0) return {EBADF, {}};
  sockaddr_in remote{};
  socklen_t length = sizeof remote;
  const ssize_t received =
      recvfrom(fd_, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&remote), &length);
  if (received < 0) return {errno, {}};
  UdpDatagramInfo info;
  info.size = static_cast<size_t>(received);
  info.address = ntohl(remote.sin_addr.s_addr);
  info.port = ntohs(remote.sin_port);
  return {0, info};
}

uint32_t UdpSocket::DroppedCount() const {
  if (fd_ < 0) return 0;
  uint32_t memory[SK_MEMINFO_VARS] = {};
  socklen_t length = sizeof memory;
  if (getsockopt(fd_, SOL_SOCKET, SO_MEMINFO, memory, &length) != 0) return 0;
  return length > SK_MEMINFO_DROPS * sizeof(uint32_t) ? memory[SK_MEMINFO_DROPS] : 0;
}

std::string AddressToText(uint32_t address) {
  const in_addr value{htonl(address)};
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &value, text, sizeof text);
  return text;
}

bool ParseAddress(std::string_view text, uint32_t& address) {
  if (text.size() >= INET_ADDRSTRLEN) return false;
  const std::string terminated(text);
  in_addr value{};
  if (inet_pton(AF_INET, terminated.c_str(), &value) != 1) return false;
  address = ntohl(value.s_addr);
  return true;
}

}  // namespace kestrova
