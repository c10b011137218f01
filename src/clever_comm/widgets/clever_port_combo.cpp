#include "clever_comm/widgets/clever_port_combo.h"

#include "clever_comm/clever_port_list.h"
#include "serial/widgets/port_combo.h"

namespace kestrova {

bool FillCleverPortCombo(QComboBox* combo, const std::vector<std::string>& bridges,
                         const std::vector<std::string>& serial_ports,
                         const std::string& comm_port) {
  return FillComboItems(combo, CleverPortItems(bridges, serial_ports, comm_port));
}

bool FillCleverPortCombo(QComboBox* combo, const std::string& comm_port) {
  return FillComboItems(combo, CleverPortItems(comm_port));
}

}  // namespace kestrova
