// Port names as users and stored settings give them (COM3, ttyUSB0, /dev/serial/by-id/...),
// turned into the device path that is opened.
#pragma once

#include <string>
#include <string_view>

namespace kestrova {

// A leading "\\?\" is dropped first. Then "COMn" (any letter case, n a decimal number from 1)
// names the n-th legacy port /dev/ttyS<n-1>, so settings stored elsewhere keep working; a name
// containing "/" is a path and kept as it is; any other name is taken under /dev/. An empty
// name stays empty.
std::string PortNameToDevicePath(std::string_view port_name);

}  // namespace kestrova
