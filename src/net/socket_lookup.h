// Asynchronous host and service look-ups: getaddrinfo runs on a worker thread and the result is
// posted to the asking socket's message window, so the loop thread never blocks on a resolver.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/message_window.h"

namespace kestrova {

// What a finished look-up posts as the message's payload. Both values in network byte order.
struct SocketLookupResult {
  int error = 0;  // 0, or a code of the socket layer (kLookupErrorBase + EAI code, or errno)
  uint32_t address = 0;
  uint16_t port = 0;
};

// One outstanding look-up at a time. The window gets `message_id` with wparam = the request id
// and a SocketLookupResult payload. Cancel() (or destruction) guarantees that nothing more is
// posted, so the window may go afterwards; a worker still inside getaddrinfo finishes unseen.
class SocketLookup {
 public:
  SocketLookup() = default;
  ~SocketLookup() { Cancel(); }
  SocketLookup(const SocketLookup&) = delete;
  SocketLookup& operator=(const SocketLookup&) = delete;

  // The address of `host` (IPv4) or, with an empty host, the TCP port of `service`. Returns
  // the request id (never 0).
  uintptr_t Start(MessageWindow& window, uint32_t message_id, const std::string& host,
                  const std::string& service);
  void Cancel();

 private:
  struct Target;
  std::shared_ptr<Target> target_;
  uintptr_t next_id_ = 1;
};

}  // namespace kestrova
