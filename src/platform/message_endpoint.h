// A message address other processes can reach, like a window handle they may post to: a
// 32-bit id with a datagram socket behind it, dispatched on a MessageLoop.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/errno_result.h"
#include "platform/message_loop.h"

namespace kestrova {

// The address of an endpoint; 0 is never one.
using EndpointId = uint32_t;

struct EndpointMessage {
  uint32_t id = 0;
  uint64_t wparam = 0;
  int64_t lparam = 0;
};

// Endpoint ids are unique on the machine while their endpoint lives (the id names a socket in
// the abstract namespace; the bind decides). Messages from processes of other users (root
// aside) are dropped unread. The endpoint is created, used and destroyed on the loop's thread;
// its handler runs there, one message at a time, in the order each sender sent them.
class MessageEndpoint {
 public:
  using Handler = std::function<void(const EndpointMessage& message)>;

  // Binds a fresh id and starts watching it on `loop`.
  static ErrnoResult<std::unique_ptr<MessageEndpoint>> Create(MessageLoop& loop, Handler handler);

  ~MessageEndpoint();
  MessageEndpoint(const MessageEndpoint&) = delete;
  MessageEndpoint& operator=(const MessageEndpoint&) = delete;

  EndpointId id() const { return id_; }

  // Public only for the process's registry of endpoints in the implementation.
  struct Impl;

 private:
  explicit MessageEndpoint(std::shared_ptr<Impl> impl);

  std::shared_ptr<Impl> impl_;
  EndpointId id_;
};

// Any thread. Queues `message` for endpoint `target` without waiting for it to be handled: 0,
// ECONNREFUSED when no endpoint has that id (its process ended), EAGAIN when its queue stayed
// full for a second (its loop does not turn).
int PostToEndpoint(EndpointId target, const EndpointMessage& message);

// Any thread. Delivers `message` and waits until the target's handler has run: 0 then,
// ETIMEDOUT when `timeout` ran out first (the message may still be handled later),
// ECONNREFUSED when there is no such endpoint. Sent to an endpoint of the calling thread, the
// handler runs at once, before anything queued, as a sent window message would.
int SendToEndpoint(EndpointId target, const EndpointMessage& message,
                   std::chrono::milliseconds timeout);

// Whether an endpoint with that id exists now (its process has not ended or closed it).
bool EndpointExists(EndpointId target);

}  // namespace kestrova
