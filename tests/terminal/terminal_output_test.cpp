// The output operations beyond what the view shows: the plain log file and its size cut, the
// owned logger, the timing report, saving the view and the limits' settings.
#include "terminal/terminal_output.h"

#include <gtest/gtest.h>

#include <optional>

#include "platform/tick.h"
#include "support/poll_main_loop.h"
#include "terminal/line_store_view.h"
#include "terminal/test_files.h"
#include "util/exception.h"

namespace kestrova::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kStamp = "2026-12-07 10:17:08.123: ";

class TerminalOutputTest : public ::testing::Test {
 protected:
  TerminalOutputTest() {
    output_.SetClock([] { return LocalDateTime{2026, 12, 7, 10, 17, 8, 123}; });
  }

  ScratchDir dir_;
  LineStoreView view_;
  TerminalOutput output_{&view_};
};

TEST_F(TerminalOutputTest, LogFileGetsExactlyTheInsertedText) {
  WriteFile(dir_ / "view.log", "old");
  output_.SetLogFileName((dir_ / "view.log").string());
  ASSERT_TRUE(output_.LogFileOpen());
  output_.SetShowOptions(vstsoShowLineCounts);
  output_.AddText("a\x01", VMurTerminal_ltInLine);
  output_.AddLine("b", VMurTerminal_ltOutBin);
  output_.AddLine("\xC5\x99", VMurTerminal_ltExtra);
  EXPECT_EQ(ReadFile(dir_ / "view.log"),
            "old\r\n\r\n   1: + a<#01>\r\n   1:  - # 62\r\n   1: E \xC5\x99\r\n");
}

TEST_F(TerminalOutputTest, LogFileNameIsOpenedOnlyWhenItChanges) {
  const std::string name = (dir_ / "view.log").string();
  output_.SetLogFileName(name);
  output_.AddText("a", VMurTerminal_ltInLine);
  output_.SetLogFileName(name);
  output_.SetLogFileName((dir_ / "other.log").string());
  output_.AddText("b", VMurTerminal_ltInLine);
  EXPECT_EQ(ReadFile(name), "\r\n\r\n+ a");
  EXPECT_EQ(ReadFile(dir_ / "other.log"), "\r\n\r\nb");
}

TEST_F(TerminalOutputTest, LogFileIsCutToItsLastNineTenths) {
  // With a main loop the file's writes wait for the end of the turn; the cut counts them.
  for (const bool with_loop : {false, true}) {
    SCOPED_TRACE(with_loop ? "with a main loop" : "without one");
    std::optional<PollMainLoop> main;
    if (with_loop) main.emplace();
    const fs::path path = dir_ / (with_loop ? "gathered.log" : "view.log");
    const auto end_turn = [&] {
      if (main) main->loop.RunPending();
    };
    LineStoreView view;
    TerminalOutput output(&view);
    output.SetLogFileName(path.string());
    output.SetLogFileMaxLen(100);
    std::string data;
    for (int i = 0; i < 120; ++i) data += static_cast<char>('!' + i % 90);
    output.AddText(data, VMurTerminal_ltInLine);
    end_turn();
    const std::string whole = "\r\n\r\n+ " + data;
    EXPECT_EQ(ReadFile(path), whole.substr(whole.size() - 90));
    output.AddText("tail", VMurTerminal_ltInLine);
    end_turn();
    EXPECT_EQ(ReadFile(path), whole.substr(whole.size() - 90) + "tail");
  }
}

TEST_F(TerminalOutputTest, LogFileThatCannotBeOpenedLeavesTheViewWorking) {
  fs::create_directory(dir_ / "folder");
  output_.SetLogFileName((dir_ / "folder").string());
  EXPECT_FALSE(output_.LogFileOpen());
  output_.AddText("a", VMurTerminal_ltInLine);
  EXPECT_EQ(view_.Text(), "+ a");
}

TEST_F(TerminalOutputTest, IgnoreAddCharsReachesNeitherFileNorLogger) {
  output_.SetLogFileName((dir_ / "view.log").string());
  output_.SetLoggerFilename((dir_ / "traffic.log").string());
  output_.SetLoggerNamingStyle(vslnfExact);
  output_.SetIgnoreAddChars(true);
  output_.AddLine("a", VMurTerminal_ltInLine);
  output_.AddData("b", VMurTerminal_ltInLine, VMurTerminal_ltInLine, false);
  EXPECT_EQ(ReadFile(dir_ / "view.log"), "\r\n\r\n");
  EXPECT_FALSE(fs::exists(dir_ / "traffic.log"));
  EXPECT_EQ(view_.Text(), "");
}

TEST_F(TerminalOutputTest, PiecesReachTheOwnedLogger) {
  output_.SetLoggerFilename((dir_ / "traffic.log").string());
  output_.SetLoggerNamingStyle(vslnfExact);
  output_.AddText("ab", VMurTerminal_ltInLine);
  output_.AddData("skipped", VMurTerminal_ltInLine, VMurTerminal_lt_NoType, false);
  output_.EndLine();
  output_.AddData("x\r\n", VMurTerminal_lt_NoType, VMurTerminal_ltInText, true);
  EXPECT_EQ(view_.Text(), "+ abskipped\n");
  output_.SetLoggerFilename("");  // closes the file
  EXPECT_EQ(ReadFile(dir_ / "traffic.log"),
            std::string(kStamp) + "+ ab\r\n" + kStamp + "+ x\r\n\r\n");
}

TEST_F(TerminalOutputTest, LoggerIsMadeOnlyWhenAPropertyAsksForMore) {
  struct Case {
    const char* name;
    std::function<void(TerminalOutput&)> set;
    bool makes_logger;
  };
  const Case cases[] = {
      {"empty file name", [](TerminalOutput& o) { o.SetLoggerFilename(""); }, false},
      {"on-open style", [](TerminalOutput& o) { o.SetLoggerNamingStyle(vslnfOnOpen); }, false},
      {"write-through", [](TerminalOutput& o) { o.SetLoggerOpenFlags(kFileFlagWriteThrough); },
       false},
      {"file name", [](TerminalOutput& o) { o.SetLoggerFilename("x"); }, true},
      {"daily style", [](TerminalOutput& o) { o.SetLoggerNamingStyle(vslnfDaily); }, true},
      {"no flags", [](TerminalOutput& o) { o.SetLoggerOpenFlags(0); }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TerminalOutput output(nullptr);
    c.set(output);
    EXPECT_EQ(output.Logger() != nullptr, c.makes_logger);
  }
  TerminalOutput output(nullptr);
  output.SetLoggerNamingStyle(vslnfDaily);
  EXPECT_EQ(output.LoggerFilename(), "");
  EXPECT_EQ(output.LoggerNamingStyle(), vslnfDaily);
  EXPECT_EQ(output.LoggerOpenFlags(), kFileFlagWriteThrough);
  output.SetLoggerFilename("trace_*.txt");
  EXPECT_EQ(output.LoggerNamingStyle(), vslnfDaily);
  EXPECT_EQ(output.LoggerFilename(), "trace_*.txt");
}

TEST_F(TerminalOutputTest, LoggerWithoutFileNameIsNotFed) {
  output_.SetLoggerNamingStyle(vslnfExact);
  output_.AddLine("a", VMurTerminal_ltInLine);
  EXPECT_FALSE(output_.Logger()->IsOpen());
}

TEST_F(TerminalOutputTest, WithoutAViewOnlyTheLoggerIsFed) {
  TerminalOutput output(nullptr);
  output.SetClock([] { return LocalDateTime{2026, 12, 7, 10, 17, 8, 123}; });
  output.SetLoggerNamingStyle(vslnfExact);
  output.SetLoggerFilename((dir_ / "traffic.log").string());
  output.AddLine("a", VMurTerminal_ltInLine);
  output.HighlightLine(0xFF);
  output.SaveToFile((dir_ / "capture.rtf").string(), true);
  output.SetLoggerFilename("");
  EXPECT_EQ(ReadFile(dir_ / "traffic.log"), std::string(kStamp) + "+ a\r\n");
  EXPECT_FALSE(fs::exists(dir_ / "capture.rtf"));
}

TEST_F(TerminalOutputTest, ViewlessPieceDoesNotEndTheViewLine) {
  output_.AddText("a", VMurTerminal_ltInLine);
  output_.AddData("log only", VMurTerminal_lt_NoType, VMurTerminal_ltInLine, false);
  output_.AddText("b", VMurTerminal_ltInLine);
  EXPECT_EQ(view_.Text(), "+ ab");
}

TEST_F(TerminalOutputTest, TimingReportsIncomingAndOutgoingTypesOnly) {
  uint32_t tick = 0xFFFFFF00u;
  SetTickSource([&tick] { return tick; });
  TerminalOutput output(&view_);
  std::vector<std::pair<bool, uint32_t>> reports;
  output.SetOnTiming(
      [&](bool outgoing, uint32_t elapsed) { reports.emplace_back(outgoing, elapsed); });
  tick += 5;
  output.AddText("a", VMurTerminal_ltInLine);
  tick += 300;  // across the wrap of the tick
  output.AddText("b", VMurTerminal_ltExtra);
  output.AddText("c", VMurTerminal_ltOutBin);
  output.AddText("d", VMurTerminal_ltPlusGrey);
  SetTickSource({});
  EXPECT_EQ(reports, (std::vector<std::pair<bool, uint32_t>>{{false, 2005}, {true, 300}}));
}

TEST_F(TerminalOutputTest, DebugWindowsRepaintAfterEveryInsertion) {
  output_.AddText("a", VMurTerminal_ltInLine);
  EXPECT_EQ(view_.RepaintCount(), 0);
  output_.SetDebugWindowsVisible(true);
  output_.AddText("b", VMurTerminal_ltInLine);
  output_.AddText("c", VMurTerminal_ltOutLine);
  EXPECT_EQ(view_.RepaintCount(), 2);
}

TEST_F(TerminalOutputTest, LimitsAcceptOnlyPositiveValues) {
  output_.SetMaxLines(0);
  output_.SetMaxChars(-1);
  output_.SetMaxCharsPerLine(0);
  EXPECT_EQ(output_.MaxLines(), 1100);
  EXPECT_EQ(output_.MaxChars(), 65535);
  EXPECT_EQ(output_.MaxCharsPerLine(), 500);
  output_.SetMaxChars(100000);
  EXPECT_EQ(output_.MaxChars(), 100000);
}

TEST_F(TerminalOutputTest, SavesPlainTextWithALineBreakAfterEveryLine) {
  output_.AddLine("a", VMurTerminal_ltInLine);
  output_.AddText("\xC5\x99", VMurTerminal_ltOutLine);
  output_.SaveToFile((dir_ / "plain.txt").string(), false);
  EXPECT_EQ(ReadFile(dir_ / "plain.txt"), "+ a\r\n - <#C5><#99>\r\n");
  output_.EndLine();
  output_.SaveToFile((dir_ / "plain.txt").string(), false);
  EXPECT_EQ(ReadFile(dir_ / "plain.txt"), "+ a\r\n - <#C5><#99>\r\n");
}

TEST_F(TerminalOutputTest, SavingToAnUnwritablePlaceRaises) {
  output_.AddLine("a", VMurTerminal_ltInLine);
  fs::create_directory(dir_ / "folder");
  const std::string name = (dir_ / "folder").string();
  try {
    output_.SaveToFile(name, true);
    FAIL() << "no exception";
  } catch (const Exception& error) {
    EXPECT_EQ(std::string(error.what()), "Cannot create file " + name);
  }
}

}  // namespace
}  // namespace kestrova::testing
