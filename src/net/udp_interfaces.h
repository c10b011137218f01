// The machine's IPv4 interfaces as the UDP component needs them: address, netmask, the
// network and its directed broadcast address, and whether the interface is usable.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace kestrova {

struct UdpInterface {
  // All in host byte order.
  uint32_t address = 0;
  uint32_t netmask = 0;
  uint32_t broadcast = 0;  // as the system reports it (0 when it reports none)
  bool up = false;
  bool loopback = false;

  uint32_t Network() const { return address & netmask; }
  uint32_t DirectedBroadcast() const { return Network() | ~netmask; }
  // Up and not the loopback interface.
  bool Usable() const { return up && !loopback; }
};

using UdpInterfaceSource = std::function<std::vector<UdpInterface>()>;

// The IPv4 interfaces from getifaddrs, in the order the system lists them; empty when the list
// cannot be read.
std::vector<UdpInterface> ReadLocalInterfaces();

}  // namespace kestrova
