#include "util/widgets/drop_down_combo.h"

#include <QAbstractItemView>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <algorithm>

namespace kestrova {

DropDownComboBox::DropDownComboBox(QWidget* parent) : QComboBox(parent) {
  connect(this, &QComboBox::currentTextChanged, this, [this](const QString& text) {
    setToolTip(text);
    updateGeometry();
  });
}

void DropDownComboBox::showPopup() {
  if (on_drop_down_) on_drop_down_();
  int widest = 0;
  for (int i = 0; i < count(); ++i)
    widest = std::max(widest, ComboWidthForText(*this, itemText(i)));
  view()->setMinimumWidth(widest);
  QComboBox::showPopup();
}

QSize DropDownComboBox::sizeHint() const {
  QSize hint = QComboBox::sizeHint();
  hint.setWidth(std::max(hint.width(), ComboWidthForText(*this, currentText())));
  return hint;
}

int ComboWidthForText(const QComboBox& box, const QString& text) {
  QStyleOptionComboBox option;
  option.initFrom(&box);
  option.editable = box.isEditable();
  option.currentText = text;
  const QFontMetrics metrics = box.fontMetrics();
  // A little room beyond the glyphs, as the box's own size hint keeps.
  const QSize contents(
      metrics.horizontalAdvance(text) + metrics.horizontalAdvance(QLatin1Char('x')),
      metrics.height());
  return box.style()->sizeFromContents(QStyle::CT_ComboBox, &option, contents, &box).width();
}

}  // namespace kestrova
