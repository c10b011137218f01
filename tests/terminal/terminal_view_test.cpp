// The shared table of terminal output cases against the in-memory view.
#include <gtest/gtest.h>

#include "support/terminal_view_cases.h"
#include "terminal/line_store_view.h"

namespace kestrova::testing {
namespace {

class MemoryHarness : public ViewHarness {
 public:
  RichView& View() override { return view_; }
  void SetFocused(bool focused) override { view_.SetFocused(focused); }
  bool ShowsEnd() override { return view_.FirstVisibleLine() + kPageLines >= view_.LineCount(); }

 private:
  static constexpr int kPageLines = 20;
  LineStoreView view_{kPageLines};
};

class MemoryViewCaseTest : public ::testing::TestWithParam<ViewCase> {};

TEST_P(MemoryViewCaseTest, ShowsWhatTheCaseExpects) {
  MemoryHarness harness;
  RunViewCase(GetParam(), harness);
}

INSTANTIATE_TEST_SUITE_P(Cases, MemoryViewCaseTest, ::testing::ValuesIn(TerminalViewCases()),
                         [](const ::testing::TestParamInfo<ViewCase>& param_info) {
                           return param_info.param.name;
                         });

}  // namespace
}  // namespace kestrova::testing
