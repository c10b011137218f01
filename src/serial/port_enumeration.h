// Which serial ports exist and which kernel device stands behind one, from the port map
// (serial_comm_map.h); no port is ever opened to find out.
#pragma once

#include <string>
#include <vector>

namespace kestrova {

// The device name of the port `port_path` names (COM3, ttyUSB0, /dev/serial/by-id/..., with or
// without a leading "\\?\"): the map's value name in upper case without "\DEVICE\", e.g.
// "SILABSER0" or "USBSER000". "?" when the map has no such port (or there is no map),
// "__INVALID__" when the map could not be read.
std::string GetDeviceName(const std::string& port_path);

// Fills `names` with the ports of the map (their /dev paths), each followed by its
// /dev/serial/by-id names, and, when given, `devices` with the matching value names; both are
// cleared first and stay empty when the map cannot be read.
void ListCommPorts(std::vector<std::string>& names, std::vector<std::string>* devices);

}  // namespace kestrova
