// A port box: an editable combo box that lets its owner refresh the items just before the list
// opens, and shows long port paths in full: it asks for the width of its text (so a window can
// grow to it), shows the text as its tooltip, and opens its list as wide as the widest item.
#pragma once

#include <QComboBox>
#include <functional>

namespace kestrova {

class DropDownComboBox : public QComboBox {
  Q_OBJECT

 public:
  explicit DropDownComboBox(QWidget* parent = nullptr);

  void SetOnDropDown(std::function<void()> handler) { on_drop_down_ = std::move(handler); }
  void showPopup() override;
  // Wide enough for the current text.
  QSize sizeHint() const override;

 private:
  std::function<void()> on_drop_down_;
};

// The width a combo box needs to show `text` whole in its edit field.
int ComboWidthForText(const QComboBox& box, const QString& text);

}  // namespace kestrova
