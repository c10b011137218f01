// The socket layer's exception, its error events and the per-thread error hook: with the hook
// set, a failing socket call on that thread reports its code to the hook instead of raising.
#pragma once

#include <string>

#include "util/exception.h"

namespace kestrova {

class ESocketError : public Exception {
 public:
  using Exception::Exception;
};

enum TErrorEvent { eeGeneral, eeSend, eeReceive, eeConnect, eeDisconnect, eeAccept, eeLookup };

// Error codes of the layer are errno values; a failed name look-up is kLookupErrorBase plus the
// magnitude of getaddrinfo's EAI_ code, so that one integer carries either kind.
inline constexpr int kLookupErrorBase = 11000;
// Opening a client with neither host nor address.
int NoAddressErrorCode();

using SocketErrorProc = void (*)(int error_code);
// Sets the hook of the calling thread (nullptr removes it); returns the previous one.
SocketErrorProc SetSocketErrorProc(SocketErrorProc hook);

// The text a user reads for a code of this layer.
std::string SocketErrorText(int code);

// "Windows socket error: %s (%d), on API '%s'", the layer's message for a failed call.
[[noreturn]] void RaiseSocketCallError(int code, const char* api);

// The guarded call: `code` is 0 or the errno of a failed call named `api`. Would-block (also a
// connect in progress) is no error. Any other code goes to the thread's hook, or raises without
// one. Returns `code`.
int CheckSocketResult(int code, const char* api);

}  // namespace kestrova
