// The logger's files, compared byte for byte with expected files or texts.
#include "terminal/logger.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/poll_main_loop.h"
#include "terminal/test_files.h"

namespace kestrova::testing {
namespace {

namespace fs = std::filesystem;

std::string Expected(const std::string& name) {
  return ReadFile(fs::path(KESTROVA_TERMINAL_EXPECTED_DIR) / name);
}

std::string ProgramStem() { return fs::read_symlink("/proc/self/exe").stem().string(); }

constexpr LocalDateTime kMorning{2026, 12, 7, 10, 17, 8, 123};
constexpr const char* kStamp = "2026-12-07 10:17:08.123: ";

class LoggerTest : public ::testing::Test {
 protected:
  std::unique_ptr<VMurLogger> MakeLogger(const fs::path& path, VMurLoggerNewFileStyle style,
                                         VMurLoggerOptions options = vslofDate | vslofLinetype) {
    auto logger = std::make_unique<VMurLogger>(nullptr);
    logger->SetClock([this] { return now_; });
    logger->SetOptions(options);
    logger->SetNewFileStyle(style);
    logger->SetLogPath(path.string());
    return logger;
  }

  ScratchDir dir_;
  LocalDateTime now_ = kMorning;
};

TEST_F(LoggerTest, PiecesOfOneLineShareOneHeader) {
  auto logger = MakeLogger(dir_ / "a.log", vslnfExact);
  logger->logData(VMurTerminal_ltInLine, "ab", false);
  logger->logData(VMurTerminal_ltInLine, "cd", false);
  logger->logData(VMurTerminal_lt_NoType, "", false);
  logger.reset();
  EXPECT_EQ(ReadFile(dir_ / "a.log"), Expected("one_line_in_pieces.log"));
}

TEST_F(LoggerTest, TrailingLineBreakBecomesTheBreakBeforeTheNextLine) {
  auto logger = MakeLogger(dir_ / "a.log", vslnfExact);
  logger->logData(VMurTerminal_ltInText, "ab\r\n", false);
  logger->logData(VMurTerminal_ltInText, "cd", false);
  logger.reset();
  EXPECT_EQ(ReadFile(dir_ / "a.log"), Expected("trailing_line_break.log"));
}

TEST_F(LoggerTest, ReopeningANonEmptyFile) {
  for (const bool smooth : {false, true}) {
    SCOPED_TRACE(smooth ? "smooth append" : "plain append");
    const fs::path path = dir_ / (smooth ? "smooth.log" : "plain.log");
    const VMurLoggerOptions options =
        vslofDate | vslofLinetype | (smooth ? VMurLoggerOptions{vsloSmoothAppend} : 0);
    auto first = MakeLogger(path, vslnfExact, options);
    first->logData(VMurTerminal_ltInLine, "first", false);
    first->logData(VMurTerminal_lt_NoType, "", false);
    first.reset();
    auto second = MakeLogger(path, vslnfExact, options);
    second->logData(VMurTerminal_ltOutLine, "second", false);
    second->logData(VMurTerminal_lt_NoType, "", false);
    second.reset();
    EXPECT_EQ(ReadFile(path), Expected(smooth ? "reopen_with_smooth_append.log"
                                              : "reopen_without_smooth_append.log"));
  }
}

TEST_F(LoggerTest, DisableAppendFallsBackToNamesWithTheProgramName) {
  WriteFile(dir_ / "2026-12-07", "old\r\n");
  auto logger = MakeLogger(dir_.Path().string() + "/", vslnfOnOpen,
                           vslofDate | vslofLinetype | vsloDisableAppend);
  logger->logData(VMurTerminal_ltInLine, "x", false);
  EXPECT_EQ(logger->FileName(), (dir_ / ("2026-12-07 " + ProgramStem())).string());
  logger.reset();
  EXPECT_EQ(ReadFile(dir_ / "2026-12-07"), "old\r\n");
  EXPECT_EQ(ReadFile(dir_ / ("2026-12-07 " + ProgramStem())),
            Expected("disable_append_program_name.log"));
}

TEST_F(LoggerTest, DisableAppendAppendsToTheNinthNumberedName) {
  const std::string base = "2026-12-07 " + ProgramStem();
  WriteFile(dir_ / "2026-12-07", "old\r\n");
  WriteFile(dir_ / base, "old\r\n");
  for (int i = 1; i <= 9; ++i) {
    WriteFile(dir_ / (base + "-" + std::to_string(i)), "old " + std::to_string(i) + "\r\n");
  }
  auto logger =
      MakeLogger(dir_.Path() / "*", vslnfOnOpen, vslofDate | vslofLinetype | vsloDisableAppend);
  logger->logData(VMurTerminal_ltInLine, "x", false);
  logger.reset();
  EXPECT_EQ(ReadFile(dir_ / (base + "-9")), Expected("disable_append_ninth.log"));
  EXPECT_EQ(ReadFile(dir_ / (base + "-8")), "old 8\r\n");
}

TEST_F(LoggerTest, DailyStyleRollsOverAtMidnight) {
  auto logger = MakeLogger(dir_ / "logs" / "trace_*.txt", vslnfDaily);
  now_ = {2026, 12, 7, 23, 59, 59, 900};
  logger->logData(VMurTerminal_ltInLine, "late", false);
  now_ = {2026, 12, 8, 0, 0, 0, 100};
  logger->logData(VMurTerminal_ltInLine, "early", false);
  EXPECT_EQ(logger->FileName(), (dir_ / "logs" / "trace_2026-12-08.txt").string());
  logger.reset();
  EXPECT_EQ(ReadFile(dir_ / "logs" / "trace_2026-12-07.txt"),
            Expected("daily_before_midnight.log"));
  EXPECT_EQ(ReadFile(dir_ / "logs" / "trace_2026-12-08.txt"), Expected("daily_after_midnight.log"));
}

TEST_F(LoggerTest, FolderThatCannotBeMadeDropsThePieceAndIsTriedAgain) {
  for (const VMurLoggerNewFileStyle style : {vslnfExact, vslnfOnOpen}) {
    SCOPED_TRACE(style == vslnfExact ? "exact" : "on open");
    const fs::path blocker = dir_ / "blocker";
    WriteFile(blocker, "a file where a folder should be");
    auto logger = MakeLogger(blocker / "sub" / "log.txt", style);
    logger->logData(VMurTerminal_ltInLine, "a", false);
    EXPECT_FALSE(logger->IsOpen());
    fs::remove(blocker);
    logger->logData(VMurTerminal_ltInLine, "b", false);
    ASSERT_TRUE(logger->IsOpen());
    const std::string name = logger->FileName();
    logger.reset();
    EXPECT_EQ(ReadFile(name), Expected("after_retry.log"));
    fs::remove_all(blocker);
  }
}

TEST_F(LoggerTest, ExactNameThatCannotBeOpenedIsNotTriedAgainUntilTheNameIsSet) {
  const fs::path taken = dir_ / "taken";
  fs::create_directory(taken);
  auto logger = MakeLogger(taken, vslnfExact);
  logger->logData(VMurTerminal_ltInLine, "a", false);
  EXPECT_FALSE(logger->IsOpen());
  fs::remove(taken);
  logger->logData(VMurTerminal_ltInLine, "a", false);
  EXPECT_FALSE(logger->IsOpen());
  EXPECT_FALSE(fs::exists(taken));
  logger->SetLogPath(taken.string());
  logger->logData(VMurTerminal_ltInLine, "b", false);
  EXPECT_TRUE(logger->IsOpen());
  logger.reset();
  EXPECT_EQ(ReadFile(taken), Expected("after_retry.log"));
}

TEST_F(LoggerTest, DatedNamesThatCannotBeOpenedAreTriedAgainOnTheNextPiece) {
  // Folders in the way of the dated name and of all its fallbacks.
  const std::string base = "log_2026-12-07 " + ProgramStem();
  std::vector<fs::path> blocked = {dir_ / "log_2026-12-07.txt", dir_ / (base + ".txt")};
  for (int i = 1; i <= 9; ++i) blocked.push_back(dir_ / (base + "-" + std::to_string(i) + ".txt"));
  for (const fs::path& path : blocked) fs::create_directory(path);
  auto logger = MakeLogger(dir_ / "log_*.txt", vslnfOnOpen);
  logger->logData(VMurTerminal_ltInLine, "a", false);
  EXPECT_FALSE(logger->IsOpen());
  for (const fs::path& path : blocked) fs::remove(path);
  logger->logData(VMurTerminal_ltInLine, "b", false);
  logger.reset();
  EXPECT_EQ(ReadFile(dir_ / "log_2026-12-07.txt"), Expected("after_retry.log"));
}

TEST_F(LoggerTest, HexPiece) {
  auto logger = MakeLogger(dir_ / "a.log", vslnfExact);
  logger->logData(VMurTerminal_ltInBin, "AB", false);
  logger.reset();
  EXPECT_EQ(ReadFile(dir_ / "a.log"), Expected("hex_piece.log"));
}

struct PieceCase {
  const char* name;
  VMurLoggerOptions options;
  std::vector<std::pair<VMurTerminal_LineType, std::string>> pieces;
  bool raw;
  std::string file;  // "S" stands for the stamp and ": "
};

class LoggerPieceTest : public LoggerTest, public ::testing::WithParamInterface<PieceCase> {};

TEST_P(LoggerPieceTest, WritesTheExpectedBytes) {
  const PieceCase& piece_case = GetParam();
  auto logger = MakeLogger(dir_ / "a.log", vslnfExact, piece_case.options);
  for (const auto& [type, text] : piece_case.pieces) logger->logData(type, text, piece_case.raw);
  logger.reset();
  std::string expected;
  for (const char c : piece_case.file) {
    if (c == 'S') {
      expected += kStamp;
    } else {
      expected += c;
    }
  }
  EXPECT_EQ(ReadFile(dir_ / "a.log"), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Pieces, LoggerPieceTest,
    ::testing::Values(
        PieceCase{"NoHeaders",
                  0,
                  {{VMurTerminal_ltInLine, "ab"}, {VMurTerminal_ltInLine, "cd"}},
                  false,
                  "abcd\r\n"},
        PieceCase{"DateOnly", vslofDate, {{VMurTerminal_ltOutLine, "ab"}}, false, "Sab\r\n"},
        PieceCase{"MarkersOnly",
                  vslofLinetype,
                  {{VMurTerminal_ltExtraR, "x"},
                   {VMurTerminal_ltBinMinusBrown, "\x01"},
                   {VMurTerminal_ltMinusBlue, "y"}},
                  false,
                  "! x\r\n-B#01 \r\n-L y\r\n"},
        PieceCase{"TypeChangeStartsALine",
                  vslofDate | vslofLinetype,
                  {{VMurTerminal_ltInLine, "a"}, {VMurTerminal_ltOutLine, "b"}},
                  false,
                  "S+ a\r\nS- b\r\n"},
        PieceCase{"EmptyPieceOfANewTypeWritesTheHeader",
                  vslofLinetype,
                  {{VMurTerminal_ltInLine, ""}, {VMurTerminal_ltInLine, ""}},
                  false,
                  "+ \r\n"},
        PieceCase{"TextModeEscapesAndCutsAtMostFourBreaks",
                  0,
                  {{VMurTerminal_ltInLine, "a\tb\x7F\x80\r\n\r\n\r\n"}},
                  false,
                  "a<#09>b\x7F<#80><#0D><#0A>\r\n"},
        PieceCase{"RawModeEscapesControls",
                  0,
                  {{VMurTerminal_ltExtra, "a\tb\\c\r\n\x01\x1F\xC5\x99"}},
                  false,
                  "a\\tb\\\\c\\r\\n\\x01\\x1F\xC5\x99\r\n"},
        PieceCase{"RawFlagWritesBytesAsTheyAre",
                  vslofLinetype,
                  {{VMurTerminal_ltInBin, "A\r\n"}},
                  true,
                  "+ #A\r\n\r\n"},
        PieceCase{"BreakReadInTwoPiecesIsOneBreak",
                  vslofLinetype,
                  {{VMurTerminal_ltInLine, "a\r"},
                   {VMurTerminal_ltInLine, "\n"},
                   {VMurTerminal_lt_NoType, ""},
                   {VMurTerminal_ltInLine, "b\r"},
                   {VMurTerminal_ltInLine, "\nc"}},
                  false,
                  "+ a\r\n+ b\r\n+ <#0A>c\r\n"},
        PieceCase{"EndOfLineAtTheStartOfALineWritesNothing",
                  vslofLinetype,
                  {{VMurTerminal_lt_NoType, ""},
                   {VMurTerminal_ltInLine, "a"},
                   {VMurTerminal_lt_NoType, ""},
                   {VMurTerminal_lt_NoType, ""},
                   {VMurTerminal_ltInLine, "b"}},
                  false,
                  "+ a\r\n+ b\r\n"}),
    [](const ::testing::TestParamInfo<PieceCase>& param_info) { return param_info.param.name; });

TEST_F(LoggerTest, OpenOfAnEmptyFileWritesNoLeadingBreak) {
  auto logger = MakeLogger(dir_ / "*.log", vslnfOnOpen);
  EXPECT_TRUE(logger->Open());
  EXPECT_EQ(logger->FileName(), (dir_ / "2026-12-07.log").string());
  logger->logData(VMurTerminal_ltInLine, "a", false);
  logger->Close();
  EXPECT_FALSE(logger->IsOpen());
  EXPECT_EQ(ReadFile(dir_ / "2026-12-07.log"), std::string(kStamp) + "+ a\r\n");
}

TEST_F(LoggerTest, DisabledStyleWritesNothing) {
  auto logger = MakeLogger(dir_ / "a.log", vslnfDisabled);
  logger->logData(VMurTerminal_ltInLine, "a", false);
  EXPECT_FALSE(logger->Open());
  logger.reset();
  EXPECT_FALSE(fs::exists(dir_ / "a.log"));
}

TEST_F(LoggerTest, WriteThroughLinesAreInTheFileForTheNextTask) {
  PollMainLoop main;
  auto logger = MakeLogger(dir_ / "a.log", vslnfExact, 0);
  std::string while_logging = "not read";
  std::string after_logging;
  bool done = false;
  main.loop.Post([&] {
    logger->logData(VMurTerminal_ltInLine, "first", false);
    logger->logData(VMurTerminal_lt_NoType, "", false);
    logger->logData(VMurTerminal_ltOutLine, "second", false);
    while_logging = ReadFile(dir_ / "a.log");
    main.loop.Post([&] {
      after_logging = ReadFile(dir_ / "a.log");
      done = true;
    });
  });
  EXPECT_TRUE(main.loop.RunUntil([&] { return done; }, std::chrono::seconds(5)));
  EXPECT_EQ(while_logging, "");  // gathered while the turn runs
  EXPECT_EQ(after_logging, "first\r\nsecond");
}

TEST_F(LoggerTest, WriteThroughLinesSurviveAKillRightAfterTheTurn) {
  constexpr int kLines = 10000;
  const fs::path path = dir_ / "killed.log";
  NumberPipe logged;
  {
    ChildProcess child([&] {
      PollMainLoop main;
      auto logger = MakeLogger(path, vslnfExact, 0);
      main.loop.Post([&] {
        for (int i = 0; i < kLines; ++i) {
          logger->logData(VMurTerminal_ltInLine, "line " + std::to_string(i), false);
          logger->logData(VMurTerminal_lt_NoType, "", false);
        }
        main.loop.Post([&] {
          logged.Send(1);
          sleep(60);
        });
      });
      main.loop.Run();
      return 0;
    });
    uint32_t value = 0;
    ASSERT_TRUE(logged.Receive(value, std::chrono::seconds(30)));
  }  // SIGKILL: the child's loop, logger and file stream get no chance to clean up
  std::string expected;
  for (int i = 0; i < kLines; ++i) expected += "line " + std::to_string(i) + "\r\n";
  EXPECT_EQ(ReadFile(path), expected);
}

TEST_F(LoggerTest, WriteFailingAtTheTurnsEndClosesTheFileOnTheNextPiece) {
  // A file size limit cuts the turn's write short, as a full disk would.
  signal(SIGXFSZ, SIG_IGN);
  rlimit original{};
  getrlimit(RLIMIT_FSIZE, &original);
  PollMainLoop main;
  auto logger = MakeLogger(dir_ / "a.log", vslnfExact, 0);
  rlimit limited = original;
  limited.rlim_cur = 12;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  logger->logData(VMurTerminal_ltInLine, "0123456789ABCDEFGHIJ", false);
  main.loop.RunPending();
  const bool open_after_the_turn = logger->IsOpen();
  logger->logData(VMurTerminal_ltInLine, "lost", false);
  const bool open_after_the_next_piece = logger->IsOpen();
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &original), 0);
  EXPECT_TRUE(open_after_the_turn);
  EXPECT_FALSE(open_after_the_next_piece);
  logger->logData(VMurTerminal_ltInLine, "next", false);
  main.loop.RunPending();
  EXPECT_EQ(ReadFile(dir_ / "a.log"), "0123456789AB\r\nnext");
}

TEST_F(LoggerTest, ShortWriteIsNotRepeatedAndTheNextPieceReopens) {
  // A file size limit cuts a write short, as a full disk would.
  signal(SIGXFSZ, SIG_IGN);
  rlimit original{};
  getrlimit(RLIMIT_FSIZE, &original);
  auto logger = MakeLogger(dir_ / "a.log", vslnfExact, 0);
  const std::string piece = "0123456789ABCDEFGHIJ";
  rlimit limited = original;
  limited.rlim_cur = 12;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  logger->logData(VMurTerminal_ltInLine, piece, false);
  const bool open_after_failure = logger->IsOpen();
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &original), 0);
  EXPECT_FALSE(open_after_failure);
  EXPECT_EQ(ReadFile(dir_ / "a.log"), "0123456789AB");
  logger->logData(VMurTerminal_ltInLine, "next", false);
  logger.reset();
  EXPECT_EQ(ReadFile(dir_ / "a.log"), "0123456789AB\r\nnext\r\n");
}

TEST_F(LoggerTest, AFailureSpellIsToldOnceAndAgainOnlyAfterAWriteGotThrough) {
  signal(SIGXFSZ, SIG_IGN);
  rlimit original{};
  getrlimit(RLIMIT_FSIZE, &original);
  PollMainLoop main;
  auto logger = MakeLogger(dir_ / "a.log", vslnfExact, 0);
  std::vector<int> told;
  logger->SetOnWriteFailed([&](const std::string& name, int error) {
    EXPECT_TRUE(name.ends_with("a.log")) << name;
    told.push_back(error);
  });
  const auto log_turns = [&](int turns) {
    for (int i = 0; i < turns; ++i) {
      logger->logData(VMurTerminal_ltInLine, "piece " + std::to_string(i), false);
      logger->logData(VMurTerminal_lt_NoType, "", false);
      main.loop.RunPending();
    }
  };
  rlimit limited = original;
  limited.rlim_cur = 4;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  log_turns(20);
  const std::vector<int> told_while_full = told;
  limited.rlim_cur = 1 << 20;  // room again
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  log_turns(3);
  const std::string after_room = ReadFile(dir_ / "a.log");
  const std::vector<int> told_after_room = told;
  limited.rlim_cur = after_room.size();  // full once more
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  log_turns(5);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &original), 0);

  EXPECT_EQ(told_while_full, std::vector<int>{EFBIG});
  EXPECT_EQ(told_after_room, std::vector<int>{EFBIG});
  EXPECT_NE(after_room.find("piece 2\r\n"), std::string::npos) << after_room;
  EXPECT_EQ(told, (std::vector<int>{EFBIG, EFBIG}));
}

}  // namespace
}  // namespace kestrova::testing
