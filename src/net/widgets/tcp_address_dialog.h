// The small dialog for the TCP component's outgoing connection: host and port, OK and Cancel.
#pragma once

#include <QDialog>
#include <QString>
#include <string>

class QLineEdit;

namespace kestrova {

class VMurTcp;

class TcpAddressDialog : public QDialog {
  Q_OBJECT

 public:
  // Language 1029 gives the Czech texts, any other the English ones. An empty caption takes
  // the language's default.
  TcpAddressDialog(const std::string& host, int port, const std::string& caption, int language,
                   QWidget* parent = nullptr);

  std::string HostText() const;
  std::string PortText() const;

 private:
  QLineEdit* host_ = nullptr;
  QLineEdit* port_ = nullptr;
};

// Shows the dialog for `tcp` modally; on OK applies the fields and returns true.
bool RunTcpAddressDialog(VMurTcp& tcp, const std::string& caption, int language);

// Makes VMurTcp::ShowSettingsDialog show this dialog.
void InstallTcpAddressDialog();

}  // namespace kestrova
