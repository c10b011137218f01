#include "net/widgets/tcp_address_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "net/mur_tcp.h"
#include "net/tcp_config.h"
#include "util/widgets/form_fit.h"

namespace kestrova {
namespace {

constexpr int kCzech = 1029;
constexpr int kRowStep = 29;  // control height 21 and a gap of 8

QLabel* AddLabel(QWidget* parent, int y, const QString& text, const QString& hint) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(8, y, 56, 20);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  label->setToolTip(hint);
  return label;
}

QLineEdit* AddEdit(QWidget* parent, int y, const QString& text, const char* name) {
  auto* edit = new QLineEdit(text, parent);
  edit->setObjectName(name);
  edit->setGeometry(72, y, 96, 21);
  return edit;
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

  int y = 8;
  const QString host_hint = czech ? "IP adresa nebo jméno počítače" : "IP address or computer name";
  AddLabel(this, y, czech ? "Server:" : "Host name:", host_hint);
  host_ = AddEdit(this, y, QString::fromStdString(host), "host");
  host_->setToolTip(host_hint);
  y += kRowStep;
  AddLabel(this, y, "TCP port:", QString());
  port_ = AddEdit(this, y, QString::number(port), "port");
  y += kRowStep;

  auto* ok = new QPushButton("OK", this);
  ok->setGeometry(64, y, 48, 21);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setGeometry(118, y, 48, 21);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  y += kRowStep;
  setFixedSize(176, y);
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
