#include "net/socket_lookup.h"

#include <netdb.h>
#include <netinet/in.h>

#include <cerrno>
#include <mutex>
#include <thread>

#include "net/socket_error.h"
#include "platform/message.h"

namespace kestrova {

// Shared with the worker: the window it may post to, cleared by Cancel under the lock.
struct SocketLookup::Target {
  std::mutex mutex;
  MessageWindow* window;
};

namespace {

SocketLookupResult Resolve(const std::string& host, const std::string& service) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  const int status = getaddrinfo(host.empty() ? nullptr : host.c_str(),
                                 host.empty() ? service.c_str() : nullptr, &hints, &found);
  SocketLookupResult result;
  if (status != 0) {
    result.error = status == EAI_SYSTEM ? errno : kLookupErrorBase - status;
    if (result.error == 0) result.error = kLookupErrorBase - EAI_FAIL;
    return result;
  }
  const auto* address = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
  result.address = address->sin_addr.s_addr;
  result.port = address->sin_port;
  freeaddrinfo(found);
  return result;
}

}  // namespace

uintptr_t SocketLookup::Start(MessageWindow& window, uint32_t message_id, const std::string& host,
                              const std::string& service) {
  Cancel();
  target_ = std::make_shared<Target>();
  target_->window = &window;
  const uintptr_t id = next_id_++;
  std::thread([target = target_, message_id, id, host, service] {
    SocketLookupResult result = Resolve(host, service);
    std::lock_guard lock(target->mutex);
    if (target->window != nullptr) target->window->Post(message_id, id, 0, MakePayload(result));
  }).detach();
  return id;
}

void SocketLookup::Cancel() {
  if (target_ == nullptr) return;
  const std::shared_ptr<Target> target = std::move(target_);
  std::lock_guard lock(target->mutex);
  target->window = nullptr;
}

}  // namespace kestrova
