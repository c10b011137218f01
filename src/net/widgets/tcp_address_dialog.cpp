#include "net/widgets/tcp_address_dialog.h"

#include <QBoxLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "net/mur_tcp.h"
#include "net/tcp_config.h"
#include "util/widgets/form_fit.h"

namespace kestrova {
namespace {

constexpr int kCzech = 1029;
// The design's sizes at 96 dpi: the least the controls get; a font that needs more gets more.
constexpr int kMargin = 8;
constexpr int kLabelWidth = 56;
constexpr int kEditWidth = 96;
constexpr int kButtonWidth = 48;

QLabel* MakeLabel(QWidget* parent, const QString& text, const QString& hint) {
  auto* label = new QLabel(text, parent);
  label->setMinimumWidth(kLabelWidth);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  label->setToolTip(hint);
  return label;
}

QLineEdit* MakeEdit(QWidget* parent, const QString& text, const char* name) {
  auto* edit = new QLineEdit(text, parent);
  edit->setObjectName(name);
  edit->setMinimumWidth(kEditWidth);
  return edit;
}

QPushButton* MakeButton(QWidget* parent, const char* text) {
  auto* button = new QPushButton(text, parent);
  button->setMinimumWidth(kButtonWidth);
  return button;
}

}  // namespace

TcpAddressDialog::TcpAddressDialog(const std::string& host, int port, const std::string& caption,
                                   int language, QWidget* parent)
    : QDialog(parent) {
  const bool czech = language == kCzech;
  QString title = QString::fromStdString(caption);
  if (title.isEmpty()) title = czech ? "Zadejte TCP adresu" : "Enter TCP address";
  setWindowTitle(title);
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);

  const QString host_hint = czech ? "IP adresa nebo jméno počítače" : "IP address or computer name";
  host_ = MakeEdit(this, QString::fromStdString(host), "host");
  host_->setToolTip(host_hint);
  port_ = MakeEdit(this, QString::number(port), "port");
  auto* ok = MakeButton(this, "OK");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  auto* cancel = MakeButton(this, "Cancel");
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  // Two rows of a label and its edit, the buttons below at the right; as small as they allow.
  auto* grid = new QGridLayout(this);
  grid->setSizeConstraint(QLayout::SetFixedSize);
  grid->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
  grid->setVerticalSpacing(kMargin);
  grid->addWidget(MakeLabel(this, czech ? "Server:" : "Host name:", host_hint), 0, 0);
  grid->addWidget(host_, 0, 1);
  grid->addWidget(MakeLabel(this, "TCP port:", QString()), 1, 0);
  grid->addWidget(port_, 1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  grid->addLayout(buttons, 2, 0, 1, 2);
}

std::string TcpAddressDialog::HostText() const { return host_->text().toStdString(); }

std::string TcpAddressDialog::PortText() const { return port_->text().toStdString(); }

bool RunTcpAddressDialog(VMurTcp& tcp, const std::string& caption, int language) {
  TcpAddressDialog dialog(tcp.ClientHost(), tcp.ClientPort(), caption, language);
  CentreForm(&dialog);
  if (dialog.exec() != QDialog::Accepted) return false;
  ApplyAddressDialog(tcp, dialog.HostText(), dialog.PortText());
  return true;
}

void InstallTcpAddressDialog() { VMurTcp::SetDialogRunner(RunTcpAddressDialog); }

}  // namespace kestrova
