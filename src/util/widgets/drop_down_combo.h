// A combo box that lets its owner refresh the items just before the list opens.
#pragma once

#include <QComboBox>
#include <functional>

namespace kestrova {

class DropDownComboBox : public QComboBox {
  Q_OBJECT

 public:
  using QComboBox::QComboBox;

  void SetOnDropDown(std::function<void()> handler) { on_drop_down_ = std::move(handler); }
  void showPopup() override;

 private:
  std::function<void()> on_drop_down_;
};

}  // namespace kestrova
