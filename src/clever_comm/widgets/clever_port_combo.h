// A port box of the wrapper: the attached bridges first, then the serial ports.
#pragma once

#include <QComboBox>
#include <string>
#include <vector>

namespace kestrova {

// Refreshes the items as FillPortCombo does, with `bridges` listed before the serial ports.
bool FillCleverPortCombo(QComboBox* combo, const std::vector<std::string>& bridges,
                         const std::vector<std::string>& serial_ports,
                         const std::string& comm_port);

// The same with the bridges and serial ports of this machine now.
bool FillCleverPortCombo(QComboBox* combo, const std::string& comm_port);

}  // namespace kestrova
