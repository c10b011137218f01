#include "util/widgets/combo_text.h"

#include <QPalette>

#include "util/widgets/qt_color.h"

namespace kestrova {
namespace {

int FindFromLast(const QComboBox* combo, const QString& text, Qt::CaseSensitivity sensitivity) {
  for (int i = combo->count() - 1; i >= 0; --i) {
    if (combo->itemText(i).compare(text, sensitivity) == 0) return i;
  }
  return -1;
}

}  // namespace

bool SelectComboText(QComboBox* combo, const QString& text) {
  int index = FindFromLast(combo, text, Qt::CaseSensitive);
  if (index < 0) index = FindFromLast(combo, text, Qt::CaseInsensitive);
  if (index >= 0) {
    combo->setCurrentIndex(index);
    return true;
  }
  combo->setCurrentIndex(-1);
  if (!combo->isEditable()) return false;
  combo->setEditText(text);
  return true;
}

void SetComboFontColor(QComboBox* combo, TColor color) {
  const QColor qt_color = ToQColor(color);
  // The main window calls this for every block a port receives; a box already in the colour
  // keeps its palette instead of being given one built anew each time.
  QPalette palette = combo->palette();  // shared until a colour is set
  const QPalette defaults;              // the application's palette
  bool changed = false;
  for (const QPalette::ColorRole role : {QPalette::Text, QPalette::ButtonText}) {
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
      const QColor wanted = qt_color.isValid() ? qt_color : defaults.color(group, role);
      if (palette.color(group, role) == wanted) continue;
      palette.setColor(group, role, wanted);
      changed = true;
    }
  }
  if (changed) combo->setPalette(palette);
}

}  // namespace kestrova
