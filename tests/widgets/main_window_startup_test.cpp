// Start-up on stored options that are damaged or hand-edited: the window always comes up, a
// refused value gives way to its default and the user is told.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>

#include "main_window_fixture.h"
#include "support/terminal_view_cases.h"

namespace kestrova {
namespace {

using testing::ViewText;

class MainWindowStartup : public test::MainWindowFixture {
 protected:
  std::string View() { return ViewText(*window->Terminal().Output().View()); }
};

TEST_F(MainWindowStartup, RefusedPortsGiveWayToTheirDefaultsUntilTheWindowCloses) {
  // Everything but the time limits is fine; a negative time limit refuses the whole string.
  const std::string damaged =
      "\"" + (hives.Root() / "no-port-1").string() + "\",\"9600\",\"8\",\"1\",\"None\",\"\",\"-1\"";
  Store("Port1", damaged);
  Store("Port2", damaged);
  ::testing::internal::CaptureStderr();
  OpenWindow();
  const std::string errors = ::testing::internal::GetCapturedStderr();
  for (const char* name : {"\"Port1\"", "\"Port2\""}) {
    EXPECT_NE(View().find(name), std::string::npos) << View();
    EXPECT_NE(errors.find(name), std::string::npos) << errors;
  }
  EXPECT_EQ(window->Port1().CommPort(), "COM1");
  EXPECT_EQ(Stored("Port1"), damaged) << "nothing is stored before the user or the close does";

  window->close();
  EXPECT_EQ(Stored("Port1"), window->Port1().GetConfigAsString());
  const std::string log = LogText();
  ASSERT_NE(log.find("\"Port2\""), std::string::npos) << log;
  EXPECT_EQ(log.find("\"Port2\""), log.rfind("\"Port2\"")) << "told once: " << log;
}

// Random bytes in comma-separated fields, some of them numbers, so that the values reach past
// the first checks of the parsers they meet. No "/": a random log path stays in the test folder.
std::string RandomSetting(std::mt19937& random) {
  std::string value;
  for (int field = random() % 12; field >= 0; --field) {
    if (random() % 3 != 0) {
      value += std::to_string(static_cast<int64_t>(random()) - (int64_t{1} << 31));
    } else {
      for (int n = random() % 8; n > 0; --n) {
        char byte;
        do byte = static_cast<char>(random());
        while (byte == '/');
        value += byte;
      }
    }
    if (field > 0) value += ',';
  }
  return value;
}

TEST_F(MainWindowStartup, AnyStoredBytesInAnyOptionLetTheWindowOpenAndClose) {
  const char* const kOptions[] = {"Protocol",   "Filename",   "FileMacro1",  "PacketTimeout",
                                  "LogFile",    "LogCom1",    "LogCom2",     "LogTimes",
                                  "HexDelim",   "SkipByte",   "Port1",       "Port2",
                                  "LogCom1CTS", "LogCom1DSR", "LogCom1Ring", "LogCom1DCD",
                                  "LogCom2CTS", "LogCom2DSR", "LogCom2Ring", "LogCom2DCD"};
  const std::filesystem::path saved_folder = std::filesystem::current_path();
  std::filesystem::current_path(hives.Root());
  std::mt19937 random(7);
  int refusals = 0;
  for (const char* name : kOptions) {
    for (int round = 0; round < 10; ++round) {
      const std::string value = RandomSetting(random);
      SCOPED_TRACE(std::string(name) + " = " + value);
      Store(name, value);
      ::testing::internal::CaptureStderr();
      ASSERT_NO_THROW(OpenWindow());
      if (::testing::internal::GetCapturedStderr().find("not used") != std::string::npos) {
        ++refusals;
      }
      ASSERT_NO_THROW(window->close());
      window.reset();
    }
  }
  std::filesystem::current_path(saved_folder);
  EXPECT_GT(refusals, 0) << "no value reached a refusing parser: the fuzzing is too tame";
}

}  // namespace
}  // namespace kestrova
