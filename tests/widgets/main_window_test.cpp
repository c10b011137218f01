// The main window as designed, offscreen, and bytes fed into its distributor on their way to
// the terminal.
#include "monitor/widgets/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "main_window_fixture.h"
#include "monitor/widgets/color_filter_dialog.h"
#include "support/pty_pair.h"
#include "support/simulated_serial_device.h"
#include "support/terminal_view_cases.h"
#include "terminal/widgets/traffic_view.h"

namespace kestrova {
namespace {

class MainWindow : public test::MainWindowFixture {
 protected:
  MainWindow() { OpenWindow(); }
};

TEST_F(MainWindow, HasItsDesignedCaptionSizeAndControls) {
  EXPECT_EQ(window->windowTitle(), "Kestrova - MUR spol. s r.o.");
  // As tall as its controls need; wider only for the port boxes (long port paths).
  EXPECT_EQ(window->minimumHeight(), window->maximumHeight());
  EXPECT_GT(window->maximumWidth(), window->minimumWidth());
  EXPECT_EQ(window->height(), window->minimumHeight());

  EXPECT_EQ(Find<QToolButton>("SpeedButton2")->text(), "+/S");
  EXPECT_EQ(Find<QToolButton>("SpeedButton2")->toolTip(), "Grab ;-)");
  EXPECT_EQ(Find<QComboBox>("ComboBaud1")->count(), 20);
  EXPECT_EQ(Find<QComboBox>("ComboBaud2")->itemText(19), "1000000");
  EXPECT_EQ(Find<QLineEdit>("EditHexDelim")->maxLength(), 2);
  EXPECT_EQ(Find<QLineEdit>("EditSkipByte")->maxLength(), 3);
  EXPECT_EQ(Find<QLineEdit>("EditTimeout")->text(), "100");
  EXPECT_EQ(Find<QLineEdit>("EditHexDelim")->toolTip(),
            QString::fromUtf8("Bajt oddělující hexa a RN pakety"));
  EXPECT_EQ(Find<QCheckBox>("CheckLog1")->toolTip(), QString::fromUtf8("Ukládat port 1"));
  EXPECT_EQ(Find<QGroupBox>("RGroupProto")->title(), "Protokol");
  const auto radios = Find<QGroupBox>("RGroupProto")->findChildren<QRadioButton*>();
  ASSERT_EQ(radios.size(), 6);
  EXPECT_TRUE(radios[2]->isChecked());
  EXPECT_EQ(radios[2]->text(), "Text");
  for (const char* shape : {"ShapeCTS1", "ShapeDSR1", "ShapeRing1", "ShapeDCD1", "ShapeCTS2",
                            "ShapeDSR2", "ShapeRing2", "ShapeDCD2", "Shape1"}) {
    EXPECT_NE(window->findChild<QWidget*>(shape), nullptr) << shape;
  }
  EXPECT_EQ(window->AppInfo().AppName(), "KestTerminal");
  QAction* save = Find<QAction>("ItemSave");
  EXPECT_EQ(save->shortcut(), QKeySequence(Qt::Key_F2));
}

TEST_F(MainWindow, TabOrderFollowsTheDesign) {
  const char* const order[] = {"Button1",    "RGroupProto",  "Button2",       "ComboPort1",
                               "ComboPort2", "ComboBaud1",   "ComboBaud2",    "EditFilename",
                               "EditFile1",  "EditTimeout",  "CheckStop",     "CheckLog1",
                               "CheckLog2",  "EditHexDelim", "CheckLogTimes", "EditSkipByte"};
  for (size_t i = 0; i + 1 < std::size(order); ++i) {
    QWidget* from = window->findChild<QWidget*>(order[i]);
    ASSERT_NE(from, nullptr);
    // Shapes, labels and the radio group's own buttons sit in the chain too; look at the
    // designed controls only.
    QWidget* next = from->nextInFocusChain();
    while (next != nullptr && next != from &&
           std::find_if(std::begin(order), std::end(order), [next](const char* name) {
             return next->objectName() == name;
           }) == std::end(order)) {
      next = next->nextInFocusChain();
    }
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->objectName().toStdString(), order[i + 1]) << "after " << order[i];
  }
}

TEST_F(MainWindow, EntryBoxesSetDelimiterAndSkipByteAndWarnWhenUnreadable) {
  auto* delimiter = Find<QLineEdit>("EditHexDelim");
  delimiter->setText("0D");
  EXPECT_EQ(window->FrameDelimiter(), 0x0D);
  const QColor normal = delimiter->palette().color(QPalette::Base);
  delimiter->setText("x");
  EXPECT_EQ(window->FrameDelimiter(), 0x7E);
  EXPECT_EQ(delimiter->palette().color(QPalette::Base), QColor(255, 192, 192));
  EXPECT_NE(normal, QColor(255, 192, 192));

  auto* skip = Find<QLineEdit>("EditSkipByte");
  skip->setText("'x'");
  EXPECT_EQ(window->SkipByte(), 'x');
  skip->setText("1");
  EXPECT_EQ(window->SkipByte(), -1);
}

TEST_F(MainWindow, ProtocolAndTimeoutReachTheReceivePath) {
  Find<QGroupBox>("RGroupProto")->findChildren<QRadioButton*>()[0]->click();
  EXPECT_EQ(window->Display().Options().protocol, Protocol::kHex);
  Find<QLineEdit>("EditTimeout")->setText("abc");
  EXPECT_EQ(window->Display().Options().packet_timeout_ms, -1);
  Find<QCheckBox>("CheckStop")->setChecked(true);
  EXPECT_TRUE(window->Display().Options().stop);

  // Hex framing with the designed delimiter: two packets claimed, the rest waits.
  std::vector<std::string> packets;
  window->Distributor().OnAdvancedRecvPoll() = [&](VMurGeneralDistributor*, ChannelKey, uint32_t&,
                                                   std::string_view data,
                                                   bool&) { packets.emplace_back(data); };
  window->Distributor().ComReceive(nullptr, nullptr, "\x7E\x01\x02\x7E\x7E\x03\x7E\x7E\x04");
  EXPECT_EQ(packets, (std::vector<std::string>{"\x7E\x01\x02\x7E", "\x7E\x03\x7E"}));
}

TEST_F(MainWindow, ReceivedTextReachesTheTerminalViewLineByLine) {
  Object port1;
  window->Distributor().ComReceive(nullptr, &port1, "hello\r\nwor");
  window->Distributor().ComReceive(nullptr, &port1, "ld\r\nx");
  TrafficView* view = nullptr;
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (view == nullptr) view = top->findChild<TrafficView*>();
  }
  ASSERT_NE(view, nullptr);
  const std::string text = view->Text();
  EXPECT_NE(text.find("hello"), std::string::npos) << text;
  EXPECT_NE(text.find("world"), std::string::npos) << text;
  EXPECT_LT(text.find("hello"), text.find("world"));
  window->Distributor().DeleteChannel(&port1);
}

class MainWindowSettings : public test::MainWindowFixture {
 protected:
  bool RadioChecked(const char* text) {
    for (QRadioButton* radio : Find<QGroupBox>("RGroupProto")->findChildren<QRadioButton*>()) {
      if (radio->text() == text) return radio->isChecked();
    }
    ADD_FAILURE() << "no protocol " << text;
    return false;
  }
};

TEST_F(MainWindowSettings, StartFromNothingAndStoreEveryValueOnClosing) {
  OpenWindow();
  EXPECT_TRUE(RadioChecked("Text"));
  EXPECT_EQ(Find<QLineEdit>("EditTimeout")->text(), "100");
  EXPECT_EQ(Find<QLineEdit>("EditFilename")->text(), "Pokusy_%1.rtf");
  EXPECT_EQ(Find<QLineEdit>("EditFile1")->text(), "1");
  EXPECT_EQ(window->FrameDelimiter(), 0x7E);
  EXPECT_EQ(window->SkipByte(), -1);
  EXPECT_EQ(Find<QComboBox>("ComboBaud1")->currentText(), "57600");
  // The fixture's ports (no machine's real ones) come back into the boxes.
  const QString port1 = QString::fromStdString((hives.Root() / "no-port-1").string());
  EXPECT_EQ(Find<QComboBox>("ComboPort1")->currentText(), port1);

  window->close();
  const std::string log_file = LogPath().string();
  const std::pair<const char*, const char*> expected[] = {{"Protocol", "Text"},
                                                          {"PacketTimeout", "100"},
                                                          {"Filename", "Pokusy_%1.rtf"},
                                                          {"FileMacro1", "1"},
                                                          {"HexDelim", "7E"},
                                                          {"SkipByte", ""},
                                                          {"LogCom1", "0"},
                                                          {"LogCom2", "0"},
                                                          {"LogTimes", "0"},
                                                          {"LogFile", log_file.c_str()}};
  for (const auto& [name, value] : expected) EXPECT_EQ(Stored(name), value) << name;
  EXPECT_TRUE(Stored("Port1").starts_with("\"" + port1.toStdString() + "\",\"57600\",\"8\","))
      << Stored("Port1");
  EXPECT_TRUE(Stored("Port2").starts_with("\"" + (hives.Root() / "no-port-2").string() + "\","))
      << Stored("Port2");
}

TEST_F(MainWindowSettings, StoredValuesComeBackAndChangesAreStored) {
  Store("Protocol", "Fatek");
  Store("PacketTimeout", "250");
  Store("HexDelim", "0D");
  Store("SkipByte", "'x'");
  Store("LogCom2", 1);
  Store("Port2", "\"/dev/ttyUSB7\",\"115200\"");
  OpenWindow();
  EXPECT_TRUE(RadioChecked("Fatek"));
  EXPECT_EQ(Find<QLineEdit>("EditTimeout")->text(), "250");
  EXPECT_EQ(window->Display().Options().packet_timeout_ms, 250);
  EXPECT_EQ(window->FrameDelimiter(), 0x0D);
  EXPECT_EQ(window->SkipByte(), 'x');
  EXPECT_TRUE(Find<QCheckBox>("CheckLog2")->isChecked());
  EXPECT_TRUE(window->Display().Options().log_port2);
  EXPECT_EQ(window->Port2().CommPort(), "/dev/ttyUSB7");
  EXPECT_EQ(Find<QComboBox>("ComboBaud2")->currentText(), "115200");

  Find<QGroupBox>("RGroupProto")->findChildren<QRadioButton*>()[5]->click();
  Find<QCheckBox>("CheckLog2")->setChecked(false);
  Find<QLineEdit>("EditFile1")->setText("007");
  window->close();
  EXPECT_EQ(Stored("Protocol"), "A4A3");
  EXPECT_EQ(Stored("LogCom2"), "0");
  EXPECT_EQ(Stored("FileMacro1"), "007");
  EXPECT_EQ(Stored("Port2").substr(0, 24), "\"/dev/ttyUSB7\",\"115200\",");
}

TEST_F(MainWindowSettings, StoredProtocolNamesSelectTheirItem) {
  const std::pair<const char*, const char*> cases[] = {
      {"PPP", "Hex"}, {"TextRN", "TextRN"}, {"text", "Text"}, {"Hex ", "Text"}, {"", "Text"}};
  for (const auto& [stored, selected] : cases) {
    Store("Protocol", stored);
    OpenWindow();
    EXPECT_TRUE(RadioChecked(selected)) << '"' << stored << '"';
    window.reset();
  }
}

TEST_F(MainWindowSettings, NetworkPort1IsKeptAsStored) {
  Store("Port1", "tcp:192.168.1.10:502");
  OpenWindow();
  EXPECT_EQ(Find<QComboBox>("ComboPort1")->currentText(), "tcp:192.168.1.10:502");
  window->close();
  EXPECT_EQ(Stored("Port1"), "tcp:192.168.1.10:502");
}

TEST_F(MainWindowSettings, LogFileThatCannotBeOpenedTurnsTheStripRed) {
  Store("LogFile", hives.Root().string());  // a folder, not a file
  Store("LogCom1", 1);
  OpenWindow();
  EXPECT_EQ(Find<QFrame>("Shape1")->palette().color(QPalette::Window), QColor(255, 0, 0));
  TMurCleverComm& port1 = window->Port1();
  port1.OnReceiveData()(&port1, "still shown\nx");  // logging is skipped, nothing else
  EXPECT_NE(testing::ViewText(*window->Terminal().Output().View()).find("still shown"),
            std::string::npos);
}

TEST_F(MainWindowSettings, LogFileOpensAtStartUp) {
  OpenWindow();
  EXPECT_EQ(Find<QFrame>("Shape1")->palette().color(QPalette::Window), QColor(0, 255, 255));
  EXPECT_TRUE(std::filesystem::exists(LogPath()));
}

TEST_F(MainWindowSettings, F2SavesTheViewToTheNextCaptureFile) {
  OpenWindow();
  const std::filesystem::path folder = hives.Root();
  auto* pattern = Find<QLineEdit>("EditFilename");
  auto* counter = Find<QLineEdit>("EditFile1");
  pattern->setText(QString::fromStdString((folder / "Pokusy_%1.rtf").string()));
  window->Terminal().AddLine("captured", VMurTerminal_ltExtra);
  Find<QAction>("ItemSave")->trigger();
  EXPECT_TRUE(std::filesystem::exists(folder / "Pokusy_1.rtf"));
  EXPECT_EQ(counter->text(), "2");

  // The boxes warn when the next save would overwrite a file.
  const QColor normal = counter->palette().color(QPalette::Text);
  std::ofstream(folder / "Pokusy_3.rtf") << "x";
  counter->setText("3");
  EXPECT_EQ(counter->palette().color(QPalette::Text), QColor(255, 0, 0));
  EXPECT_EQ(pattern->palette().color(QPalette::Text), QColor(255, 0, 0));
  counter->setText("abc");
  EXPECT_EQ(counter->palette().color(QPalette::Text), normal);
  emit counter->returnPressed();  // Enter in a box saves too
  EXPECT_TRUE(std::filesystem::exists(folder / "Pokusy_abc.rtf"));
  EXPECT_EQ(counter->text(), "001");

  // A file that cannot be written: the window turns red and the counter stays.
  pattern->setText(QString::fromStdString((folder / "missing" / "x_%1.rtf").string()));
  Find<QAction>("ItemSave")->trigger();
  EXPECT_EQ(counter->text(), "001");
  EXPECT_EQ(window->palette().color(QPalette::Window), QColor(255, 0, 0));
  pattern->setText(QString::fromStdString((folder / "y_%1.rtf").string()));
  Find<QAction>("ItemSave")->trigger();
  EXPECT_NE(window->palette().color(QPalette::Window), QColor(255, 0, 0));
  EXPECT_EQ(counter->text(), "002");
}

TEST_F(MainWindowSettings, GrabButtonStaysDownOnlyWhilePort1IsOpen) {
  testing::PtyPair line;
  OpenWindow();
  auto* grab = Find<QToolButton>("SpeedButton2");
  const auto settle = [this] { loop.RunFor(std::chrono::milliseconds(50)); };
  // Port 1 reconnects by itself, so naming a port that exists opens it.
  window->Port1().SetCommPort(line.slave_path());
  settle();
  ASSERT_TRUE(window->Port1().Connected()) << window->Port1().SerialComponent()->LastErrorText();
  EXPECT_TRUE(grab->isChecked());
  grab->click();
  settle();
  EXPECT_FALSE(grab->isChecked());
  EXPECT_EQ(window->Port1().Grab(), vscgcSoft);
  EXPECT_TRUE(window->Port1().Connected());
  grab->click();
  settle();
  EXPECT_TRUE(grab->isChecked());
  window->Port1().SetAutoReconnect(false);
  window->Port1().StopComm();
  settle();
  EXPECT_FALSE(grab->isChecked());
  // Nobody to take the port from, and it is not open: the button pops up again.
  grab->click();
  settle();
  EXPECT_FALSE(grab->isChecked());
}

TEST_F(MainWindowSettings, SignalIndicatorsShowLevelsAndReportAsFlagged) {
  Store("LogCom1CTS", 3);
  Store("LogCom2DCD", 2);
  OpenWindow();
  window->Terminal().SetShowOptions(0);
  window->Logger()->SetOptions(vslofLinetype);
  auto line = std::make_shared<testing::SimulatedSerialLine>();
  TMurCleverComm& port1 = window->Port1();
  port1.SerialComponent()->SetDeviceFactory(
      [line] { return std::make_unique<testing::SimulatedSerialDevice>(line); });
  port1.SetCommPort("ttySIM0");
  ASSERT_TRUE(port1.StartComm());

  auto* cts = Find<QFrame>("ShapeCTS1");
  auto* dsr = Find<QFrame>("ShapeDSR1");
  EXPECT_EQ(cts->palette().color(QPalette::WindowText), Qt::white);  // both reports
  EXPECT_EQ(dsr->palette().color(QPalette::WindowText), Qt::black);  // none
  EXPECT_EQ(dsr->palette().color(QPalette::Window), Qt::white);      // nothing reported yet
  line->SetModemStatus(kMsCtsOn | kMsDsrOn);
  ASSERT_TRUE(
      loop.RunUntil([&] { return dsr->toolTip() == "DSR1 = Active"; }, std::chrono::seconds(5)));
  EXPECT_EQ(cts->palette().color(QPalette::Window), QColor(0, 255, 0));
  EXPECT_EQ(cts->toolTip(), "CTS1 = Active");
  line->SetModemStatus(kMsDsrOn);
  ASSERT_TRUE(
      loop.RunUntil([&] { return cts->toolTip() == "CTS1 = Low"; }, std::chrono::seconds(5)));
  EXPECT_EQ(cts->palette().color(QPalette::Window), QColor(255, 0, 0));
  port1.StopComm();

  // Only CTS1 reports; DSR1's changes recolour it alone.
  const std::string extra_g(StyleOf(VMurTerminal_ltExtraG).view_prefix);
  EXPECT_EQ(testing::ViewText(*window->Terminal().Output().View()),
            extra_g + "CTS1 <- Active\n" + extra_g + "CTS1 <- Low\n");
  // Port 2's DCD reports to the log only.
  window->Port2().OnChangedRLSD()(&window->Port2(), true);
  window->Logger()->Close();
  const std::string message(StyleOf(VMurTerminal_ltExtra).log_marker);
  EXPECT_EQ(LogText(), message + "CTS1 <- Active\r\n" + message + "CTS1 <- Low\r\n" + message +
                           "DCD2 <- Active\r\n");
}

TEST_F(MainWindowSettings, SignalFlagsAreChosenWithTheMouseAndStored) {
  Store("LogCom2CTS", 1);
  OpenWindow();
  auto* shape = Find<QFrame>("ShapeCTS2");
  QTest::mouseClick(shape, Qt::LeftButton);  // 1 -> both
  EXPECT_EQ(shape->palette().color(QPalette::WindowText), Qt::white);
  QTest::mouseClick(shape, Qt::LeftButton);  // both -> none
  EXPECT_EQ(shape->palette().color(QPalette::WindowText), Qt::black);
  QTest::mouseClick(shape, Qt::LeftButton, Qt::ShiftModifier);  // only a plain click counts
  EXPECT_EQ(shape->palette().color(QPalette::WindowText), Qt::black);

  // The pop-up menu shows and toggles the indicator it was opened on.
  auto* ring = Find<QFrame>("ShapeRing1");
  QTest::mouseClick(ring, Qt::RightButton);
  auto* to_terminal = Find<QAction>("ItemCommSignalsTerm");
  auto* to_log = Find<QAction>("ItemCommSignalsLog");
  EXPECT_FALSE(to_terminal->isChecked());
  EXPECT_FALSE(to_log->isChecked());
  to_log->trigger();
  Find<QMenu>("PMenuCommSignals")->close();
  EXPECT_EQ(ring->palette().color(QPalette::WindowText), QColor(0, 0, 255));
  QTest::mouseClick(ring, Qt::RightButton);
  EXPECT_TRUE(to_log->isChecked());
  Find<QMenu>("PMenuCommSignals")->close();

  window->close();
  EXPECT_EQ(Stored("LogCom2CTS"), "0");
  EXPECT_EQ(Stored("LogCom1Ring"), "2");
  EXPECT_EQ(Stored("LogCom1CTS"), "0");
}

TEST_F(MainWindowSettings, FilterRulesHighlightPort1PacketsOnly) {
  // Rules come from the settings at start-up; the later match wins.
  VMurAppInfo rules(nullptr, &loop);
  rules.SetAppName("KestTerminal");
  rules.WriteInteger("Options\\FilterRecv", "_Count", 2);
  rules.WriteString("Options\\FilterRecv", "0", R"(clRed:"*?ok")");
  rules.WriteString("Options\\FilterRecv", "1", R"(clBlue:"b")");
  OpenWindow();
  window->Terminal().SetShowOptions(0);
  TMurCleverComm& port1 = window->Port1();
  TMurCleverComm& port2 = window->Port2();
  port1.OnReceiveData()(&port1, "a ok\nb ok\nb ok\nno\nx");
  port2.OnReceiveData()(&port2, "b ok\nx");
  std::vector<std::pair<std::string, TColor>> lines;
  for (const TextRun& run : window->Terminal().Output().View()->Runs()) {
    if (run.underline) lines.emplace_back(run.text, run.color);
  }
  // Each packet is judged afresh, so a repeated colour is shown again (the view joins the two
  // lines' runs); "no" and port 2's packet stay plain.
  EXPECT_EQ(lines, (std::vector<std::pair<std::string, TColor>>{
                       {"+ a ok<#0A>\n", clRed}, {"+ b ok<#0A>\n+ b ok<#0A>\n", clBlue}}));
}

TEST_F(MainWindowSettings, FilterRulesAreStoredAndOldOnesBeyondTheCountStay) {
  VMurAppInfo rules(nullptr, &loop);
  rules.SetAppName("KestTerminal");
  rules.WriteInteger("Options\\FilterRecv", "_Count", 3);
  for (const char* index : {"0", "1", "2"}) {
    rules.WriteString("Options\\FilterRecv", index, std::string("clRed:\"") + index + "\"");
  }
  OpenWindow();
  window->close();
  EXPECT_EQ(rules.ReadInteger("Options\\FilterRecv", "_Count", -1), 3);
  EXPECT_EQ(rules.ReadString("Options\\FilterRecv", "2", ""), "clRed:\"2\"");
}

TEST_F(MainWindowSettings, AFilterColourThatIsNoColourClearsTheView) {
  VMurAppInfo rules(nullptr, &loop);
  rules.SetAppName("KestTerminal");
  rules.WriteInteger("Options\\FilterRecv", "_Count", 1);
  rules.WriteString("Options\\FilterRecv", "0", R"(clNoSuch:"x")");
  OpenWindow();
  TMurCleverComm& port1 = window->Port1();
  port1.OnReceiveData()(&port1, "a\nb");
  EXPECT_GT(window->Terminal().Output().View()->Length(), 0);
  port1.OnReceiveData()(&port1, "\nx\ny");
  EXPECT_EQ(window->Terminal().Output().View()->Length(), 0);
}

TEST(ColorFilterDialogTest, OkGivesTheMemoLinesAndTheLayoutFollowsTheSize) {
  static int argc = 0;  // Qt keeps a reference to it for the application's lifetime
  if (QApplication::instance() == nullptr) new QApplication(argc, nullptr);
  ColorFilterDialog dialog(nullptr, {"clRed:\"a\"", "clBlue:\"b\""});
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), "Coloring Filter: Received");
  EXPECT_GE(dialog.width(), 500);
  EXPECT_GE(dialog.height(), 300);
  EXPECT_EQ(dialog.Memo()->toPlainText(), "clRed:\"a\"\nclBlue:\"b\"");
  dialog.Memo()->setPlainText("clGreen:\"x\"\n\nclLime\n");
  EXPECT_EQ(dialog.Rules(), (std::vector<std::string>{"clGreen:\"x\"", "", "clLime"}));
  // The memo grows with the dialog; the buttons stay at the bottom right.
  const QRect memo = dialog.Memo()->geometry();
  const auto buttons = dialog.findChildren<QPushButton*>();
  ASSERT_EQ(buttons.size(), 2);
  const QPoint from_corner = QPoint(dialog.width(), dialog.height()) - buttons[0]->pos();
  dialog.resize(dialog.size() + QSize(100, 100));
  QApplication::processEvents();
  EXPECT_EQ(dialog.Memo()->geometry(), memo.adjusted(0, 0, 100, 100));
  EXPECT_EQ(QPoint(dialog.width(), dialog.height()) - buttons[0]->pos(), from_corner);
}

TEST_F(MainWindowSettings, PortBoxesOpenWhatTheyNameAndBaudBoxesSetTheRate) {
  testing::PtyPair line1;
  testing::PtyPair line2;
  OpenWindow();
  auto* port1_box = Find<QComboBox>("ComboPort1");
  port1_box->setEditText(QString::fromStdString(line1.slave_path()));
  emit port1_box->lineEdit()->editingFinished();
  ASSERT_TRUE(window->Port1().Connected()) << window->Port1().SerialComponent()->LastErrorText();
  EXPECT_TRUE(
      loop.RunUntil([&] { return port1_box->palette().color(QPalette::Text) == QColor(0, 0, 255); },
                    std::chrono::seconds(5)));
  auto* port2_box = Find<QComboBox>("ComboPort2");
  port2_box->setEditText(QString::fromStdString(line2.slave_path()));
  emit port2_box->lineEdit()->editingFinished();
  EXPECT_TRUE(window->Port2().Connected()) << window->Port2().SerialComponent()->LastErrorText();

  auto* baud1 = Find<QComboBox>("ComboBaud1");
  baud1->setCurrentText("115200");
  emit baud1->textActivated("115200");
  EXPECT_EQ(window->Port1().BaudRate(), TBaudRate::_115200);

  // "TCP:" alone changes nothing: the serial port stays open.
  port1_box->setEditText("TCP:");
  emit port1_box->lineEdit()->editingFinished();
  EXPECT_TRUE(window->Port1().Connected());
  // A network port closes the serial one.
  port1_box->setEditText("udp:0");  // 0 is no server port: a client of host "0"
  emit port1_box->lineEdit()->editingFinished();
  EXPECT_FALSE(window->Port1().Connected());
  window->Port2().StopComm();
}

TEST_F(MainWindowSettings, SettingsButtonShowsWhatTheDialogChose) {
  OpenWindow();
  TVSSComm32::SetDialogRunner([](TVSSComm32& port, const std::string&) {
    port.SetConfigAsString("\"/dev/kestrova-chosen\",\"9600\"");
    return true;
  });
  window->Port2().SetAutoReconnect(false);
  Find<QPushButton>("Button2")->click();
  TVSSComm32::SetDialogRunner({});
  EXPECT_EQ(Find<QComboBox>("ComboPort2")->currentText(), "/dev/kestrova-chosen");
  EXPECT_EQ(Find<QComboBox>("ComboBaud2")->currentText(), "9600");
}

}  // namespace
}  // namespace kestrova
