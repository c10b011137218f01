// The items of a port combo box: the ports found, the configured port added when it is
// missing (an adapter unplugged), in a natural order (ttyS2 before ttyS10).
#pragma once

#include <string>
#include <vector>

namespace kestrova {

std::vector<std::string> PortComboItems(std::vector<std::string> names,
                                        const std::string& comm_port);

// Less-than for port names: letter case ignored, runs of digits compared as numbers.
bool PortNameLess(const std::string& a, const std::string& b);

}  // namespace kestrova
