#include "net/udp_interfaces.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

namespace kestrova {
namespace {

uint32_t HostOrder(const sockaddr* address) {
  if (address == nullptr || address->sa_family != AF_INET) return 0;
  return ntohl(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr);
}

}  // namespace

std::vector<UdpInterface> ReadLocalInterfaces() {
  std::vector<UdpInterface> result;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return result;
  for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
    UdpInterface item;
    item.address = HostOrder(entry->ifa_addr);
    item.netmask = HostOrder(entry->ifa_netmask);
    if ((entry->ifa_flags & IFF_BROADCAST) != 0) item.broadcast = HostOrder(entry->ifa_broadaddr);
    item.up = (entry->ifa_flags & IFF_UP) != 0;
    item.loopback = (entry->ifa_flags & IFF_LOOPBACK) != 0;
    result.push_back(item);
  }
  freeifaddrs(list);
  return result;
}

}  // namespace kestrova
