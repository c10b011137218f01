// The shared table of terminal output cases against the QTextEdit view, offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

#include "support/terminal_view_cases.h"
#include "terminal/widgets/text_edit_view.h"

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
class TextEditHarness : public ViewHarness {
 public:
  TextEditHarness() {
    auto* layout = new QVBoxLayout(&window_);
    layout->addWidget(edit_);
    layout->addWidget(send_line_);
    window_.resize(400, 340);
    window_.show();
    window_.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window_));
    SetFocused(false);
  }

  RichView& View() override { return view_; }

  void SetFocused(bool focused) override {
    (focused ? static_cast<QWidget*>(edit_) : send_line_)->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(edit_->hasFocus(), focused);
  }

  bool ShowsEnd() override {
    QTest::qWait(50);  // what the user sees once the screen has refreshed
    QTextCursor end(edit_->document());
    end.movePosition(QTextCursor::End);
    return edit_->viewport()->rect().contains(edit_->cursorRect(end));
  }

 private:
  QApplication& app_ = App();  // before any widget
  QWidget window_;
  QTextEdit* edit_ = new QTextEdit(&window_);
  QLineEdit* send_line_ = new QLineEdit(&window_);
  TextEditView view_{*edit_};
};

class TextEditViewCaseTest : public ::testing::TestWithParam<ViewCase> {};

TEST_P(TextEditViewCaseTest, ShowsWhatTheCaseExpects) {
  TextEditHarness harness;
  RunViewCase(GetParam(), harness);
}

INSTANTIATE_TEST_SUITE_P(Cases, TextEditViewCaseTest, ::testing::ValuesIn(TerminalViewCases()),
                         [](const ::testing::TestParamInfo<ViewCase>& param_info) {
                           return param_info.param.name;
                         });

TEST(TextEditViewTest, KeepsNoUndoHistory) {
  App();
  QTextEdit edit;
  TextEditView view(edit);
  view.Append("abc", 0, false);
  view.SetColor(0, 1, 0xFF, true);
  view.DeleteTo(2);
  EXPECT_FALSE(edit.document()->isUndoAvailable());
  EXPECT_EQ(edit.document()->availableUndoSteps(), 0);
}

TEST(TextEditViewTest, OnlyLineFeedsAndCarriageReturnsBreakLines) {
  App();
  QTextEdit edit;
  TextEditView view(edit);
  view.Append(
      "a\r\nb\rc\nd\xE2\x80\xA9"
      "e",
      0x0000FF, true);
  EXPECT_EQ(view.LineCount(), 4);
  EXPECT_EQ(view.LineStart(3), 6);
  EXPECT_EQ(view.Length(), 9);
  EXPECT_EQ(view.Runs(), (std::vector<TextRun>{{"a\nb\nc\nd\xEF\xBF\xBD"
                                                "e",
                                                0x0000FF, true}}));
}

}  // namespace
}  // namespace kestrova::testing
