#include "util/widgets/drop_down_combo.h"

namespace kestrova {

void DropDownComboBox::showPopup() {
  if (on_drop_down_) on_drop_down_();
  QComboBox::showPopup();
}

}  // namespace kestrova
