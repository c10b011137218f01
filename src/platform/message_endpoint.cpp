#include "platform/message_endpoint.h"

#include <poll.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace kestrova {
namespace {

constexpr uint32_t kMagic = 0x4B455350;  // "KESP"
enum Kind : uint32_t { kPost = 1, kSend = 2, kAck = 3 };

struct Wire {
  uint32_t magic = kMagic;
  uint32_t kind = kPost;
  uint32_t sequence = 0;
  uint32_t id = 0;
  uint64_t wparam = 0;
  int64_t lparam = 0;
};

struct Address {
  sockaddr_un address{};
  socklen_t length = 0;
};

// The endpoint's name in the abstract namespace: nothing on disk, gone with its socket.
Address EndpointAddress(EndpointId id) {
  Address a;
  a.address.sun_family = AF_UNIX;
  char name[40];
  const int length = std::snprintf(name, sizeof name, "kestrova-endpoint-%08x", id);
  std::memcpy(a.address.sun_path + 1, name, static_cast<size_t>(length));
  a.length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
  return a;
}

int NewSocket() { return socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0); }

// Senders we listen to: our own user, and root.
bool Trusted(const msghdr& header) {
  for (cmsghdr* c = CMSG_FIRSTHDR(&header); c != nullptr;
       c = CMSG_NXTHDR(const_cast<msghdr*>(&header), c)) {
    if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_CREDENTIALS) {
      ucred credentials{};
      std::memcpy(&credentials, CMSG_DATA(c), sizeof credentials);
      return credentials.uid == getuid() || credentials.uid == 0;
    }
  }
  return false;
}

EndpointId RandomId() {
  EndpointId id = 0;
  while (id == 0) {
    if (getrandom(&id, sizeof id, 0) != static_cast<ssize_t>(sizeof id)) {
      id = static_cast<EndpointId>(std::hash<std::thread::id>()(std::this_thread::get_id()) ^
                                   static_cast<size_t>(getpid()));
    }
  }
  return id;
}

uint32_t NextSequence() {
  static std::atomic<uint32_t> sequence{1};
  return sequence.fetch_add(1);
}

}  // namespace

struct MessageEndpoint::Impl : std::enable_shared_from_this<Impl> {
  Impl(int socket_fd, EndpointId endpoint_id, Handler message_handler)
      : fd(socket_fd), id(endpoint_id), handler(std::move(message_handler)) {}
  ~Impl() { close(fd); }

  // Handles what is queued; stops as soon as the endpoint is destroyed by a handler.
  void Drain() {
    const std::shared_ptr<Impl> keep = shared_from_this();
    while (!closed) {
      Wire wire;
      sockaddr_un from{};
      iovec data{&wire, sizeof wire};
      alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
      msghdr header{};
      header.msg_name = &from;
      header.msg_namelen = sizeof from;
      header.msg_iov = &data;
      header.msg_iovlen = 1;
      header.msg_control = control;
      header.msg_controllen = sizeof control;
      const ssize_t received = recvmsg(fd, &header, MSG_DONTWAIT);
      if (received < 0) return;  // drained (EAGAIN), or nothing we could do about it
      if (received != static_cast<ssize_t>(sizeof wire) || wire.magic != kMagic ||
          (wire.kind != kPost && wire.kind != kSend) || !Trusted(header)) {
        continue;
      }
      handler(EndpointMessage{wire.id, wire.wparam, wire.lparam});
      if (wire.kind == kSend) {
        Wire ack;
        ack.kind = kAck;
        ack.sequence = wire.sequence;
        sendto(fd, &ack, sizeof ack, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from),
               header.msg_namelen);
      }
    }
  }

  const int fd;
  const EndpointId id;
  const Handler handler;
  const std::thread::id owner = std::this_thread::get_id();
  bool closed = false;
  LoopHandle watch;
};

namespace {

// The endpoints of this process, so that a send on their own thread can run the handler
// directly instead of waiting for a loop that cannot turn.
struct Registry {
  std::mutex mutex;
  std::unordered_map<EndpointId, std::weak_ptr<MessageEndpoint::Impl>> endpoints;
};

Registry& LocalEndpoints() {
  static Registry registry;
  return registry;
}

}  // namespace

ErrnoResult<std::unique_ptr<MessageEndpoint>> MessageEndpoint::Create(MessageLoop& loop,
                                                                      Handler handler) {
  const int fd = NewSocket();
  if (fd < 0) return {errno, nullptr};
  const int on = 1;
  if (setsockopt(fd, SOL_SOCKET, SO_PASSCRED, &on, sizeof on) != 0) {
    const int error = errno;
    close(fd);
    return {error, nullptr};
  }
  EndpointId id = 0;
  for (int attempt = 0; attempt < 64 && id == 0; ++attempt) {
    const EndpointId candidate = RandomId();
    const Address address = EndpointAddress(candidate);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address.address), address.length) == 0) {
      id = candidate;
    } else if (errno != EADDRINUSE) {
      const int error = errno;
      close(fd);
      return {error, nullptr};
    }
  }
  if (id == 0) {
    close(fd);
    return {EADDRINUSE, nullptr};
  }
  auto impl = std::make_shared<Impl>(fd, id, std::move(handler));
  Impl* raw = impl.get();
  impl->watch = loop.WatchFd(fd, MessageLoop::Readiness::kReadable, [raw] { raw->Drain(); });
  {
    std::lock_guard lock(LocalEndpoints().mutex);
    LocalEndpoints().endpoints[id] = impl;
  }
  return {0, std::unique_ptr<MessageEndpoint>(new MessageEndpoint(std::move(impl)))};
}

MessageEndpoint::MessageEndpoint(std::shared_ptr<Impl> impl)
    : impl_(std::move(impl)), id_(impl_->id) {}

MessageEndpoint::~MessageEndpoint() {
  {
    std::lock_guard lock(LocalEndpoints().mutex);
    LocalEndpoints().endpoints.erase(id_);
  }
  impl_->closed = true;
  impl_->watch.reset();
}

namespace {

// How long a post waits for room in a receiver's queue (it holds only a few datagrams).
constexpr std::chrono::milliseconds kPostPatience(1000);

int PollFor(int fd, short events, std::chrono::steady_clock::time_point deadline) {
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  if (left <= left.zero()) return ETIMEDOUT;
  pollfd p{fd, events, 0};
  const int ready = poll(&p, 1, static_cast<int>(std::min<int64_t>(left.count(), 1 << 30)));
  if (ready < 0) return errno == EINTR ? 0 : errno;
  return ready == 0 ? ETIMEDOUT : 0;
}

// Connects `fd` to the endpoint (so that poll tells when its queue has room, and only its
// answers reach us) and sends, waiting until `deadline` for room.
int ConnectAndSend(int fd, EndpointId target, const Wire& wire,
                   std::chrono::steady_clock::time_point deadline) {
  const Address address = EndpointAddress(target);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address.address), address.length) != 0) {
    return errno;
  }
  for (;;) {
    if (send(fd, &wire, sizeof wire, MSG_DONTWAIT) >= 0) return 0;
    if (errno != EAGAIN) return errno;
    if (const int error = PollFor(fd, POLLOUT, deadline); error != 0) {
      return error == ETIMEDOUT ? EAGAIN : error;
    }
  }
}

Wire ToWire(Kind kind, const EndpointMessage& message) {
  Wire wire;
  wire.kind = kind;
  wire.id = message.id;
  wire.wparam = message.wparam;
  wire.lparam = message.lparam;
  return wire;
}

// Waits for the acknowledgement of `sequence` on `fd`, connected to the target.
int AwaitAck(int fd, uint32_t sequence, std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    if (const int error = PollFor(fd, POLLIN, deadline); error != 0) return error;
    Wire wire;
    const ssize_t received = recv(fd, &wire, sizeof wire, MSG_DONTWAIT);
    if (received < 0 && errno != EAGAIN) return errno;
    if (received == static_cast<ssize_t>(sizeof wire) && wire.magic == kMagic &&
        wire.kind == kAck && wire.sequence == sequence) {
      return 0;
    }
  }
}

}  // namespace

int PostToEndpoint(EndpointId target, const EndpointMessage& message) {
  const int fd = NewSocket();
  if (fd < 0) return errno;
  const int error = ConnectAndSend(fd, target, ToWire(kPost, message),
                                   std::chrono::steady_clock::now() + kPostPatience);
  close(fd);
  return error;
}

int SendToEndpoint(EndpointId target, const EndpointMessage& message,
                   std::chrono::milliseconds timeout) {
  std::shared_ptr<MessageEndpoint::Impl> local;
  {
    std::lock_guard lock(LocalEndpoints().mutex);
    const auto found = LocalEndpoints().endpoints.find(target);
    if (found != LocalEndpoints().endpoints.end()) local = found->second.lock();
  }
  if (local && local->owner == std::this_thread::get_id()) {
    local->handler(message);
    return 0;
  }
  local.reset();
  const int fd = NewSocket();
  if (fd < 0) return errno;
  // A name of our own (autobind), so that the acknowledgement can find us.
  const sa_family_t family = AF_UNIX;
  int error = bind(fd, reinterpret_cast<const sockaddr*>(&family), sizeof family) == 0 ? 0 : errno;
  Wire wire = ToWire(kSend, message);
  wire.sequence = NextSequence();
  // A negative timeout waits for good; a century is as good.
  const auto deadline = std::chrono::steady_clock::now() +
                        (timeout < timeout.zero() ? std::chrono::hours(24 * 365 * 100) : timeout);
  if (error == 0) error = ConnectAndSend(fd, target, wire, deadline);
  if (error == EAGAIN) error = ETIMEDOUT;
  if (error == 0) error = AwaitAck(fd, wire.sequence, deadline);
  close(fd);
  return error;
}

bool EndpointExists(EndpointId target) {
  const int fd = NewSocket();
  if (fd < 0) return false;
  const Address address = EndpointAddress(target);
  const bool exists =
      connect(fd, reinterpret_cast<const sockaddr*>(&address.address), address.length) == 0;
  close(fd);
  return exists;
}

}  // namespace kestrova
