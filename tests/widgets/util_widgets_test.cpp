// The shared combo, colour and form routines on real Qt widgets, offscreen, with two
// monitors: "left" 1280 x 1024 at the origin (primary) and "right" 800 x 600 at 1280, 100.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPalette>
#include <QScreen>
#include <QWidget>
#include <cstdio>
#include <ostream>
#include <string>

#include "util/color.h"
#include "util/widgets/combo_text.h"
#include "util/widgets/form_fit.h"
#include "util/widgets/qt_color.h"

// Readable rectangles in failure messages.
void PrintTo(const QRect& rect, std::ostream* out) {
  *out << rect.x() << "," << rect.y() << " " << rect.width() << "x" << rect.height();
}

namespace kestrova {
namespace {

QApplication& App() {
  // One file per process: CTest runs the tests of this binary side by side, and a file being
  // rewritten by another one reads as garbage.
  static const std::string path =
      testing::TempDir() + "kestrova_two_screens_" + std::to_string(getpid()) + ".json";
  static const std::string config = [] {
    if (FILE* file = std::fopen(path.c_str(), "w")) {
      std::fputs(R"({"screens": [{"name": "left", "x": 0, "y": 0, "width": 1280, "height": 1024},)"
                 R"( {"name": "right", "x": 1280, "y": 100, "width": 800, "height": 600}]})",
                 file);
      std::fclose(file);
    }
    return "offscreen:configfile=" + path;
  }();
  static int argc = 3;
  static std::string platform = config;
  static char name[] = "util_widgets_tests";
  static char option[] = "-platform";
  static char* argv[] = {name, option, platform.data(), nullptr};
  static QApplication app(argc, argv);
  std::remove(path.c_str());  // read by now
  return app;
}

class UtilWidgetsTest : public ::testing::Test {
 protected:
  void SetUp() override { App(); }
};

QRect Frame(const QWidget& form) { return form.frameGeometry(); }

TEST_F(UtilWidgetsTest, TheTwoMonitorsAreThere) {
  ASSERT_EQ(QGuiApplication::screens().size(), 2);
  EXPECT_EQ(QGuiApplication::primaryScreen()->availableGeometry(), QRect(0, 0, 1280, 1024));
}

TEST_F(UtilWidgetsTest, SelectComboTextPrefersExactThenLastIgnoringCase) {
  QComboBox combo;
  combo.addItems({"COM3", "com3", "COM10", "COM10"});
  struct Case {
    const char* text;
    int index;
  } const cases[] = {{"COM3", 0}, {"com3", 1}, {"Com3", 1}, {"COM10", 3}, {"com10", 3}};
  for (const auto& c : cases) {
    combo.setCurrentIndex(-1);
    EXPECT_TRUE(SelectComboText(&combo, c.text)) << c.text;
    EXPECT_EQ(combo.currentIndex(), c.index) << c.text;
  }
}

TEST_F(UtilWidgetsTest, SelectComboTextOfAMissingName) {
  QComboBox list_only;
  list_only.addItems({"COM1", "COM2"});
  list_only.setCurrentIndex(1);
  EXPECT_FALSE(SelectComboText(&list_only, "COM7"));
  EXPECT_EQ(list_only.currentIndex(), -1);

  QComboBox editable;
  editable.setEditable(true);
  editable.addItems({"COM1", "COM2"});
  editable.setCurrentIndex(1);
  EXPECT_TRUE(SelectComboText(&editable, "/dev/ttyUSB0"));
  EXPECT_EQ(editable.currentIndex(), -1);
  EXPECT_EQ(editable.currentText(), "/dev/ttyUSB0");
  EXPECT_EQ(editable.count(), 2);  // shown, not added
}

TEST_F(UtilWidgetsTest, ComboFontColorKeepsTextAndSelection) {
  QComboBox combo;
  combo.setEditable(true);
  combo.setEditText("hello");
  combo.lineEdit()->setSelection(1, 3);
  SetComboFontColor(&combo, clRed);
  EXPECT_EQ(combo.palette().color(QPalette::Active, QPalette::Text), QColor(255, 0, 0));
  EXPECT_EQ(combo.palette().color(QPalette::Inactive, QPalette::ButtonText), QColor(255, 0, 0));
  EXPECT_EQ(combo.currentText(), "hello");
  EXPECT_EQ(combo.lineEdit()->selectedText(), "ell");

  SetComboFontColor(&combo, clNone);
  EXPECT_EQ(combo.palette().color(QPalette::Active, QPalette::Text),
            QApplication::palette().color(QPalette::Active, QPalette::Text));
}

TEST_F(UtilWidgetsTest, QtColoursOfPlainSystemAndNoColours) {
  EXPECT_EQ(ToQColor(0xC00040), QColor(0x40, 0x00, 0xC0));
  EXPECT_EQ(ToQColor(clWhite), QColor(255, 255, 255));
  EXPECT_FALSE(ToQColor(clNone).isValid());
  EXPECT_FALSE(ToQColor(clDefault).isValid());
  EXPECT_FALSE(ToQColor(kSystemColorFlag | 25).isValid());
  EXPECT_EQ(ToQColor(clWindow), QApplication::palette().color(QPalette::Base));
  EXPECT_EQ(ToQColor(clHighlight), QApplication::palette().color(QPalette::Highlight));
}

TEST_F(UtilWidgetsTest, FitFormToScreenUsesTheUnionOfBothMonitors) {
  struct Case {
    QRect before;
    QRect all_monitors;
    QRect primary_only;
  } const cases[] = {
      {{100, 100, 400, 300}, {100, 100, 400, 300}, {100, 100, 400, 300}},
      {{1900, 900, 400, 300}, {1680, 724, 400, 300}, {880, 724, 400, 300}},
      {{500, 500, 3000, 2000}, {0, 0, 2080, 1024}, {0, 0, 1280, 1024}},  // larger than the area
      {{-300, -50, 400, 300}, {0, 0, 400, 300}, {0, 0, 400, 300}},
  };
  for (const auto& c : cases) {
    QWidget form;
    form.setGeometry(c.before);
    FitFormToScreen(&form);
    EXPECT_EQ(Frame(form), c.all_monitors) << c.before.x() << "," << c.before.y();
    form.setGeometry(c.before);
    FitFormToPrimaryScreen(&form);
    EXPECT_EQ(Frame(form), c.primary_only) << c.before.x() << "," << c.before.y();
  }
}

TEST_F(UtilWidgetsTest, CentreFormOnTheWorkAreaOrAControl) {
  QWidget form;
  form.resize(400, 300);
  CentreForm(&form);
  EXPECT_EQ(Frame(form), QRect(440, 362, 400, 300));

  QWidget control;
  control.setGeometry(1400, 200, 200, 100);
  CentreForm(&form, &control);
  EXPECT_EQ(Frame(form), QRect(1300, 100, 400, 300));

  control.setGeometry(1900, 900, 100, 50);  // near the far corner: fitted back inside
  CentreForm(&form, &control);
  EXPECT_EQ(Frame(form), QRect(1680, 724, 400, 300));
}

}  // namespace
}  // namespace kestrova
