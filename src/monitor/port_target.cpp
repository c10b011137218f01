#include "monitor/port_target.h"

#include <strings.h>

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace kestrova {
namespace {

constexpr int kMaxReadNumber = 1000000;
constexpr int kMaxPort = 65535;

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         strncasecmp(text.data(), prefix.data(), prefix.size()) == 0;
}

// An optional "-" and decimal digits at the start (reading stops before the value would pass
// a million); 0 without digits. `end` is where reading stopped.
int LeadingNumber(std::string_view text, size_t& end) {
  size_t i = 0;
  const bool negative = i < text.size() && text[i] == '-';
  if (negative) ++i;
  int64_t value = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9' &&
         value * 10 + (text[i] - '0') <= kMaxReadNumber) {
    value = value * 10 + (text[i] - '0');
    ++i;
  }
  end = i;
  return static_cast<int>(negative ? -value : value);
}

// The part after "TCP:" or "UDP:": a server port when it starts with a positive number not
// followed by "." (a dotted address is a host), a host otherwise.
PortSpecification ReadNetworkPort(std::string_view rest, bool tcp, bool cap) {
  PortSpecification spec;
  size_t end = 0;
  const int number = LeadingNumber(rest, end);
  const bool server = number > 0 && (end >= rest.size() || rest[end] != '.');
  if (server) {
    spec.mode = tcp ? ChannelMode::kTcpServer : ChannelMode::kUdpServer;
    spec.server_port = cap ? std::min(number, kMaxPort) : number;
  } else {
    spec.mode = tcp ? ChannelMode::kTcpClient : ChannelMode::kUdpClient;
    spec.host = std::string(rest);
  }
  return spec;
}

PortSpecification ReadPortSpecification(std::string_view text, bool typed) {
  PortSpecification spec;
  if (text.starts_with(':')) {
    spec.mode = ChannelMode::kTcpServer;
    const std::string_view rest = text.substr(1);
    int port = 0;
    const auto [stop, error] = std::from_chars(rest.data(), rest.data() + rest.size(), port);
    // A number no socket takes is no port either: it would wrap to another one.
    const bool valid = !rest.empty() && error == std::errc() && stop == rest.data() + rest.size() &&
                       port >= 0 && port <= kMaxPort;
    spec.server_port = valid ? port : -1;
    return spec;
  }
  const bool tcp = StartsWithNoCase(text, "TCP:");
  if (!tcp && !StartsWithNoCase(text, "UDP:")) return spec;
  std::string_view rest = text.substr(4);
  if (typed && rest.starts_with("//")) rest.remove_prefix(2);
  if (typed && rest.empty()) {
    spec.ignored = true;
    return spec;
  }
  return ReadNetworkPort(rest, tcp, typed);
}

}  // namespace

PortSpecification ReadTypedPortSpecification(std::string_view text) {
  return ReadPortSpecification(text, true);
}

PortSpecification ReadStoredPortSpecification(std::string_view text) {
  return ReadPortSpecification(text, false);
}

}  // namespace kestrova
