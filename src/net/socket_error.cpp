#include "net/socket_error.h"

#include <netdb.h>

#include <cerrno>
#include <cstdio>

#include "util/system_error.h"

namespace kestrova {
namespace {
thread_local SocketErrorProc error_proc = nullptr;
}  // namespace

int NoAddressErrorCode() { return EDESTADDRREQ; }

SocketErrorProc SetSocketErrorProc(SocketErrorProc hook) {
  SocketErrorProc previous = error_proc;
  error_proc = hook;
  return previous;
}

std::string SocketErrorText(int code) {
  if (code > kLookupErrorBase && code < kLookupErrorBase + 100) {
    return TrimMessageEnd(gai_strerror(-(code - kLookupErrorBase)));
  }
  return SystemErrorText(code);
}

void RaiseSocketCallError(int code, const char* api) {
  throw ESocketError("Windows socket error: " + SocketErrorText(code) + " (" +
                     std::to_string(code) + "), on API '" + api + "'");
}

int CheckSocketResult(int code, const char* api) {
  if (code == 0 || code == EWOULDBLOCK || code == EAGAIN || code == EINPROGRESS) return code;
  if (error_proc != nullptr) {
    error_proc(code);
    return code;
  }
  RaiseSocketCallError(code, api);
}

}  // namespace kestrova
