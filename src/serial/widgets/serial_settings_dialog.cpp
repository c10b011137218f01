#include "serial/widgets/serial_settings_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "serial/vss_comm32.h"
#include "serial/widgets/port_combo.h"
#include "util/widgets/combo_text.h"
#include "util/widgets/form_fit.h"

namespace kestrova {
namespace {

// Left column: label and control; right column: label and edit box.
constexpr int kLeftLabel = 0;
constexpr int kLeftControl = 1;
constexpr int kRightLabel = 2;
constexpr int kRightControl = 3;

// The skip boxes sit in this order from left to right ("SE3" at the right end).
constexpr int kSkipBoxOrder[kSkipEventCount] = {0, 1, 2, 4, 5, 6, 7, 8, 3};
constexpr const char* kSkipHints[kSkipEventCount] = {
    "Skip vsceBreak", "Skip vsceCTS",    "Skip vsceDSR",    "Skip vsceERR",    "Skip vsceRING",
    "Skip vsceRLSD",  "Skip vsceRXCHAR", "Skip vsceRXFLAG", "Skip vsceTXEMPTY"};

constexpr const char* kTimeoutLabels[VSSComm32Timeouts::kCount] = {
    "Time-ReadInt:", "Time-ReadTotCns:", "Time-ReadTotMul:", "Time-WriteTotCns:",
    "Time-WriteTotMul:"};

QLabel* RowLabel(const char* text, QWidget* parent) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return label;
}

QString Text(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

SerialSettingsDialog::SerialSettingsDialog(const TVSSComm32& comm, const SerialDialogValues& values,
                                           const QString& caption, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(caption);
  auto* grid = new QGridLayout(this);
  grid->setVerticalSpacing(8);

  port_ = new QComboBox(this);
  port_->setObjectName("port");
  port_->setEditable(true);
  FillPortCombo(port_, comm.CommPort());
  SelectComboText(port_, Text(values.port));
  grid->addWidget(RowLabel("COM port:", this), 0, kLeftLabel);
  grid->addWidget(port_, 0, kLeftControl);

  baud_rate_ = AddList(1, "Baud rate:", BaudRateItems(), values.baud_rate, "baud_rate");
  data_bits_ = AddList(2, "Data bits:", DataBitsItems(), values.data_bits, "data_bits");
  parity_ = AddList(3, "Parity:", ParityItems(), values.parity, "parity");
  stop_bits_ = AddList(4, "Stop bits:", StopBitsItems(), values.stop_bits, "stop_bits");
  dtr_ = AddList(5, "DTR:", DtrItems(), values.dtr, "dtr");
  rts_ = AddList(6, "RTS:", RtsItems(), values.rts, "rts");
  preset_ = AddList(7, "Preset:", PresetItems(), values.preset, "preset");

  poll_period_ = AddEdit(0, "Time-Poll:", values.modem_poll_period, "poll_period");
  for (int i = 0; i < VSSComm32Timeouts::kCount; ++i) {
    const std::string name = "timeout" + std::to_string(i);
    timeouts_[i] = AddEdit(i + 1, kTimeoutLabels[i], values.timeouts[i], name.c_str());
  }

  auto* handshakes = new QHBoxLayout;
  cts_handshake_ = new QCheckBox("CTShand", this);
  cts_handshake_->setObjectName("cts_handshake");
  cts_handshake_->setChecked(values.cts_handshake);
  dsr_handshake_ = new QCheckBox("DSRhand", this);
  dsr_handshake_->setObjectName("dsr_handshake");
  dsr_handshake_->setChecked(values.dsr_handshake);
  handshakes->addWidget(cts_handshake_);
  handshakes->addWidget(dsr_handshake_);
  handshakes->addStretch();
  grid->addLayout(handshakes, 6, kRightLabel, 1, 2);

  auto* skips = new QHBoxLayout;
  skips->setSpacing(1);
  for (int i = 0; i < kSkipEventCount; ++i) {
    auto* box = new QCheckBox(this);
    box->setObjectName(QString("SE%1").arg(i));
    box->setAccessibleName(QString("SE%1").arg(i));
    box->setToolTip(kSkipHints[i]);
    box->setChecked(values.skip_events.Contains(static_cast<VSSComm32SkipEvent>(i)));
    skip_events_[i] = box;
  }
  for (const int i : kSkipBoxOrder) skips->addWidget(skip_events_[i]);
  skips->addStretch();
  grid->addLayout(skips, 7, kRightLabel, 1, 2);

  auto* buttons = new QHBoxLayout;
  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("ok");
  ok->setDefault(true);
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setObjectName("cancel");
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  grid->addLayout(buttons, 8, 0, 1, 4);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QComboBox* SerialSettingsDialog::AddList(int row, const char* label,
                                         const std::vector<std::string>& items,
                                         const std::string& selected, const char* name) {
  auto* combo = new QComboBox(this);
  combo->setObjectName(name);
  for (const std::string& item : items) combo->addItem(Text(item));
  SelectComboText(combo, Text(selected));
  auto* grid = static_cast<QGridLayout*>(layout());
  grid->addWidget(RowLabel(label, this), row, kLeftLabel);
  grid->addWidget(combo, row, kLeftControl);
  return combo;
}

QLineEdit* SerialSettingsDialog::AddEdit(int row, const char* label, const std::string& text,
                                         const char* name) {
  auto* edit = new QLineEdit(Text(text), this);
  edit->setObjectName(name);
  QLabel* caption = RowLabel(label, this);
  caption->setToolTip(caption->text());
  auto* grid = static_cast<QGridLayout*>(layout());
  grid->addWidget(caption, row, kRightLabel);
  grid->addWidget(edit, row, kRightControl);
  return edit;
}

SerialDialogValues SerialSettingsDialog::Values() const {
  SerialDialogValues values;
  values.port = port_->currentText().toStdString();
  values.baud_rate = baud_rate_->currentText().toStdString();
  values.data_bits = data_bits_->currentText().toStdString();
  values.parity = parity_->currentText().toStdString();
  values.stop_bits = stop_bits_->currentText().toStdString();
  values.dtr = dtr_->currentText().toStdString();
  values.rts = rts_->currentText().toStdString();
  values.preset = preset_->currentText().toStdString();
  values.modem_poll_period = poll_period_->text().trimmed().toStdString();
  for (int i = 0; i < VSSComm32Timeouts::kCount; ++i) {
    values.timeouts[i] = timeouts_[i]->text().trimmed().toStdString();
  }
  values.cts_handshake = cts_handshake_->isChecked();
  values.dsr_handshake = dsr_handshake_->isChecked();
  for (int i = 0; i < kSkipEventCount; ++i) {
    if (skip_events_[i]->isChecked()) {
      values.skip_events.Include(static_cast<VSSComm32SkipEvent>(i));
    }
  }
  return values;
}

bool RunSerialSettingsDialog(TVSSComm32& comm, const std::string& caption) {
  SerialSettingsDialog dialog(comm, ReadDialogValues(comm),
                              Text(SerialDialogCaption(comm, caption)));
  dialog.adjustSize();
  FitFormToScreen(&dialog);
  if (dialog.exec() != QDialog::Accepted) return false;
  ApplyDialogValues(comm, dialog.Values());
  return true;
}

void InstallSerialSettingsDialog() { TVSSComm32::SetDialogRunner(RunSerialSettingsDialog); }

}  // namespace kestrova
