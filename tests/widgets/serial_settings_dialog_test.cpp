// The serial settings dialog on real Qt widgets, offscreen: what it shows, and that OK
// applies, a preset overrides and Cancel changes nothing.
#include "serial/widgets/serial_settings_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/poll_message_loop.h"
#include "serial/vss_comm32.h"
#include "serial/widgets/port_combo.h"
#include "support/simulated_serial_device.h"

namespace kestrova {
namespace {

using testing::SimulatedSerialDevice;
using testing::SimulatedSerialLine;

QApplication& App() {
  static int argc = 1;
  static char name[] = "serial_widgets_tests";
  static char* argv[] = {name, nullptr};
  // Never destroyed: a shown window leaves input devices behind that Qt's own exit-time
  // clean-up would otherwise destroy after the application.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// The component's loop, installed before the component is made.
struct LoopInstalled {
  LoopInstalled() { SetMainLoop(&loop); }
  ~LoopInstalled() { SetMainLoop(nullptr); }
  PollMessageLoop loop;
};

class SerialDialogTest : public ::testing::Test {
 protected:
  SerialDialogTest() {
    App();
    comm_.SetAutoReconnect(false);
    comm_.SetDeviceFactory(
        [line = line_] { return std::make_unique<SimulatedSerialDevice>(line); });
    comm_.SetCommPort("ttySIM7");
  }
  // Runs the dialog modally; `act` works on it once it shows.
  bool RunDialog(const std::function<void(QDialog&)>& act, const std::string& caption = "") {
    QTimer::singleShot(0, [act] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      act(*dialog);
    });
    return RunSerialSettingsDialog(comm_, caption);
  }

  static void Choose(QDialog& dialog, const char* list, const char* text) {
    auto* combo = dialog.findChild<QComboBox*>(list);
    ASSERT_NE(combo, nullptr) << list;
    const int index = combo->findText(text);
    ASSERT_GE(index, 0) << list << ": " << text;
    combo->setCurrentIndex(index);
  }

  static void Click(QDialog& dialog, const char* button) {
    dialog.findChild<QPushButton*>(button)->click();
  }

  LoopInstalled loop_;
  std::shared_ptr<SimulatedSerialLine> line_ = std::make_shared<SimulatedSerialLine>();
  TVSSComm32 comm_{nullptr};
};

TEST_F(SerialDialogTest, ShowsTheComponentsSettings) {
  comm_.SetConfigAsString(R"(,"57600","7","2","Even","0/1 3/0","1 2 3 4 5")");
  comm_.Signals().SetCTSHandshake(true);
  comm_.Options().SetSkipEvents({vsceERR});
  SerialSettingsDialog dialog(comm_, ReadDialogValues(comm_), "Port 1");
  EXPECT_EQ(dialog.windowTitle(), "Port 1");
  const std::vector<std::pair<const char*, const char*>> lists = {
      {"port", "ttySIM7"}, {"baud_rate", "57600"}, {"data_bits", "7"}, {"parity", "Even"},
      {"stop_bits", "2"},  {"dtr", "HighZ"},       {"rts", "Toggle"},  {"preset", "---"}};
  for (const auto& [name, text] : lists) {
    auto* combo = dialog.findChild<QComboBox*>(name);
    ASSERT_NE(combo, nullptr) << name;
    EXPECT_EQ(combo->currentText().toStdString(), text) << name;
  }
  EXPECT_TRUE(dialog.findChild<QComboBox*>("port")->isEditable());
  EXPECT_FALSE(dialog.findChild<QComboBox*>("baud_rate")->isEditable());
  EXPECT_EQ(dialog.findChild<QComboBox*>("baud_rate")->count(), 20);
  EXPECT_EQ(dialog.findChild<QComboBox*>("preset")->count(), 6);
  EXPECT_EQ(dialog.findChild<QLineEdit*>("poll_period")->text(), "10");
  EXPECT_EQ(dialog.findChild<QLineEdit*>("timeout2")->text(), "3");
  EXPECT_TRUE(dialog.findChild<QCheckBox*>("cts_handshake")->isChecked());
  EXPECT_FALSE(dialog.findChild<QCheckBox*>("dsr_handshake")->isChecked());
  EXPECT_TRUE(dialog.findChild<QCheckBox*>("SE3")->isChecked());
  EXPECT_EQ(dialog.findChild<QCheckBox*>("SE8")->toolTip(), "Skip vsceTXEMPTY");

  std::vector<std::string> labels;
  for (QLabel* label : dialog.findChildren<QLabel*>())
    labels.push_back(label->text().toStdString());
  for (const char* expected :
       {"COM port:", "Baud rate:", "Data bits:", "Parity:", "Stop bits:", "DTR:", "RTS:", "Preset:",
        "Time-Poll:", "Time-ReadInt:", "Time-ReadTotCns:", "Time-ReadTotMul:", "Time-WriteTotCns:",
        "Time-WriteTotMul:"}) {
    EXPECT_NE(std::find(labels.begin(), labels.end(), expected), labels.end()) << expected;
  }
}

TEST_F(SerialDialogTest, OkAppliesWhatWasChosen) {
  const bool ok = RunDialog([](QDialog& dialog) {
    EXPECT_EQ(dialog.windowTitle(), "Settings for ttySIM7");
    dialog.findChild<QComboBox*>("port")->setEditText("ttySIM8");
    Choose(dialog, "baud_rate", "115200");
    Choose(dialog, "parity", "Odd");
    Choose(dialog, "dtr", "Off");
    Choose(dialog, "rts", "Handshake");
    dialog.findChild<QLineEdit*>("timeout0")->setText("25");
    dialog.findChild<QLineEdit*>("poll_period")->setText("40");
    dialog.findChild<QCheckBox*>("dsr_handshake")->setChecked(true);
    dialog.findChild<QCheckBox*>("SE6")->setChecked(true);
    Click(dialog, "ok");
  });
  EXPECT_TRUE(ok);
  EXPECT_EQ(comm_.GetConfigAsString(),
            R"("ttySIM8","115200","8","1","Odd","1/0 2/1","25 0 0 0 0")");
  EXPECT_EQ(comm_.ModemPollPeriod(), 40u);
  EXPECT_TRUE(comm_.Signals().DSRHandshake());
  EXPECT_EQ(comm_.Options().SkipEvents(), VSSComm32SkipEvents{vsceRXCHAR});
}

TEST_F(SerialDialogTest, PresetOverridesTheListsOnOk) {
  RunDialog([](QDialog& dialog) {
    Choose(dialog, "baud_rate", "300");
    Choose(dialog, "dtr", "On");
    Choose(dialog, "rts", "Off");
    Choose(dialog, "preset", "Metex M-4640A");
    Click(dialog, "ok");
  });
  EXPECT_EQ(comm_.GetConfigAsString(), R"("ttySIM7","9600","7","2","None","1/1 1/0","10 0 0 0 0")");
}

TEST_F(SerialDialogTest, CancelChangesNothing) {
  const std::string before = comm_.GetConfigAsString();
  const bool ok = RunDialog([](QDialog& dialog) {
    dialog.findChild<QComboBox*>("port")->setEditText("elsewhere");
    Choose(dialog, "preset", "Fatek");
    dialog.findChild<QCheckBox*>("SE0")->setChecked(true);
    Click(dialog, "cancel");
  });
  EXPECT_FALSE(ok);
  EXPECT_EQ(comm_.GetConfigAsString(), before);
  EXPECT_TRUE(comm_.Options().SkipEvents().Empty());
}

TEST_F(SerialDialogTest, ComponentShowsItThroughTheInstalledRunner) {
  InstallSerialSettingsDialog();
  QTimer::singleShot(0, [] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "My port");
    Choose(*dialog, "stop_bits", "1.5");
    Click(*dialog, "ok");
  });
  EXPECT_TRUE(comm_.ShowConfigDialog("My port"));
  EXPECT_EQ(comm_.StopBits(), TStopBits::_1_5);

  QTimer::singleShot(
      0, [] { Click(*qobject_cast<QDialog*>(QApplication::activeModalWidget()), "cancel"); });
  EXPECT_TRUE(comm_.ShowSettingsDialog()) << "a cancelled settings dialog is a success";
  TVSSComm32::SetDialogRunner(nullptr);
}

TEST_F(SerialDialogTest, PortComboKeepsItsItemsAndTheConfiguredPort) {
  App();
  QComboBox combo;
  combo.setEditable(true);
  EXPECT_TRUE(FillPortCombo(&combo, {"/dev/ttyUSB0", "/dev/ttyS10", "/dev/ttyS2"}, "COM4"));
  std::vector<std::string> items;
  for (int i = 0; i < combo.count(); ++i) items.push_back(combo.itemText(i).toStdString());
  EXPECT_EQ(items, (std::vector<std::string>{"/dev/ttyS2", "/dev/ttyS10", "/dev/ttyUSB0", "COM4"}));

  combo.setCurrentIndex(1);
  int resets = 0;
  QObject::connect(&combo, &QComboBox::currentIndexChanged, [&] { ++resets; });
  EXPECT_TRUE(FillPortCombo(&combo, {"/dev/ttyUSB0", "/dev/ttyS10", "/dev/ttyS2"}, "COM4"));
  EXPECT_EQ(resets, 0) << "current items are not rebuilt";
  EXPECT_EQ(combo.currentText(), "/dev/ttyS10");

  // The selected port went away: an editable combo keeps showing its text.
  EXPECT_TRUE(FillPortCombo(&combo, {"/dev/ttyUSB0", "/dev/ttyS3", "/dev/ttyS2"}, "COM4"));
  EXPECT_EQ(combo.currentText(), "/dev/ttyS10");
  EXPECT_EQ(combo.itemText(1), "/dev/ttyS3");

  QComboBox list;
  list.addItem("/dev/ttyS9");
  list.setCurrentIndex(0);
  EXPECT_FALSE(FillPortCombo(&list, {"/dev/ttyS1"}, "/dev/ttyS2"))
      << "a list without the old text has no selection";
}

TEST_F(SerialDialogTest, OpeningTheListLeavesTheTypedPortAndSelectsTheDeviceOnce) {
  App();
  QWidget window;
  auto* combo = new QComboBox(&window);
  combo->setEditable(true);
  combo->addItem("/dev/ttyS9");  // a device that went away since the list was last opened
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  combo->setFocus();
  ASSERT_TRUE(combo->hasFocus());
  combo->setEditText("/dev/ttyUSB");  // typing
  EXPECT_TRUE(FillPortCombo(combo, {"/dev/ttyS0", "/dev/ttyS1"}, "COM1"));
  EXPECT_EQ(combo->currentText(), "/dev/ttyUSB");
  EXPECT_EQ(combo->count(), 2) << "COM1 is the listed /dev/ttyS0";

  EXPECT_TRUE(SelectPortItem(combo, "COM2"));
  EXPECT_EQ(combo->currentIndex(), 1);
  EXPECT_TRUE(SelectPortItem(combo, "COM7"));
  EXPECT_EQ(combo->currentIndex(), -1);
  EXPECT_EQ(combo->currentText(), "COM7");
}

}  // namespace
}  // namespace kestrova
