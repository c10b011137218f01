// The dialog that edits the colour filter's rules, one rule per line of its memo.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace kestrova {

class ColorFilterDialog : public QDialog {
  Q_OBJECT

 public:
  ColorFilterDialog(QWidget* parent, const std::vector<std::string>& rules);

  // The memo's lines; a last line break does not make an empty rule.
  std::vector<std::string> Rules() const;
  QPlainTextEdit* Memo() const { return memo_; }

 private:
  void LayOut();

  QPlainTextEdit* memo_;
  QPushButton* ok_;
  QPushButton* cancel_;
  QLabel* examples_;
};

}  // namespace kestrova
