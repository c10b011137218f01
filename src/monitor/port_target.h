// What the text of port 1's box names: a serial port or bridge, or a TCP or UDP server port or
// client host, as typed by the user and as stored from an earlier run.
#pragma once

#include <string>
#include <string_view>

#include "monitor/traffic_display.h"

namespace kestrova {

struct PortSpecification {
  ChannelMode mode = ChannelMode::kSerial;
  int server_port = -1;  // modes kTcpServer and kUdpServer
  std::string host;      // modes kTcpClient and kUdpClient: host, optionally ":" port
  bool ignored = false;  // "TCP:" or "UDP:" with nothing after it: the mode stays
};

// Text typed into the box: ":port"; "TCP:" or "UDP:" (any case), an optional "//", then a port
// number (capped at 65535) or a host. Anything else is a serial port or bridge name.
PortSpecification ReadTypedPortSpecification(std::string_view text);

// A stored value: the same forms without "//" skipping and without the cap.
PortSpecification ReadStoredPortSpecification(std::string_view text);

}  // namespace kestrova
