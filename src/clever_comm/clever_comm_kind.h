// Which inner transport a port name picks for the port-name wrapper.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kestrova {

enum class CleverCommKind : uint8_t {
  kNone = 0,
  kCP2112 = 1,
  kSerial = 2,
  kTcpClient = 3,
  kTcpServer = 4,
  kReserved = 5,  // "MUR-" names: a device kind of its own that has no transport yet
};

inline constexpr std::string_view kTcpPrefix = "tcp://";

// Tells whether a name is the serial number of a bridge attached now.
using BridgeNameTest = std::function<bool(const std::string&)>;

// The kind a port name selects: "tcp://<1..65535>" a server, any other "tcp://" text a client,
// an attached bridge's serial number the bridge, "MUR-..." the reserved kind, else serial.
CleverCommKind KindOfPortName(const std::string& name, const BridgeNameTest& is_bridge);

// The same for a configuration string: the bridge and "MUR-" tests look at its first token only.
CleverCommKind KindOfConfigString(const std::string& config, const BridgeNameTest& is_bridge);

// The port of a "tcp://<port>" name when it is a server's (1..65535), else 0.
int TcpServerPortOf(const std::string& name);

// The text after "tcp://" (the whole name when it has no such beginning).
std::string TcpTextOf(const std::string& name);

}  // namespace kestrova
