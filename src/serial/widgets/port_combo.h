// Keeping a port combo box up to date with the serial ports present, without disturbing a
// user who is typing in it.
#pragma once

#include <QComboBox>
#include <string>
#include <vector>

namespace kestrova {

// Refreshes the items from `names` (plus `comm_port`), changing only the items that differ
// when the count is the same. While the combo has the input focus its text is left alone
// (true); otherwise a changed text is selected again, with SelectComboText's result.
bool FillPortCombo(QComboBox* combo, const std::vector<std::string>& names,
                   const std::string& comm_port);

// The same with the serial ports of this machine.
bool FillPortCombo(QComboBox* combo, const std::string& comm_port);

}  // namespace kestrova
