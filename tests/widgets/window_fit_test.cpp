// Both windows (and the colour filter's and TCP address dialogs) on a private X server in the fonts
// this machine has: every visible text fits the room its control gives it, at the window's start
// size, at its least size, after a stored placement smaller than that, and with a long port path.
// Run at scale factor 1 and 2.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOption>
#include <QTest>
#include <QToolButton>
#include <string>

#include "main_window_fixture.h"
#include "monitor/widgets/color_filter_dialog.h"
#include "net/widgets/tcp_address_dialog.h"
#include "terminal/widgets/terminal_form.h"

namespace kestrova::test {
extern std::string x11_skip_reason;
}  // namespace kestrova::test

namespace kestrova {
namespace {

int Advance(const QWidget* widget, const QString& text) {
  return widget->fontMetrics().horizontalAdvance(text);
}

// The width a control's style leaves for its text.
int TextRoom(const QWidget* widget) {
  const QStyle* style = widget->style();
  if (const auto* box = qobject_cast<const QComboBox*>(widget)) {
    QStyleOptionComboBox option;
    option.initFrom(box);
    option.editable = box->isEditable();
    return style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box)
        .width();
  }
  if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.lineWidth = style->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
    const QMargins margins = edit->textMargins();
    constexpr int kLineEditMargin = 2;  // QLineEdit's own inner margin on each side
    return style->subElementRect(QStyle::SE_LineEditContents, &option, edit).width() -
           margins.left() - margins.right() - 2 * kLineEditMargin;
  }
  if (const auto* label = qobject_cast<const QLabel*>(widget)) {
    return label->contentsRect().width() - 2 * label->margin();
  }
  QStyleOptionButton option;
  option.initFrom(widget);
  if (qobject_cast<const QCheckBox*>(widget) != nullptr) {
    return style->subElementRect(QStyle::SE_CheckBoxContents, &option, widget).width();
  }
  if (qobject_cast<const QRadioButton*>(widget) != nullptr) {
    return style->subElementRect(QStyle::SE_RadioButtonContents, &option, widget).width();
  }
  if (qobject_cast<const QPushButton*>(widget) != nullptr) {
    return style->subElementRect(QStyle::SE_PushButtonContents, &option, widget).width();
  }
  return widget->contentsRect().width() -
         2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, widget);
}

// The texts a control shows: a drop-down list shows any of its items in its field.
QStringList ShownTexts(const QWidget* widget) {
  if (const auto* box = qobject_cast<const QComboBox*>(widget)) {
    if (box->isEditable()) return {box->currentText()};
    QStringList items;
    for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
    return items;
  }
  if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
    // A combo box's own line edit counts as the combo box.
    return edit->parentWidget() && qobject_cast<QComboBox*>(edit->parentWidget())
               ? QStringList()
               : QStringList{edit->text()};
  }
  if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) return {button->text()};
  if (const auto* label = qobject_cast<const QLabel*>(widget)) return {label->text()};
  return {};
}

// Every visible control of `window` shows its texts whole and lies inside the widget it sits in.
::testing::AssertionResult AllFits(const QWidget* window) {
  std::string misfits;
  const auto name = [](const QWidget* widget) {
    const QString own = widget->objectName();
    return (own.isEmpty() ? QString(widget->metaObject()->className()) : own).toStdString();
  };
  for (const QWidget* widget : window->findChildren<QWidget*>()) {
    if (!widget->isVisibleTo(window) || widget->isWindow()) continue;
    const QWidget* parent = widget->parentWidget();
    if (!parent->rect().contains(widget->geometry())) {
      misfits += "\n  " + name(widget) + " sticks out of " + name(parent);
    }
    QStringList texts = ShownTexts(widget);
    int room = TextRoom(widget);
    if (const auto* group = qobject_cast<const QGroupBox*>(widget)) {
      texts = {group->title()};
      room = group->width();
    }
    texts.removeAll(QString());
    for (const QString& text : texts) {
      if (Advance(widget, text) > room) {
        misfits += "\n  " + name(widget) + " \"" + text.toStdString() + "\" needs " +
                   std::to_string(Advance(widget, text)) + ", has " + std::to_string(room);
      }
    }
    if (!texts.isEmpty() && widget->height() < widget->fontMetrics().height()) {
      misfits += "\n  " + name(widget) + " is lower than its text";
    }
  }
  if (misfits.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << name(window) << ":" << misfits;
}

class WindowFit : public test::MainWindowFixture {
 protected:
  void SetUp() override {
    if (!test::x11_skip_reason.empty()) GTEST_SKIP() << test::x11_skip_reason;
    // The scale this run is for, so that a factor the platform ignored shows.
    const QByteArray scale = qgetenv("QT_SCALE_FACTOR");
    expected_ratio_ = scale.isEmpty() ? 1.0 : scale.toDouble();
    // Short names as the ports of a desktop have; no such devices here.
    Store("Port1", "\"ttyKestrovaFit1\"");
    Store("Port2", "\"ttyKestrovaFit2\"");
    // The widest values these entries take.
    Store("SkipByte", "$FF");
    Store("PacketTimeout", "10000");
  }

  void Open() {
    OpenWindow();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    terminal = window->findChild<TerminalForm*>();
    ASSERT_NE(terminal, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(terminal));
    EXPECT_DOUBLE_EQ(window->devicePixelRatio(), expected_ratio_);
  }

  TerminalForm* terminal = nullptr;

 private:
  double expected_ratio_ = 1;
};

TEST_F(WindowFit, TextsFitAtTheStartSizeAndAtTheLeastSize) {
  // The desktop's font and a larger one, as a user with poor sight sets it.
  const QFont desktop = QApplication::font();
  for (const int point_size : {0, 14}) {
    QFont font = desktop;
    if (point_size > 0) font.setPointSize(point_size);
    QApplication::setFont(font);
    Open();
    SCOPED_TRACE("font " + font.toString().toStdString());
    EXPECT_TRUE(AllFits(window.get()));
    EXPECT_TRUE(AllFits(terminal));
    ColorFilterDialog filter(nullptr, {});
    filter.show();
    EXPECT_TRUE(AllFits(&filter));
    TcpAddressDialog address("192.168.100.200", 65535, "", 0);
    address.show();
    EXPECT_TRUE(AllFits(&address));

    window->resize(window->minimumSize());
    terminal->resize(1, 1);  // raised to its least size
    QApplication::processEvents();
    EXPECT_TRUE(AllFits(window.get()));
    EXPECT_TRUE(AllFits(terminal));
    window.reset();
  }
  QApplication::setFont(desktop);
}

TEST_F(WindowFit, AStoredPlacementSmallerThanTheContentIsRaised) {
  for (const char* form : {"Form1", "VMurTerminal1_Form"}) {
    const std::string section = std::string("Options\\Forms\\") + form;
    for (const auto& [value, number] : {std::pair{"WindowState", 1},
                                        {"Visible", -1},
                                        {"Left", 10},
                                        {"Top", 10},
                                        {"Width", 120},
                                        {"Height", 40}}) {
      StoreIn(section, value, number);
    }
  }
  Open();
  EXPECT_GT(terminal->width(), 120);
  EXPECT_TRUE(AllFits(window.get()));
  EXPECT_TRUE(AllFits(terminal));
}

TEST_F(WindowFit, ALongPortPathShowsInFull) {
  const std::string path =
      (hives.Root() / "by-id" / "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0").string();
  Store("Port2", "\"" + path + "\"");
  Open();
  auto* box = Find<QComboBox>("ComboPort2");
  EXPECT_EQ(box->currentText().toStdString(), path);
  EXPECT_EQ(box->toolTip().toStdString(), path);
  EXPECT_TRUE(AllFits(window.get()));

  box->showPopup();
  int widest = 0;
  for (int i = 0; i < box->count(); ++i) widest = std::max(widest, Advance(box, box->itemText(i)));
  EXPECT_GE(box->view()->viewport()->width(), widest);
  box->hidePopup();
}

}  // namespace
}  // namespace kestrova
