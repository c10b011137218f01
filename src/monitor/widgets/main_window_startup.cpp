// The main window's start-up from its stored options and their storing when it closes.
#include "monitor/widgets/main_window.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "monitor/main_window_settings.h"
#include "monitor/port_target.h"
#include "platform/tick.h"
#include "serial/widgets/port_combo.h"
#include "util/exception.h"
#include "util/widgets/combo_text.h"

namespace kestrova {

void TForm1::FormCreate() {
  CreateUdp();
  const MainWindowSettings settings = ReadMainWindowSettings(*VMurAppInfo1);
  const MainWindowSettings defaults;
  // A stored value that its component refuses (a hand-edited or damaged setting) gives way to
  // the default for this run; the user hears of it once the log is open.
  std::vector<std::string> refused;
  const auto restore = [&](std::string_view name, const std::string& stored,
                           const std::string& fallback,
                           const std::function<void(const std::string&)>& apply) {
    try {
      apply(stored);
    } catch (const Exception& e) {
      refused.push_back(RefusedSettingNotice(name, e.what()));
      apply(fallback);
    }
  };
  if (const std::optional<Protocol> protocol = ProtocolFromSetting(settings.protocol)) {
    proto_buttons_->button(static_cast<int>(*protocol))->setChecked(true);
  }
  EditFilename->setText(QString::fromStdString(settings.filename));
  EditFile1->setText(QString::fromStdString(settings.file_macro1));
  EditTimeout->setText(QString::fromStdString(settings.packet_timeout));
  CheckLog1->setChecked(settings.log_com1);
  CheckLog2->setChecked(settings.log_com2);
  CheckLogTimes->setChecked(settings.log_times);
  EditHexDelim->setText(QString::fromStdString(settings.hex_delim));
  EditHexDelimChange();
  EditSkipByte->setText(QString::fromStdString(settings.skip_byte));
  EditSkipByteChange();

  PortSpecification port1;
  restore("Port1", settings.port1, defaults.port1, [this, &port1](const std::string& text) {
    port1 = ReadStoredPortSpecification(text);
    display_->Options().mode = port1.mode;
    if (port1.mode != ChannelMode::kSerial) {
      ComboPort1->setEditText(QString::fromStdString(text));
    } else {
      VSSComm321->SetConfigAsString(text);
    }
  });
  if (port1.mode == ChannelMode::kSerial) {
    FillPortBox(VSSComm321, ComboPort1);
    SelectPortItem(ComboPort1, VSSComm321->CommPort());
  }
  restore("Port2", settings.port2, defaults.port2,
          [this](const std::string& text) { VSSComm322->SetConfigAsString(text); });
  FillPortBox(VSSComm322, ComboPort2);
  SelectPortItem(ComboPort2, VSSComm322->CommPort());
  SelectComboText(ComboBaud1, QString::number(VSSComm321->BaudRateInt()));
  SelectComboText(ComboBaud2, QString::number(VSSComm322->BaudRateInt()));
  for (int i = 0; i < kSignalIndicatorCount; ++i) SetSignalFlags(i, settings.signal_flags[i]);

  VMurAppInfo1->RestoreForms();
  GrowToFitPorts();
  OpenLog(settings.log_file);
  display_->SetLogger(logger_);
  display_->SetLastDataTime(TickCount());
  OptionsChanged();
  applied_port1_ = ComboPort1->currentText().toStdString();
  applied_port2_ = ComboPort2->currentText().toStdString();
  StartPorts(port1);
  // Only port 1's packets are highlighted.
  VMurTopDistributor1->OnAdvancedRecvGetColor() = [this](VMurGeneralDistributor*,
                                                         ChannelKey channel, std::string_view bytes,
                                                         uint32_t, TColor& color) {
    if (channel == ChannelKey(VSSComm321)) filter_.Apply(bytes, color);
  };
  filter_.SetRules(settings.filter_rules);
  for (const std::string& notice : refused) {
    ShowMessage(notice);
    std::fprintf(stderr, "kestrova: %s\n", notice.c_str());
  }
}

void TForm1::FormClose() {
  logger_->Close();
  VSSComm321->DeleteChannels(VMurTopDistributor1);
  VSSComm322->DeleteChannels(VMurTopDistributor1);
  VMurTopDistributor1->DeleteChannel(VMurTcp1);
  VMurTopDistributor1->DeleteChannel(VMurTcp1->MainClient());
  VMurTopDistributor1->DeleteChannel(ChannelKey());
  VMurAppInfo1->SaveForms();

  MainWindowSettings settings;
  settings.port1 = Port1Text();
  settings.port2 = VSSComm322->GetConfigAsString();
  settings.packet_timeout = EditTimeout->text().toStdString();
  settings.file_macro1 = EditFile1->text().toStdString();
  settings.filename = EditFilename->text().toStdString();
  settings.protocol = ProtocolName(static_cast<Protocol>(proto_buttons_->checkedId()));
  settings.log_file = log_file_name_;
  settings.log_com1 = CheckLog1->isChecked();
  settings.log_com2 = CheckLog2->isChecked();
  settings.log_times = CheckLogTimes->isChecked();
  settings.hex_delim = EditHexDelim->text().toStdString();
  settings.skip_byte = EditSkipByte->text().toStdString();
  settings.signal_flags = signal_flags_;
  settings.filter_rules = filter_.Rules();
  WriteMainWindowSettings(*VMurAppInfo1, settings);
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (!closed_) {
    closed_ = true;
    try {
      FormClose();
    } catch (const std::exception& e) {
      // The window closes all the same; the user learns why the next start will not restore.
      QMessageBox::warning(this, windowTitle(),
                           QString::fromUtf8("The settings could not be saved: ") +
                               QString::fromStdString(e.what()));
    }
  }
  QWidget::closeEvent(event);
  emit Closed();
}

}  // namespace kestrova
