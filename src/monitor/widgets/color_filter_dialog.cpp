#include "monitor/widgets/color_filter_dialog.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "util/widgets/form_fit.h"

namespace kestrova {

ColorFilterDialog::ColorFilterDialog(QWidget* parent, const std::vector<std::string>& rules)
    : QDialog(parent),
      memo_(new QPlainTextEdit(this)),
      ok_(new QPushButton("OK", this)),
      cancel_(new QPushButton("Cancel", this)),
      examples_(new QLabel(this)) {
  setObjectName("ColorFilterDialog");
  setWindowTitle("Coloring Filter: Received");
  memo_->setObjectName("Memo");
  memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
  QStringList lines;
  for (const std::string& rule : rules) lines << QString::fromStdString(rule);
  memo_->setPlainText(lines.join('\n'));
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  examples_->setText(R"(Examples: clGreen:" \*\*"#$20"d"   or   $C00040:"*?recv:")");
  examples_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  resize(500, 300);
  LayOut();
  CentreForm(this);
}

std::vector<std::string> ColorFilterDialog::Rules() const {
  QStringList lines = memo_->toPlainText().split('\n');
  if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
  std::vector<std::string> rules;
  rules.reserve(lines.size());
  for (const QString& line : lines) rules.push_back(line.toStdString());
  return rules;
}

void ColorFilterDialog::resizeEvent(QResizeEvent* event) {
  LayOut();
  QDialog::resizeEvent(event);
}

void ColorFilterDialog::LayOut() {
  // The memo follows every edge; the buttons and the label keep to the bottom and the right.
  const int w = width();
  const int h = height();
  memo_->setGeometry(8, 8, w - 16, h - 49);
  ok_->setGeometry(w - 77, h - 33, 69, 25);
  cancel_->setGeometry(w - 154, h - 33, 69, 25);
  examples_->setGeometry(8, h - 31, w - 162, 20);
}

}  // namespace kestrova
