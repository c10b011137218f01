#include "support/terminal_view_cases.h"

#include <gtest/gtest.h>

#include <string_view>

namespace kestrova::testing {
namespace {

constexpr TColor kBlack = Rgb(0, 0, 0);
constexpr TColor kBlue = Rgb(0, 0, 255);
constexpr TColor kMagenta = Rgb(128, 0, 128);
constexpr TColor kGreen = Rgb(0, 128, 0);
constexpr TColor kOrange = Rgb(255, 128, 0);

std::string Numbered(int number) {
  char text[16];
  std::snprintf(text, sizeof text, "L%03d", number);
  return text;
}

void AddNumberedLines(TerminalOutput& output, int first, int last) {
  for (int i = first; i <= last; ++i) output.AddLine(Numbered(i), VMurTerminal_ltInLine);
}

// Lines holding text (an empty last line does not count).
int TextLines(const RichView& view) {
  const int lines = view.LineCount();
  return view.LineStart(lines - 1) == view.Length() ? lines - 1 : lines;
}

std::vector<ViewCase> MakeCases() {
  std::vector<ViewCase> cases;

  cases.push_back({"HeaderWithCountAndTime",
                   [](TerminalOutput& out, ViewHarness&) {
                     out.SetShowOptions(vstsoShowLineCounts | vstsoShowTimes);
                     out.AddText("AB", VMurTerminal_ltInLine);
                   },
                   "   1 @ 9:05:03.120: + AB",
                   {{"   1 @ 9:05:03.120: + AB", kBlack, false}}});

  cases.push_back({"HeaderCountsPerTypeAndRestartAfterClear",
                   [](TerminalOutput& out, ViewHarness&) {
                     out.SetShowOptions(vstsoShowLineCounts);
                     out.AddLine("x", VMurTerminal_ltInLine);
                     out.Clear();
                     out.AddLine("a", VMurTerminal_ltInLine);
                     out.AddLine("b", VMurTerminal_ltInLine);
                     out.AddText("c", VMurTerminal_ltOutLine);
                     out.SetShowOptions(vstsoShowTimes);
                     out.AddText("d", VMurTerminal_ltInLine);
                   },
                   "   1: + a\n   2: + b\n   1:  - c\n9:05:03.120: + d"});

  cases.push_back({"SameTypeContinuesTheLine",
                   [](TerminalOutput& out, ViewHarness&) {
                     out.AddText("A", VMurTerminal_ltInLine);
                     out.AddText("B", VMurTerminal_ltInLine);
                   },
                   "+ AB"});

  cases.push_back({"OtherTypeStartsALine",
                   [](TerminalOutput& out, ViewHarness&) {
                     out.AddText("A", VMurTerminal_ltInLine);
                     out.AddText("B", VMurTerminal_ltOutLine);
                   },
                   "+ A\n - B"});

  cases.push_back(
      {"TextModeEscapesInSecondColour",
       [](TerminalOutput& out, ViewHarness&) { out.AddText("A\rB\xFF", VMurTerminal_ltInLine); },
       "+ A<#0D>B<#FF>",
       {{"+ A", kBlack, false},
        {"<#0D>", kBlue, false},
        {"B", kBlack, false},
        {"<#FF>", kBlue, false}}});

  cases.push_back({"HexMode",
                   [](TerminalOutput& out, ViewHarness&) {
                     out.AddText(std::string_view("\x01\xFF", 2), VMurTerminal_ltInBin);
                   },
                   "+ # 01 FF",
                   {{"+ # 01 FF", kBlue, false}}});

  cases.push_back({"RawModeShowsUtf8AndBreaksLines",
                   [](TerminalOutput& out, ViewHarness&) {
                     out.AddLine(
                         "Port otev\xC5\x99"
                         "en\r\nok\xE9",
                         VMurTerminal_ltExtra);
                   },
                   "E Port otev\xC5\x99"
                   "en\nok\xC3\xA9\n",
                   {{"E Port otev\xC5\x99"
                     "en\nok\xC3\xA9\n",
                     kMagenta, false}}});

  cases.push_back({"LongLineWrapsWithoutHeader",
                   [](TerminalOutput& out, ViewHarness&) {
                     out.SetMaxCharsPerLine(10);
                     out.AddText("0123456789ABCDEFGHIJ", VMurTerminal_ltInLine);
                   },
                   "+ 012345678\n9ABCDEFGHIJ"});

  cases.push_back({"LongLineContinuedAcrossPieces",
                   [](TerminalOutput& out, ViewHarness&) {
                     out.SetMaxCharsPerLine(10);
                     out.AddText("0123", VMurTerminal_ltInLine);
                     out.AddText("456789AB", VMurTerminal_ltInLine);
                   },
                   "+ 012345678\n9AB"});

  cases.push_back(
      {"AddLineTwiceEndsWithEmptyLine",
       [](TerminalOutput& out, ViewHarness&) {
         out.AddLine("a", VMurTerminal_ltInLine);
         out.AddLine("b", VMurTerminal_ltOutText);
       },
       "+ a\n - b\n",
       {},
       [](TerminalOutput&, ViewHarness& harness) { EXPECT_EQ(harness.View().LineCount(), 3); }});

  cases.push_back(
      {"MaxLinesDeletesATenthAtOnce",
       [](TerminalOutput& out, ViewHarness&) {
         out.SetMaxLines(100);
         AddNumberedLines(out, 1, 101);
         out.AddText("new", VMurTerminal_ltInLine);
       },
       [] {
         std::string text;
         for (int i = 12; i <= 101; ++i) text += "+ " + Numbered(i) + "\n";
         return text + "+ new";
       }(),
       {},
       [](TerminalOutput&, ViewHarness& harness) { EXPECT_EQ(TextLines(harness.View()), 91); }});

  cases.push_back({"MaxCharsDeletesWholeLines",
                   [](TerminalOutput& out, ViewHarness&) {
                     out.SetMaxChars(40);
                     AddNumberedLines(out, 1, 6);  // 7 characters a line
                     out.AddText("0123456789", VMurTerminal_ltInLine);
                   },
                   "+ L003\n+ L004\n+ L005\n+ L006\n+ 0123456789"});

  cases.push_back({"HighlightColoursTheLineUntilItEnds",
                   [](TerminalOutput& out, ViewHarness&) {
                     out.AddLine("before", VMurTerminal_ltInLine);
                     out.AddText("abc", VMurTerminal_ltInLine);
                     out.HighlightLine(kOrange);
                     out.AddText("d\x01", VMurTerminal_ltInLine);
                     out.EndLine();
                     out.AddText("after", VMurTerminal_ltInLine);
                   },
                   "+ before\n+ abcd<#01>\n+ after",
                   {{"+ before\n", kBlack, false},
                    {"+ abcd<#01>\n", kOrange, true},
                    {"+ after", kBlack, false}}});

  cases.push_back({"NewTypeEndsTheHighlight",
                   [](TerminalOutput& out, ViewHarness&) {
                     out.AddText("abc", VMurTerminal_ltInLine);
                     out.HighlightLine(kGreen);
                     out.AddText("x", VMurTerminal_ltOutText);
                   },
                   "+ abc\n - x",
                   {{"+ abc\n", kGreen, true}, {" - x", kBlue, false}}});

  cases.push_back({"HighlightWithNoColourChangesNothing",
                   [](TerminalOutput& out, ViewHarness&) {
                     out.AddText("abc", VMurTerminal_ltInLine);
                     out.HighlightLine(clNone);
                     out.AddText("d", VMurTerminal_ltInLine);
                   },
                   "+ abcd",
                   {{"+ abcd", kBlack, false}}});

  cases.push_back({"IgnoreAddCharsKeepsTheViewEmpty",
                   [](TerminalOutput& out, ViewHarness&) {
                     out.SetIgnoreAddChars(true);
                     out.AddLine("abc", VMurTerminal_ltInLine);
                     out.HighlightLine(kGreen);
                     out.AddText("d", VMurTerminal_ltOutLine);
                   },
                   ""});

  cases.push_back({"UnfocusedViewFollowsTheNewestText",
                   [](TerminalOutput& out, ViewHarness& harness) {
                     AddNumberedLines(out, 1, 80);
                     harness.View().ScrollLines(-1000);
                     out.AddText("tail", VMurTerminal_ltInLine);
                   },
                   [] {
                     std::string text;
                     for (int i = 1; i <= 80; ++i) text += "+ " + Numbered(i) + "\n";
                     return text + "+ tail";
                   }(),
                   {},
                   [](TerminalOutput&, ViewHarness& harness) {
                     EXPECT_TRUE(harness.ShowsEnd());
                     const RichView& view = harness.View();
                     EXPECT_EQ(view.Selection(), (TextSelection{view.Length(), view.Length()}));
                   }});

  cases.push_back(
      {"FocusedViewKeepsReadingPositionAndSelection",
       [](TerminalOutput& out, ViewHarness& harness) {
         out.SetMaxLines(50);
         AddNumberedLines(out, 1, 50);
         RichView& view = harness.View();
         harness.SetFocused(true);
         view.ScrollLines(20 - view.FirstVisibleLine());
         // Select "L023".
         view.SetSelection({view.LineStart(22) + 2, view.LineStart(22) + 6});
         // The 51st line makes the next insertion delete 6 lines.
         AddNumberedLines(out, 51, 52);
       },
       [] {
         std::string text;
         for (int i = 7; i <= 52; ++i) text += "+ " + Numbered(i) + "\n";
         return text;
       }(),
       {},
       [](TerminalOutput&, ViewHarness& harness) {
         const RichView& view = harness.View();
         EXPECT_EQ(LineText(view, view.FirstVisibleLine()), "+ L021");
         const TextSelection selection = view.Selection();
         EXPECT_EQ(ViewText(view).substr(static_cast<size_t>(selection.start),
                                         static_cast<size_t>(selection.end - selection.start)),
                   "L023");
         EXPECT_FALSE(harness.ShowsEnd());
       }});

  return cases;
}

}  // namespace

const std::vector<ViewCase>& TerminalViewCases() {
  static const std::vector<ViewCase> cases = MakeCases();
  return cases;
}

void RunViewCase(const ViewCase& view_case, ViewHarness& harness) {
  TerminalOutput output(&harness.View());
  output.SetClock([] { return LocalDateTime{2026, 12, 7, 9, 5, 3, 120}; });
  view_case.act(output, harness);
  EXPECT_EQ(ViewText(harness.View()), view_case.text);
  if (!view_case.runs.empty()) {
    EXPECT_EQ(harness.View().Runs(), view_case.runs);
  }
  if (view_case.check) view_case.check(output, harness);
}

std::string ViewText(const RichView& view) {
  std::string text;
  for (const TextRun& run : view.Runs()) text += run.text;
  return text;
}

std::string LineText(const RichView& view, int line) {
  const std::string text = ViewText(view);
  size_t start = 0;
  for (int i = 0; i < line && start != std::string::npos; ++i) {
    start = text.find('\n', start);
    if (start != std::string::npos) ++start;
  }
  if (start == std::string::npos) return {};
  return text.substr(start, text.find('\n', start) - start);
}

}  // namespace kestrova::testing
