// Port 1's box text, typed and stored: any text names exactly one thing: a server port a
// socket takes (or none), a client with a host, or a serial port or bridge by that text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "monitor/port_target.h"

namespace {

void Check(const kestrova::PortSpecification& named, bool typed) {
  using kestrova::ChannelMode;
  switch (named.mode) {
    case ChannelMode::kTcpServer:
    case ChannelMode::kUdpServer:
      // -1: no port ("TCP" and ":" with something that is not a port number).
      FUZZ_CHECK(named.server_port >= -1);
      if (typed) FUZZ_CHECK(named.server_port <= 65535);
      FUZZ_CHECK(named.host.empty());
      break;
    case ChannelMode::kTcpClient:
    case ChannelMode::kUdpClient:
      if (typed) FUZZ_CHECK(!named.host.empty());
      break;
    default:
      FUZZ_CHECK(named.server_port == -1 && named.host.empty());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Check(kestrova::ReadTypedPortSpecification(text), true);
  Check(kestrova::ReadStoredPortSpecification(text), false);
  return 0;
}
