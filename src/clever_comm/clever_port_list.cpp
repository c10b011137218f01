#include "clever_comm/clever_port_list.h"

#include <algorithm>

#include "cp2112/cp2112_runtime.h"
#include "serial/port_combo_items.h"
#include "serial/port_enumeration.h"

namespace kestrova {

std::vector<std::string> CleverPortItems(const std::vector<std::string>& bridges,
                                         const std::vector<std::string>& serial_ports,
                                         const std::string& comm_port) {
  const bool port_is_bridge = std::find(bridges.begin(), bridges.end(), comm_port) != bridges.end();
  std::vector<std::string> items = bridges;
  const std::vector<std::string> serial =
      PortComboItems(serial_ports, port_is_bridge ? std::string() : comm_port);
  items.insert(items.end(), serial.begin(), serial.end());
  return items;
}

std::vector<std::string> CleverPortItems(const std::string& comm_port) {
  std::vector<std::string> serial_ports;
  ListCommPorts(serial_ports, nullptr);
  return CleverPortItems(ListCP2112Devices(), serial_ports, comm_port);
}

}  // namespace kestrova
