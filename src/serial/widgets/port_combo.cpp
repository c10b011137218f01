#include "serial/widgets/port_combo.h"

#include "serial/port_combo_items.h"
#include "serial/port_enumeration.h"
#include "util/widgets/combo_text.h"

namespace kestrova {

bool FillPortCombo(QComboBox* combo, const std::vector<std::string>& names,
                   const std::string& comm_port) {
  return FillComboItems(combo, PortComboItems(names, comm_port));
}

bool FillComboItems(QComboBox* combo, const std::vector<std::string>& items) {
  const QString remembered = combo->currentText();
  if (combo->count() == static_cast<int>(items.size())) {
    for (int i = 0; i < combo->count(); ++i) {
      const QString item = QString::fromStdString(items[i]);
      if (combo->itemText(i) != item) combo->setItemText(i, item);
    }
  } else {
    combo->clear();
    for (const std::string& item : items) combo->addItem(QString::fromStdString(item));
  }
  if (combo->currentText() == remembered) return true;
  // Rebuilding the items replaced an editable combo's text; that must not become a port the
  // user never picked.
  if (combo->hasFocus() && combo->isEditable()) {
    combo->setEditText(remembered);
    return true;
  }
  return SelectComboText(combo, remembered);
}

bool FillPortCombo(QComboBox* combo, const std::string& comm_port) {
  std::vector<std::string> names;
  ListCommPorts(names, nullptr);
  return FillPortCombo(combo, names, comm_port);
}

bool SelectPortItem(QComboBox* combo, const std::string& port) {
  std::vector<std::string> items;
  for (int i = 0; i < combo->count(); ++i) items.push_back(combo->itemText(i).toStdString());
  const int index = FindPortItem(items, port);
  if (index < 0) return SelectComboText(combo, QString::fromStdString(port));
  combo->setCurrentIndex(index);
  return true;
}

}  // namespace kestrova
