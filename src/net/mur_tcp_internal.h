// Helpers shared by the files of VMurTcp.
#pragma once

#include <sys/socket.h>

#include <cerrno>

namespace kestrova {

class VMurTcp;

namespace tcp_internal {

// The most one receive call takes.
inline constexpr int kMaxRead = 60000;

// The component whose StartServer is activating the listening socket right now.
VMurTcp*& HookTarget();

// Errors of a send or receive that mean the peer is gone: the connection is closed like a
// normal close before the error is reported.
inline bool IsConnectionLoss(int code) {
  return code == ECONNABORTED || code == ECONNRESET || code == ESHUTDOWN || code == EPIPE;
}

inline int IntOption(int fd, int option) {
  int value = 0;
  socklen_t size = sizeof(value);
  if (getsockopt(fd, SOL_SOCKET, option, &value, &size) != 0) return 0;
  return value;
}

}  // namespace tcp_internal
}  // namespace kestrova
