// The main window as designed, offscreen, and bytes fed into its distributor on their way to
// the terminal.
#include "monitor/widgets/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTextEdit>
#include <QToolButton>
#include <algorithm>

#include "platform/widgets/qt_message_loop.h"

namespace kestrova {
namespace {

class MainWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "main_window_test";
    static char* argv[] = {name, nullptr};
    if (QApplication::instance() == nullptr) new QApplication(argc, argv);
  }
  MainWindow() {
    SetMainLoop(&loop);
    window = std::make_unique<TForm1>();
  }
  ~MainWindow() override {
    window.reset();
    SetMainLoop(nullptr);
  }

  template <class T>
  T* Find(const char* name) {
    T* control = window->findChild<T*>(name);
    EXPECT_NE(control, nullptr) << name;
    return control;
  }

  QtMessageLoop loop{[](const std::exception& e) { ADD_FAILURE() << e.what(); }};
  std::unique_ptr<TForm1> window;
};

TEST_F(MainWindow, HasItsDesignedCaptionSizeAndControls) {
  EXPECT_EQ(window->windowTitle(), "Kestrova - MUR spol. s r.o.");
  EXPECT_EQ(window->size(), QSize(393, 138));
  EXPECT_EQ(window->minimumSize(), window->maximumSize());

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
  loop.RunFor(std::chrono::milliseconds(100));  // the view lays out once per screen refresh
  QTextEdit* view = nullptr;
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (view == nullptr) view = top->findChild<QTextEdit*>();
  }
  ASSERT_NE(view, nullptr);
  const QString text = view->toPlainText();
  EXPECT_TRUE(text.contains("hello")) << text.toStdString();
  EXPECT_TRUE(text.contains("world")) << text.toStdString();
  EXPECT_LT(text.indexOf("hello"), text.indexOf("world"));
  window->Distributor().DeleteChannel(&port1);
}

}  // namespace
}  // namespace kestrova
