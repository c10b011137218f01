#include "monitor/widgets/color_filter_dialog.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>

#include "util/widgets/form_fit.h"

namespace kestrova {
namespace {

constexpr int kDesignWidth = 500;
constexpr int kDesignHeight = 300;

}  // namespace

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
  LayOut();
  // The designed size, or what the examples and buttons need in the font at hand.
  resize(std::max(kDesignWidth, sizeHint().width()), std::max(kDesignHeight, sizeHint().height()));
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

void ColorFilterDialog::LayOut() {
  // The memo takes every edge; the examples and the buttons keep to the bottom, the buttons to
  // the right.
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(examples_, 1);
  bottom->addWidget(cancel_);
  bottom->addWidget(ok_);
  auto* form = new QVBoxLayout(this);
  form->setContentsMargins(8, 8, 8, 8);
  form->addWidget(memo_, 1);
  form->addLayout(bottom);
}

}  // namespace kestrova
