// The terminal window offscreen: its controls, sending from the send line and the hex line
// with the keys, the history list and its storage, paging, the close actions, docking and
// floating, the style, and the main window's terminal.
#include "terminal/widgets/terminal_form.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabWidget>
#include <QTest>
#include <memory>
#include <vector>

#include "appinfo/mur_app_info.h"
#include "platform/poll_message_loop.h"
#include "support/temp_hives.h"
#include "terminal/main_terminal_design.h"
#include "terminal/mur_terminal.h"
#include "terminal/widgets/main_terminal.h"

namespace kestrova::testing {
namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "terminal_window_tests";
  static char* argv[] = {name, nullptr};
  // Never destroyed: tearing Qt down among the other statics at exit crashes.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

struct Sent {
  std::string data;
  bool includes_cr;
  friend bool operator==(const Sent&, const Sent&) = default;
};

void PrintTo(const Sent& sent, std::ostream* out) {
  *out << ::testing::PrintToString(sent.data) << (sent.includes_cr ? " with CR" : "");
}

// Types `text` into `widget` as key presses carrying the characters (QTest::keyClicks knows
// only ASCII).
void Type(QWidget* widget, const QString& text) {
  for (const QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(widget, &release);
  }
}

QStringList Items(const QComboBox* combo) {
  QStringList items;
  for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
  return items;
}

class TerminalFormTest : public ::testing::Test {
 protected:
  TerminalFormTest() {
    app_info_.SetAppName("KestTerminal");
    owner_.setWindowTitle("owner");
    owner_.resize(300, 200);
    terminal_ = MakeTerminal();
    form_ = static_cast<TerminalForm*>(terminal_->Window());
  }

  std::unique_ptr<VMurTerminal> MakeTerminal() {
    auto terminal = std::make_unique<VMurTerminal>(nullptr);
    terminal->BeginLoading();
    new TerminalForm(*terminal, &owner_);
    terminal->SetName("VMurTerminal1");
    terminal->SetMurAppInfo(&app_info_);
    terminal->SetDocked(false);
    terminal->SetVisible(true);
    terminal->SetShowHexEdit(true);
    terminal->SetFormLeft(40);
    terminal->SetFormTop(30);
    terminal->SetOnTermSendData([this](Object*, const std::string& data, bool cr) {
      sent_.push_back({data, cr});
    });
    return terminal;
  }

  // Finishes loading and gives the window the keyboard.
  void Load() {
    terminal_->Loaded();
    Activate(form_);
  }

  static void Activate(QWidget* window) {
    window->show();
    window->activateWindow();
    // Not qWaitForWindowActive: an owner counts as active while its tool window is.
    EXPECT_TRUE(QTest::qWaitFor([window] { return QApplication::activeWindow() == window; }));
  }

  QLineEdit* SendLine() const { return form_->ManualLine()->lineEdit(); }

  QApplication& app_ = App();  // before any widget
  test::TempHives hives_;
  PollMessageLoop loop_;
  VMurAppInfo app_info_{nullptr, &loop_};
  QWidget owner_;
  std::unique_ptr<VMurTerminal> terminal_;
  TerminalForm* form_;
  std::vector<Sent> sent_;
};

TEST_F(TerminalFormTest, ControlsHaveTheirNamesTextsAndInitialState) {
  EXPECT_EQ(form_->windowTitle(), QString::fromUtf8("Terminál"));
  EXPECT_FALSE(form_->isVisible());
  struct Control {
    const char* name;
    QString text;
    QString hint;
    bool enabled;
  } controls[] = {
      {"VMurTerminal1_SendLinebutton", "Odeslat", "Odeslat s odřádkováním", true},
      {"VMurTerminal1_BtnDirect", "Přímo", "Odeslat bez odřádkování", true},
      {"VMurTerminal1_Clear", "Vymazat", "Vymazat historii", true},
      {"VMurTerminal1_BtnUndock", "Uvolnit okno", "Uvolnit okno terminálu", false},
  };
  for (const Control& c : controls) {
    auto* button = form_->findChild<QPushButton*>(c.name);
    ASSERT_NE(button, nullptr) << c.name;
    EXPECT_EQ(button->text(), c.text);
    EXPECT_EQ(button->toolTip(), c.hint);
    EXPECT_EQ(button->isEnabled(), c.enabled) << c.name;
  }
  EXPECT_EQ(form_->objectName(), "VMurTerminal1_Form");
  EXPECT_EQ(form_->findChild<QComboBox*>("VMurTerminal1_ManualLine"), form_->ManualLine());
  EXPECT_EQ(form_->findChild<QLineEdit*>("VMurTerminal1_HexManualLine"), form_->HexManualLine());
  EXPECT_EQ(form_->findChild<TrafficView*>("VMurTerminal1_RichEdit"), form_->RichEdit());
  auto* group = form_->findChild<QGroupBox*>("VMurTerminal1_RGroupMode");
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->title(), QString::fromUtf8("Režim"));
  EXPECT_TRUE(group->isHidden());
  for (const char* name : {"VMurTerminal1_DebugInTime", "VMurTerminal1_DebugOutTime"}) {
    auto* field = form_->findChild<QLineEdit*>(name);
    ASSERT_NE(field, nullptr) << name;
    EXPECT_EQ(field->text(), QString(name).mid(14));
    EXPECT_FALSE(field->isEnabled());
    EXPECT_TRUE(field->isHidden());
  }
  EXPECT_FALSE(form_->ManualLine()->isHidden());
  EXPECT_EQ(form_->ManualLine()->completer(), nullptr);

  terminal_->SetName("Term2");  // renaming keeps the texts
  EXPECT_EQ(form_->SendButton()->objectName(), "Term2_SendLinebutton");
  EXPECT_EQ(form_->SendButton()->text(), "Odeslat");
  terminal_->SetCaption("Terminal");
  EXPECT_EQ(form_->windowTitle(), "Terminal");
}

TEST_F(TerminalFormTest, LoadingShowsThePlacedWindowWithItsHexLine) {
  Load();
  EXPECT_TRUE(terminal_->Visible());
  EXPECT_FALSE(terminal_->Docked());
  EXPECT_EQ(terminal_->FormLeft(), 40);
  EXPECT_EQ(terminal_->FormTop(), 30);
  EXPECT_EQ(form_->size(), QSize(400, 450));
  EXPECT_TRUE(form_->HexManualLine()->isVisible());
  // The lines are as tall as the font needs: 2 pixels apart, the view 2 pixels above them.
  const QRect hex_line = form_->HexManualLine()->geometry();
  const QRect send_line = form_->ManualLine()->geometry();
  EXPECT_EQ(send_line, hex_line.translated(0, -hex_line.height() - 2));
  EXPECT_EQ(hex_line.width(), 396);
  EXPECT_EQ(form_->RichEdit()->geometry(), QRect(0, 0, 398, send_line.top() - 2));
  terminal_->SetShowHexEdit(false);
  EXPECT_FALSE(form_->HexManualLine()->isVisible());
  EXPECT_EQ(form_->ManualLine()->geometry(), hex_line);

  terminal_->SetFormWidth(500);
  EXPECT_EQ(form_->width(), 500);
  EXPECT_EQ(form_->ManualLine()->width(), 496);
  form_->move(70, 80);
  EXPECT_EQ(terminal_->FormLeft(), 70);
  EXPECT_EQ(terminal_->FormTop(), 80);
}

TEST_F(TerminalFormTest, EnterInTheSendLineSendsTypedTextAsUtf8) {
  Load();
  SendLine()->setFocus();
  Type(SendLine(), QString::fromUtf8("žluť"));
  EXPECT_EQ(form_->HexManualLine()->text(), "C5 BE 6C 75 C5 A5 ");
  QTest::keyClick(SendLine(), Qt::Key_Return);
  EXPECT_EQ(sent_, (std::vector<Sent>{{"\xC5\xBElu\xC5\xA5\r", true}}));
  EXPECT_EQ(SendLine()->text(), "");
  EXPECT_EQ(form_->HexManualLine()->text(), "");
  EXPECT_EQ(Items(form_->ManualLine()), QStringList{QString::fromUtf8("žluť")});
}

TEST_F(TerminalFormTest, HexLineAndSendLineStayEquivalent) {
  Load();
  QTest::keyClicks(form_->HexManualLine(), "4142");
  EXPECT_EQ(SendLine()->text(), "AB");
  QTest::mouseClick(form_->SendButton(), Qt::LeftButton);
  QTest::keyClicks(form_->HexManualLine(), "4142");
  QTest::mouseClick(form_->DirectButton(), Qt::LeftButton);
  QTest::keyClicks(form_->HexManualLine(), "43");
  QTest::keyClick(form_->HexManualLine(), Qt::Key_Return);  // Enter in the hex line: "Přímo"
  EXPECT_EQ(sent_, (std::vector<Sent>{{"AB\r", true}, {"AB", false}, {"C", false}}));

  // Bytes that are not UTF-8 come through the send line unchanged.
  QTest::keyClicks(form_->HexManualLine(), "FF41");
  QTest::keyClick(SendLine(), Qt::Key_End);
  QTest::keyClicks(SendLine(), "B");
  EXPECT_EQ(form_->HexManualLine()->text(), "FF 41 42 ");
  QTest::keyClick(SendLine(), Qt::Key_Return);
  EXPECT_EQ(sent_.back(), (Sent{"\xFF"
                                "AB\r",
                                true}));
}

TEST_F(TerminalFormTest, EscapeAndCtrlZEndTheLine) {
  Load();
  QTest::keyClicks(SendLine(), "x");
  QTest::keyClick(SendLine(), Qt::Key_Escape);
  QTest::keyClicks(SendLine(), "y");
  QTest::keyClick(SendLine(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(sent_, (std::vector<Sent>{{"x\x1b", true}, {"y\x1a", true}}));

  // Esc in the hex line clears both lines and goes to the send line.
  form_->HexManualLine()->setFocus();
  QTest::keyClicks(form_->HexManualLine(), "41");
  QTest::keyClick(form_->HexManualLine(), Qt::Key_Escape);
  EXPECT_EQ(form_->HexManualLine()->text(), "");
  EXPECT_EQ(SendLine()->text(), "");
  EXPECT_TRUE(SendLine()->hasFocus());
  EXPECT_EQ(sent_.size(), 2u);
}

TEST_F(TerminalFormTest, TypingWhileReadingTheViewFillsTheSendLine) {
  Load();
  form_->RichEdit()->setFocus();
  Type(form_->RichEdit(), QString::fromUtf8("ař"));
  EXPECT_EQ(SendLine()->text(), QString::fromUtf8("ař"));
  QTest::keyClick(form_->RichEdit(), Qt::Key_Backspace);
  EXPECT_EQ(SendLine()->text(), "a");
  EXPECT_EQ(form_->HexManualLine()->text(), "61 ");
  EXPECT_EQ(form_->RichEdit()->Text(), "");  // the view took none of it
  QTest::keyClick(form_->RichEdit(), Qt::Key_Return);
  // A space on a focused send button presses it.
  QTest::keyClicks(form_->RichEdit(), "b");
  form_->SendButton()->setFocus();
  QTest::keyClick(form_->SendButton(), Qt::Key_Space);
  EXPECT_EQ(sent_, (std::vector<Sent>{{"a\r", true}, {"b\r", true}}));
}

TEST_F(TerminalFormTest, HistoryListOpensWithArrowsAndEnterSendsThePick) {
  Load();
  for (const char* text : {"one", "two", "three"}) {
    QTest::keyClicks(SendLine(), text);
    QTest::keyClick(SendLine(), Qt::Key_Return);
  }
  EXPECT_EQ(Items(form_->ManualLine()), (QStringList{"three", "two", "one"}));
  sent_.clear();
  QTest::keyClick(SendLine(), Qt::Key_Down);
  QAbstractItemView* list = form_->ManualLine()->view();
  ASSERT_TRUE(list->isVisible());
  list->setCurrentIndex(list->model()->index(1, 0));
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_FALSE(list->isVisible());
  EXPECT_EQ(sent_, (std::vector<Sent>{{"two\r", true}}));
  EXPECT_EQ(Items(form_->ManualLine()), (QStringList{"two", "three", "one"}));

  // Picking an entry with the mouse puts it into both lines.
  form_->ManualLine()->showPopup();
  emit form_->ManualLine()->activated(2);
  EXPECT_EQ(terminal_->SendLineBytes(), "one");
  EXPECT_EQ(form_->HexManualLine()->text(), "6F 6E 65 ");
}

TEST_F(TerminalFormTest, HistoryIsStoredWhenTheWindowIsLeftAndComesBack) {
  Load();
  for (const char* text : {"alpha", "beta"}) {
    QTest::keyClicks(SendLine(), text);
    QTest::keyClick(SendLine(), Qt::Key_Return);
  }
  EXPECT_FALSE(terminal_->HistorySaved());
  Activate(&owner_);

  EXPECT_TRUE(terminal_->HistorySaved());

  // A new terminal with a fresh settings store finds it.
  VMurAppInfo other_store(nullptr, &loop_);
  other_store.SetAppName("KestTerminal");
  auto next = MakeTerminal();
  next->SetMurAppInfo(&other_store);
  next->Loaded();
  auto* next_form = static_cast<TerminalForm*>(next->Window());
  EXPECT_EQ(Items(next_form->ManualLine()), (QStringList{"beta", "alpha"}));
  EXPECT_EQ(next_form->ManualLine()->currentText(), "");
}

TEST_F(TerminalFormTest, PagingKeysScrollTheViewFromTheSendLine) {
  Load();
  for (int i = 0; i < 300; ++i)
    terminal_->AddLine("line " + std::to_string(i), VMurTerminal_ltInLine);
  form_->RichEdit()->Repaint();
  QScrollBar* bar = form_->RichEdit()->verticalScrollBar();
  bar->setValue(bar->maximum());
  const int bottom = bar->value();
  ASSERT_GT(bottom, 0);
  QTest::keyClick(SendLine(), Qt::Key_PageUp);
  EXPECT_EQ(bar->value(), bottom - bar->pageStep());
  QTest::keyClick(form_->RichEdit(), Qt::Key_Up);
  EXPECT_EQ(bar->value(), bottom - bar->pageStep() - bar->singleStep());
  QTest::keyClick(form_->HexManualLine(), Qt::Key_PageDown);
  EXPECT_EQ(bar->value(), bottom - bar->singleStep());
  QTest::keyClick(form_->HexManualLine(), Qt::Key_PageDown, Qt::ShiftModifier);
  EXPECT_EQ(bar->value(), bottom - bar->singleStep());
  EXPECT_FALSE(form_->ManualLine()->view()->isVisible());
}

TEST_F(TerminalFormTest, CloseActions) {
  Load();
  terminal_->SetTermCloseAction(trmcaHide);
  form_->close();
  EXPECT_FALSE(form_->isVisible());
  EXPECT_EQ(terminal_->Window(), form_);

  Activate(form_);
  terminal_->SetTermCloseAction(trmcaDock);  // nowhere to dock: it stays
  form_->close();
  EXPECT_TRUE(form_->isVisible());

  terminal_->SetTermCloseAction(trmcaMinimize);
  form_->close();
  EXPECT_TRUE(form_->isMinimized());
  EXPECT_EQ(terminal_->Window(), form_);
  // Minimised, it has a taskbar button to come back by; restored, it is a tool window again.
  EXPECT_EQ(form_->parentWidget(), nullptr);
  form_->showNormal();
  QTest::qWait(10);
  EXPECT_EQ(form_->parentWidget(), &owner_);
  EXPECT_EQ(form_->windowType(), Qt::Tool);
  EXPECT_TRUE(form_->isVisible());

  terminal_->SetTermCloseAction(trmcaFree);
  QPointer<TerminalForm> watched(form_);
  form_->close();
  EXPECT_EQ(terminal_->Window(), nullptr);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(watched.isNull());
  // Everything that needed the window now does nothing.
  terminal_->AddLine("after", VMurTerminal_ltInLine);
  terminal_->SetCaption("x");
  terminal_->SetVisible(true);
  terminal_->SetDocked(false);
}

TEST_F(TerminalFormTest, DocksIntoAPageControlAndFloatsAgain) {
  terminal_->SetDocked(true);
  Load();
  QTabWidget pages;
  pages.resize(500, 500);
  pages.show();
  form_->SetParentPageControl(&pages);
  EXPECT_TRUE(terminal_->Docked());
  EXPECT_EQ(pages.count(), 1);
  EXPECT_EQ(pages.widget(0), form_);
  EXPECT_EQ(pages.tabText(0), QString::fromUtf8("Terminál"));
  EXPECT_TRUE(form_->UndockButton()->isEnabled());
  EXPECT_FALSE(form_->isWindow());
  // The floating placement is kept while docked.
  EXPECT_EQ(terminal_->FormLeft(), 40);
  terminal_->SetCaption("Terminal");
  EXPECT_EQ(pages.tabText(0), "Terminal");

  QTest::mouseClick(form_->UndockButton(), Qt::LeftButton);
  EXPECT_FALSE(terminal_->Docked());
  EXPECT_EQ(pages.count(), 0);
  EXPECT_TRUE(form_->isWindow());
  EXPECT_TRUE(form_->isVisible());
  EXPECT_EQ(form_->pos(), QPoint(40, 30));
  EXPECT_FALSE(form_->UndockButton()->isEnabled());

  // Closing with trmcaDock puts it back.
  form_->close();
  EXPECT_TRUE(terminal_->Docked());
  EXPECT_EQ(pages.count(), 1);

  // A page control that goes away takes the docked window along; the terminal forgets it.
  {
    QTabWidget doomed;
    form_->SetParentPageControl(&doomed);
  }
  EXPECT_EQ(terminal_->Window(), nullptr);
  EXPECT_TRUE(terminal_->Docked());
}

TEST_F(TerminalFormTest, TaskbarButtonAndStayOnTop) {
  Load();
  EXPECT_EQ(form_->windowType(), Qt::Tool);
  terminal_->SetShowOnTaskbar(true);
  EXPECT_EQ(form_->windowType(), Qt::Window);
  EXPECT_EQ(form_->parentWidget(), nullptr);
  EXPECT_TRUE(form_->isVisible());
  terminal_->SetFormOnTop(true);
  EXPECT_TRUE(form_->windowFlags() & Qt::WindowStaysOnTopHint);
  terminal_->SetShowOnTaskbar(false);
  EXPECT_EQ(form_->windowType(), Qt::Tool);
  EXPECT_EQ(form_->parentWidget(), &owner_);
  EXPECT_TRUE(form_->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(form_->pos(), QPoint(40, 30));
}

TEST_F(TerminalFormTest, ModeGroupAndTimingFields) {
  Load();
  terminal_->SetModeItems({"A", "B", "C"});
  QGroupBox* group = form_->ModeGroup();
  EXPECT_TRUE(group->isVisible());
  EXPECT_EQ(group->width(), 81);
  QList<QRadioButton*> radios = group->findChildren<QRadioButton*>();
  ASSERT_EQ(radios.size(), 3);
  EXPECT_TRUE(radios[0]->isChecked());
  // On the round indicator: beside a short caption a radio button takes no click.
  QStyleOptionButton option;
  option.initFrom(radios[2]);
  const QRect indicator =
      radios[2]->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &option, radios[2]);
  QTest::mouseClick(radios[2], Qt::LeftButton, {}, indicator.center());
  EXPECT_EQ(terminal_->ModeIndex(), 2);
  terminal_->SetModeIndex(-1);
  for (QRadioButton* radio : radios) EXPECT_FALSE(radio->isChecked());
  terminal_->SetModeItems({"1", "2", "3", "4", "5"});
  EXPECT_EQ(group->width(), 121);
  EXPECT_EQ(form_->DebugInTime()->x(), group->geometry().right() + 10) << group->width();

  terminal_->SetDebugWindowsVisible(true);
  EXPECT_TRUE(form_->DebugInTime()->isVisible());
  EXPECT_TRUE(form_->DebugOutTime()->isVisible());
  terminal_->AddText("in", VMurTerminal_ltInLine);
  terminal_->AddText("out", VMurTerminal_ltOutBin);
  bool number = false;
  form_->DebugInTime()->text().toUInt(&number);
  EXPECT_TRUE(number) << form_->DebugInTime()->text().toStdString();
  form_->DebugOutTime()->text().toUInt(&number);
  EXPECT_TRUE(number) << form_->DebugOutTime()->text().toStdString();
}

TEST_F(TerminalFormTest, ClearButtonEmptiesTheView) {
  Load();
  terminal_->AddLine("hello", VMurTerminal_ltInLine);
  EXPECT_EQ(form_->RichEdit()->Text(), "+ hello\n");
  QTest::mouseClick(form_->ClearButton(), Qt::LeftButton);
  EXPECT_EQ(form_->RichEdit()->Text(), "");
}

TEST_F(TerminalFormTest, MainTerminalHasItsDesignValues) {
  Component owner(nullptr);
  // The main window's font is given in pixels; the view keeps that size in its own family.
  QFont form_font("Tahoma");
  form_font.setPixelSize(11);
  owner_.setFont(form_font);
  MainTerminal main = CreateMainTerminal(&owner, &owner_, &app_info_);
  ASSERT_NE(main.terminal, nullptr);
  EXPECT_EQ(main.terminal->Window(), main.form);
  EXPECT_TRUE(main.terminal->Loading());
  main.terminal->Loaded();
  EXPECT_EQ(main.terminal->Name(), "VMurTerminal1");
  EXPECT_EQ(main.form->windowTitle(), "Terminal");
  EXPECT_TRUE(main.form->isVisible());
  EXPECT_TRUE(main.form->HexManualLine()->isVisible());
  EXPECT_EQ(main.terminal->ShowOptions(), vstsoShowLineCounts | vstsoShowTimes);
  EXPECT_EQ(main.terminal->TermCloseAction(), trmcaMinimize);
  EXPECT_EQ(main.terminal->MurAppInfo(), &app_info_);
  const QFont font = main.form->RichEdit()->font();
  EXPECT_EQ(font.pixelSize(), 11);
  if (QFontDatabase::hasFamily("Lucida Console")) {
    EXPECT_EQ(font.family(), "Lucida Console");
  } else {
    EXPECT_TRUE(QFontInfo(font).fixedPitch()) << font.family().toStdString();
  }
}

}  // namespace
}  // namespace kestrova::testing
