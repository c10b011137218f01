#include "clever_comm/clever_comm_kind.h"

#include <charconv>

#include "util/tokens.h"

namespace kestrova {
namespace {

bool HasTcpPrefix(const std::string& name) { return name.starts_with(kTcpPrefix); }

CleverCommKind KindOfDeviceName(const std::string& name, const BridgeNameTest& is_bridge) {
  if (is_bridge && is_bridge(name)) return CleverCommKind::kCP2112;
  if (name.starts_with("MUR-")) return CleverCommKind::kReserved;
  return CleverCommKind::kSerial;
}

}  // namespace

int TcpServerPortOf(const std::string& name) {
  if (!HasTcpPrefix(name)) return 0;
  const std::string rest = TcpTextOf(name);
  const char* first = rest.data();
  const char* last = rest.data() + rest.size();
  if (first != last && *first == '+') ++first;
  long value = 0;
  const auto [end, error] = std::from_chars(first, last, value);
  // Only a whole number names a port; "host:5000" or "5000x" is a host text.
  if (error != std::errc() || end != last || first == last) return 0;
  return value >= 1 && value <= 65535 ? static_cast<int>(value) : 0;
}

std::string TcpTextOf(const std::string& name) {
  return HasTcpPrefix(name) ? name.substr(kTcpPrefix.size()) : name;
}

CleverCommKind KindOfPortName(const std::string& name, const BridgeNameTest& is_bridge) {
  if (HasTcpPrefix(name)) {
    return TcpServerPortOf(name) != 0 ? CleverCommKind::kTcpServer : CleverCommKind::kTcpClient;
  }
  return KindOfDeviceName(name, is_bridge);
}

CleverCommKind KindOfConfigString(const std::string& config, const BridgeNameTest& is_bridge) {
  if (HasTcpPrefix(config)) return KindOfPortName(config, is_bridge);
  size_t position = 0;
  std::string first;
  NextToken(config, position, kTokenSeparators, first);
  return KindOfDeviceName(first, is_bridge);
}

}  // namespace kestrova
