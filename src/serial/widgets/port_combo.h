// Keeping a port combo box up to date with the serial ports present, without disturbing a
// user who is typing in it.
#pragma once

#include <QComboBox>
#include <string>
#include <vector>

namespace kestrova {

// Refreshes the items from `names` (plus `comm_port`), changing only the items that differ
// when the count is the same. The combo's text stays as it was: while the combo has the input
// focus exactly as typed (true); otherwise selected again, with SelectComboText's result.
bool FillPortCombo(QComboBox* combo, const std::vector<std::string>& names,
                   const std::string& comm_port);

// The same with items already in their order: only the items that differ change when the
// count is the same, and the combo's text is kept as above.
bool FillComboItems(QComboBox* combo, const std::vector<std::string>& items);

// The same with the serial ports of this machine.
bool FillPortCombo(QComboBox* combo, const std::string& comm_port);

// Selects the item that stands for `port` (the same name or the same device); without one,
// as SelectComboText does.
bool SelectPortItem(QComboBox* combo, const std::string& port);

}  // namespace kestrova
