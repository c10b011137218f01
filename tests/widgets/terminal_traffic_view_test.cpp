// The traffic view widget, offscreen: the shared table of terminal output cases, then what a
// user does with it (scrolling away, selecting and copying) and how often it paints.
#include "terminal/widgets/traffic_view.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include "support/terminal_view_cases.h"

namespace kestrova::testing {
namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "terminal_widgets_tests";
  static char* argv[] = {name, nullptr};
  // Never destroyed: tearing Qt down among the other statics at exit crashes.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// A window like the terminal's: the view above a send line, which has the focus unless a test
// gives it to the view.
class TrafficViewHarness : public ViewHarness {
 public:
  TrafficViewHarness() {
    auto* layout = new QVBoxLayout(&window_);
    layout->addWidget(view_);
    layout->addWidget(send_line_);
    window_.resize(400, 340);
    window_.show();
    window_.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window_));
    SetFocused(false);
  }

  RichView& View() override { return *view_; }
  TrafficView& Widget() { return *view_; }

  void SetFocused(bool focused) override {
    (focused ? static_cast<QWidget*>(view_) : send_line_)->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(view_->hasFocus(), focused);
  }

  bool ShowsEnd() override {
    QTest::qWait(300);  // what the user sees once the screen and the scroll bar have caught up
    const QScrollBar& bar = *view_->verticalScrollBar();
    return bar.value() == bar.maximum();
  }

 private:
  QApplication& app_ = App();  // before any widget
  QWidget window_;
  TrafficView* view_ = new TrafficView(&window_);
  QLineEdit* send_line_ = new QLineEdit(&window_);
};

class TrafficViewCaseTest : public ::testing::TestWithParam<ViewCase> {};

TEST_P(TrafficViewCaseTest, ShowsWhatTheCaseExpects) {
  TrafficViewHarness harness;
  RunViewCase(GetParam(), harness);
}

INSTANTIATE_TEST_SUITE_P(Cases, TrafficViewCaseTest, ::testing::ValuesIn(TerminalViewCases()),
                         [](const ::testing::TestParamInfo<ViewCase>& param_info) {
                           return param_info.param.name;
                         });

void AddLines(TerminalOutput& output, int count) {
  for (int i = 0; i < count; ++i)
    output.AddLine("line " + std::to_string(i), VMurTerminal_ltInLine);
}

// Scrolled away with the scroll bar, without the focus, the user keeps the lines they read;
// back at the bottom, the view follows again.
TEST(TrafficViewTest, UserScrolledAwayKeepsTheirPlaceUntilBackAtTheEnd) {
  TrafficViewHarness harness;
  TerminalOutput output(&harness.View());
  output.SetMaxLines(200);
  AddLines(output, 150);
  harness.Widget().Repaint();
  QScrollBar& bar = *harness.Widget().verticalScrollBar();
  bar.triggerAction(QAbstractSlider::SliderPageStepSub);
  const std::string first_seen = LineText(harness.View(), harness.View().FirstVisibleLine());
  AddLines(output, 100);  // deletes old lines above the reader
  EXPECT_EQ(LineText(harness.View(), harness.View().FirstVisibleLine()), first_seen);
  EXPECT_FALSE(harness.ShowsEnd());
  bar.triggerAction(QAbstractSlider::SliderToMaximum);
  AddLines(output, 1);
  EXPECT_TRUE(harness.ShowsEnd());
}

TEST(TrafficViewTest, DraggedSelectionIsCopiedWithCtrlC) {
  TrafficViewHarness harness;
  TerminalOutput output(&harness.View());
  output.AddLine("alpha", VMurTerminal_ltInLine);
  output.AddLine("beta", VMurTerminal_ltInLine);
  TrafficView& view = harness.Widget();
  view.Repaint();
  QWidget* area = view.viewport();
  const int line_height = view.fontMetrics().lineSpacing();
  const int char_width = view.fontMetrics().horizontalAdvance(QLatin1Char('M'));
  // From before "a" of "alpha" to after "be" of "beta" (columns 2 and 4, margin 3).
  const QPoint from(3 + 2 * char_width, line_height / 2);
  const QPoint to(3 + 4 * char_width, line_height + line_height / 2);
  QTest::mousePress(area, Qt::LeftButton, {}, from);
  QTest::mouseMove(area, to);
  EXPECT_TRUE(view.HasFocus());  // a reader: nothing moves under the mouse
  QTest::mouseRelease(area, Qt::LeftButton, {}, to);
  EXPECT_EQ(view.Lines().Text(view.Selection().start, view.Selection().end), "alpha\n+ be");
  QApplication::clipboard()->clear();
  QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "alpha\n+ be");
  QTest::keyClick(&view, Qt::Key_End, Qt::ShiftModifier);
  EXPECT_EQ(view.Lines().Text(view.Selection().start, view.Selection().end), "alpha\n+ beta");
}

TEST(TrafficViewTest, ContextMenuOffersCopySelectAllAndClear) {
  TrafficViewHarness harness;
  TrafficView& view = harness.Widget();
  bool cleared = false;
  view.SetOnClear([&cleared] { cleared = true; });
  view.Append("text", clBlack, false);
  QStringList offered;
  QTimer::singleShot(0, [&offered] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr) return;
    for (QAction* action : menu->actions()) {
      if (!action->isSeparator()) offered << action->text();
    }
    menu->actions().back()->trigger();
    menu->close();
  });
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), view.mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(view.viewport(), &event);
  EXPECT_EQ(offered, (QStringList{"Copy", "Select All", "Clear"}));
  EXPECT_TRUE(cleared);
}

// However fast lines arrive, the view paints at most once per frame of the screen.
TEST(TrafficViewTest, PaintsAtMostOncePerFrame) {
  TrafficViewHarness harness;
  TerminalOutput output(&harness.View());
  int paints = 0;
  struct PaintCounter : QObject {
    int* count;
    explicit PaintCounter(int* counter) : count(counter) {}
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Paint) ++*count;
      return false;
    }
  } counter(&paints);
  harness.Widget().viewport()->installEventFilter(&counter);
  QElapsedTimer clock;
  clock.start();
  int lines = 0;
  while (clock.elapsed() < 300) {
    AddLines(output, 10);
    lines += 10;
    QApplication::processEvents();
  }
  const qint64 frames = clock.elapsed() / 16 + 2;
  EXPECT_GT(paints, 0);
  EXPECT_LE(paints, frames) << lines << " lines";
  EXPECT_GT(lines, frames * 10);  // far more pieces than paints
}

}  // namespace
}  // namespace kestrova::testing
