// The names a port box of the wrapper offers: the attached bridges first, then the serial ports.
#pragma once

#include <string>
#include <vector>

namespace kestrova {

// `bridges` in their device order, then the serial port items (with `comm_port` added when it
// is missing and is no bridge) in natural order.
std::vector<std::string> CleverPortItems(const std::vector<std::string>& bridges,
                                         const std::vector<std::string>& serial_ports,
                                         const std::string& comm_port);

// The same with the bridges and serial ports of this machine now.
std::vector<std::string> CleverPortItems(const std::string& comm_port);

}  // namespace kestrova
