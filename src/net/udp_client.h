// VMurUdpClient: one peer of the UDP component, and the channel its datagrams arrive on.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "util/object.h"

namespace kestrova {

class VMurUdp;

class VMurUdpClient : public Object {
 public:
  VMurUdpClient(VMurUdp* owner, std::string address, int port)
      : owner_(owner), address_(std::move(address)), port_(port) {}

  VMurUdp* Owner() const { return owner_; }
  // The peer's address as text: dotted for learned peers, as configured for the main peer.
  const std::string& Address() const { return address_; }
  int Port() const { return port_; }
  // Address + ":" + Port.
  std::string AddressText() const { return address_ + ":" + std::to_string(port_); }

 private:
  friend class VMurUdp;

  VMurUdp* owner_;
  std::string address_;
  int port_;
  uint32_t numeric_address_ = 0;  // learned peers: where replies go (host byte order)
};

}  // namespace kestrova
