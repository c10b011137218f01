// Combo-box routines: selecting an item by its text, and the colour of the combo's text.
#pragma once

#include <QComboBox>
#include <QString>

#include "util/color.h"

namespace kestrova {

// Selects the item equal to `text`, looking from the last item back, first with letter case,
// then without. When there is none, an editable combo shows `text` in its edit field (true);
// a list-only combo is left without a selection (false).
bool SelectComboText(QComboBox* combo, const QString& text);

// Sets the colour of the combo's text; clNone or clDefault restores the default. An editable
// combo keeps its text and selection.
void SetComboFontColor(QComboBox* combo, TColor color);

}  // namespace kestrova
