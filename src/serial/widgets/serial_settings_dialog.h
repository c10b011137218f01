// The serial port settings dialog: port, framing, control lines, presets, time limits,
// handshakes and skipped line events, applied to a TVSSComm32 on OK.
#pragma once

#include <QDialog>
#include <array>
#include <string>

#include "serial/serial_dialog_model.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace kestrova {

class TVSSComm32;

class SerialSettingsDialog : public QDialog {
  Q_OBJECT

 public:
  // Shows `values`; the port list is filled for `comm`.
  SerialSettingsDialog(const TVSSComm32& comm, const SerialDialogValues& values,
                       const QString& caption, QWidget* parent = nullptr);

  // What the controls hold now.
  SerialDialogValues Values() const;

 private:
  QComboBox* AddList(int row, const char* label, const std::vector<std::string>& items,
                     const std::string& selected, const char* name);
  QLineEdit* AddEdit(int row, const char* label, const std::string& text, const char* name);

  QComboBox* port_ = nullptr;
  QComboBox* baud_rate_ = nullptr;
  QComboBox* data_bits_ = nullptr;
  QComboBox* parity_ = nullptr;
  QComboBox* stop_bits_ = nullptr;
  QComboBox* dtr_ = nullptr;
  QComboBox* rts_ = nullptr;
  QComboBox* preset_ = nullptr;
  QLineEdit* poll_period_ = nullptr;
  std::array<QLineEdit*, VSSComm32Timeouts::kCount> timeouts_{};
  QCheckBox* cts_handshake_ = nullptr;
  QCheckBox* dsr_handshake_ = nullptr;
  std::array<QCheckBox*, kSkipEventCount> skip_events_{};
};

// Runs the dialog modally for `comm` and applies it on OK (true); Cancel changes nothing.
bool RunSerialSettingsDialog(TVSSComm32& comm, const std::string& caption);

// Lets serial components show this dialog (ShowConfigDialog, ShowSettingsDialog).
void InstallSerialSettingsDialog();

}  // namespace kestrova
