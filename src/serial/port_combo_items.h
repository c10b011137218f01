// The items of a port combo box: the ports found, the configured port added when it is
// missing (an adapter unplugged), in a natural order (ttyS2 before ttyS10). A device is listed
// once, whatever name stands for it ("COM1" is the listed "/dev/ttyS0"); /dev/serial/by-id
// names stay right after the port they follow in `names`.
#pragma once

#include <string>
#include <vector>

namespace kestrova {

std::vector<std::string> PortComboItems(std::vector<std::string> names,
                                        const std::string& comm_port);

// The item that stands for `port`: the same name, else the same device; -1 when none does.
int FindPortItem(const std::vector<std::string>& items, const std::string& port);

// Less-than for port names: letter case ignored, runs of digits compared as numbers.
bool PortNameLess(const std::string& a, const std::string& b);

}  // namespace kestrova
