#include "net/udp_host_resolver.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <utility>

namespace kestrova {
namespace {
constexpr uint32_t kLookupDone = 1;
}  // namespace

UdpHostResolver::UdpHostResolver(MessageLoop& loop, Done done)
    : done_(std::move(done)),
      window_(std::make_unique<MessageWindow>(loop, [this](Message m) { Deliver(std::move(m)); })) {
}

UdpHostResolver::~UdpHostResolver() {
  if (worker_.joinable()) worker_.join();
  window_.reset();
}

void UdpHostResolver::Start(const std::string& host) {
  if (running_) return;
  if (worker_.joinable()) worker_.join();
  running_ = true;
  worker_ =
      std::thread([this, host] { window_->Post(kLookupDone, 0, 0, MakePayload(Lookup(host))); });
}

UdpHostLookup UdpHostResolver::Lookup(const std::string& host) {
  UdpHostLookup result;
  result.host = host;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* list = nullptr;
  const int error = getaddrinfo(host.c_str(), nullptr, &hints, &list);
  if (error != 0) {
    result.error = gai_strerror(error);
    return result;
  }
  result.ok = true;
  result.address = ntohl(reinterpret_cast<const sockaddr_in*>(list->ai_addr)->sin_addr.s_addr);
  freeaddrinfo(list);
  return result;
}

void UdpHostResolver::Deliver(Message message) {
  running_ = false;
  if (auto* result = PayloadValue<UdpHostLookup>(message.payload.get())) done_(*result);
}

}  // namespace kestrova
