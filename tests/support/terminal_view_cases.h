// One table of terminal output cases, run against every rich view implementation so that
// they show the same text, colours, line limits and scroll behaviour.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "terminal/rich_view.h"
#include "terminal/terminal_output.h"

namespace kestrova::testing {

// A view under test, with what a test needs beyond the view interface.
class ViewHarness {
 public:
  virtual ~ViewHarness() = default;
  virtual RichView& View() = 0;
  // Gives the view the keyboard focus (a user reading it) or takes it away.
  virtual void SetFocused(bool focused) = 0;
  // Whether the end of the text is in sight.
  virtual bool ShowsEnd() = 0;
};

struct ViewCase {
  std::string name;
  std::function<void(TerminalOutput&, ViewHarness&)> act;
  std::string text;                // the whole view, lines separated by "\n"
  std::vector<TextRun> runs = {};  // checked when not empty
  // Further checks after the text and runs.
  std::function<void(TerminalOutput&, ViewHarness&)> check = {};
};

const std::vector<ViewCase>& TerminalViewCases();

// Runs one case against a fresh view from `harness`, with the clock at 9:05:03.120.
void RunViewCase(const ViewCase& view_case, ViewHarness& harness);

// The whole text of a view, lines separated by "\n".
std::string ViewText(const RichView& view);
// The text of one line of the view.
std::string LineText(const RichView& view, int line);

inline void PrintTo(const ViewCase& view_case, std::ostream* out) { *out << view_case.name; }

inline std::ostream& operator<<(std::ostream& out, const TextRun& run) {
  return out << "{\"" << run.text << "\", " << std::hex << run.color << std::dec
             << (run.underline ? ", underlined}" : "}");
}

}  // namespace kestrova::testing
