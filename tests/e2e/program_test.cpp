// The built program end to end: on a private X server with fresh settings hives it shows its
// two windows, stores its settings when the main window is closed as a window manager closes
// it or the program gets SIGTERM, starts on a damaged setting, sends what is typed into the
// terminal's send line to port 1 when real X key events end the line, carries on by itself
// when port 1's device goes and comes back, and answers --version without a display.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "e2e/program_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/registry.h"
#include "support/pty_pair.h"
#include "support/reg_value_printer.h"
#include "support/socat_link_pair.h"
#include "support/temp_hives.h"
#include "support/x_top_windows.h"
#include "support/xvfb_server.h"

extern char** environ;

namespace kestrova {
namespace {

using namespace std::chrono_literals;

TEST_F(ProgramTest, FreshStartShowsBothWindowsAndClosingStoresTheDefaults) {
  if (!StartDisplay()) GTEST_SKIP() << xvfb_->Problem();
  ASSERT_EQ(StartShowAndClose(), kExitedCleanly);

  const std::optional<RegKey> options = Options();
  ASSERT_TRUE(options) << "no key HKEY_CURRENT_USER\\" << kOptionsKey;
  const std::pair<const char*, RegValue> kStored[] = {
      {"Protocol", RegValue::String("Text")},
      {"PacketTimeout", RegValue::String("100")},
      {"HexDelim", RegValue::String("7E")},
      {"SkipByte", RegValue::String("")},
      {"Filename", RegValue::String("Pokusy_%1.rtf")},
      {"FileMacro1", RegValue::String("1")},
      {"LogFile", RegValue::String("KestLog_1.txt")},
      {"LogCom1", RegValue::Dword(0)},
      {"LogCom2", RegValue::Dword(0)},
      {"LogTimes", RegValue::Dword(0)},
  };
  for (const auto& [name, expected] : kStored) EXPECT_EQ(ValueOf(options, name), expected) << name;
  const std::optional<RegValue> port2 = ValueOf(options, "Port2");
  EXPECT_TRUE(port2 && port2->type == kRegSz && !port2->data.empty())
      << "Port2 should hold port 2's configuration";

  const std::optional<RegKey> forms = RegReadKey(RegRoot::kCurrentUser, kFormsKey);
  const std::optional<RegValue> z_order = ValueOf(forms, "ZOrder");
  EXPECT_TRUE(z_order && z_order->data.find("Form1") != std::string::npos)
      << "ZOrder should name the main window Form1";
  const std::optional<RegKey> main_form =
      RegReadKey(RegRoot::kCurrentUser, std::string(kFormsKey) + "\\Form1");
  for (const char* name : {"Width", "Height"}) {
    const std::optional<RegValue> size = ValueOf(main_form, name);
    EXPECT_TRUE(size && size->DwordValue() > 0u) << "Form1 placement lacks " << name;
  }
  EXPECT_TRUE(fs::exists(work_ / "KestLog_1.txt")) << "no log file in the working folder";
}

TEST_F(ProgramTest, StoredOptionsAreUsedAndWrittenBack) {
  if (!StartDisplay()) GTEST_SKIP() << xvfb_->Problem();
  const std::pair<const char*, const char*> kSeed[] = {
      {"Protocol", "PPP"}, {"PacketTimeout", "250"}, {"SkipByte", "'x'"}};
  for (const auto& [name, text] : kSeed) {
    const HiveResult written =
        RegWriteValue(RegRoot::kCurrentUser, kOptionsKey, name, RegValue::String(text));
    ASSERT_TRUE(written.ok) << written.error;
  }
  ASSERT_EQ(StartShowAndClose(), kExitedCleanly);

  const std::optional<RegKey> options = Options();
  // A stored "PPP" selects the Hex view, which is then what is stored.
  EXPECT_EQ(ValueOf(options, "Protocol"), RegValue::String("Hex"));
  EXPECT_EQ(ValueOf(options, "PacketTimeout"), RegValue::String("250"));
  EXPECT_EQ(ValueOf(options, "SkipByte"), RegValue::String("'x'"));
}

TEST_F(ProgramTest, DamagedPortStartsWithItsDefaultSaysSoAndSigtermClosesCleanly) {
  if (!StartDisplay()) GTEST_SKIP() << xvfb_->Problem();
  // A negative time limit refuses the whole configuration string.
  const std::string damaged = "\"" + (hives_.Root() / "no-port-1").string() +
                              "\",\"9600\",\"8\",\"1\",\"None\",\"\",\"-1\"";
  const HiveResult written =
      RegWriteValue(RegRoot::kCurrentUser, kOptionsKey, "Port1", RegValue::String(damaged));
  ASSERT_TRUE(written.ok) << written.error;
  Launch({});
  test::XClient x(xvfb_->Display());
  std::map<std::string, test::TopWindow> windows;
  ASSERT_EQ(WaitForWindows(x, windows), "");
  ASSERT_EQ(kill(pid_, SIGTERM), 0);
  ASSERT_EQ(WaitForClose(x), kExitedCleanly);

  EXPECT_NE(FileText(work_ / "stderr.txt").find("\"Port1\""), std::string::npos);
  EXPECT_NE(FileText(work_ / "KestLog_1.txt").find("\"Port1\""), std::string::npos)
      << "the message line is logged as it is shown";
  const std::optional<RegValue> port1 = ValueOf(Options(), "Port1");
  ASSERT_TRUE(port1);
  EXPECT_NE(port1->data, damaged) << "closing stores the default that stood in";
}

TEST_F(ProgramTest, SigtermStoresAPortChangedInThatRun) {
  if (!StartDisplay()) GTEST_SKIP() << xvfb_->Problem();
  if (std::system("command -v xdotool >/dev/null") != 0) GTEST_SKIP() << "xdotool is missing";
  Launch({});
  test::XClient x(xvfb_->Display());
  std::map<std::string, test::TopWindow> windows;
  ASSERT_EQ(WaitForWindows(x, windows), "");
  // Port 1's box sits at the main window's top left, right of the grab button.
  const std::string typed = (hives_.Root() / "typed-port").string();
  const std::string window = std::to_string(windows[kMainCaption].id);
  ASSERT_TRUE(XDoTool("mousemove --sync --window " + window + " 50 18 click 1"));
  ASSERT_TRUE(XDoTool("key ctrl+a"));
  ASSERT_TRUE(XDoTool("type --delay 20 '" + typed + "'"));
  ASSERT_TRUE(XDoTool("key Return"));
  std::this_thread::sleep_for(1s);  // the keys are queued in the program's X connection
  ASSERT_EQ(kill(pid_, SIGTERM), 0);
  ASSERT_EQ(WaitForClose(x), kExitedCleanly);

  const std::optional<RegValue> port1 = ValueOf(Options(), "Port1");
  ASSERT_TRUE(port1) << "no Port1 stored";
  EXPECT_TRUE(port1->data.starts_with("\"" + typed + "\"")) << port1->data;
}

TEST_F(ProgramTest, KeysEndingTheSendLineSendItToPort1) {
  if (!StartDisplay()) GTEST_SKIP() << xvfb_->Problem();
  if (std::system("command -v xdotool >/dev/null") != 0) GTEST_SKIP() << "xdotool is missing";
  testing::PtyPair peer;
  const HiveResult written =
      RegWriteValue(RegRoot::kCurrentUser, kOptionsKey, "Port1",
                    RegValue::String("\"" + peer.slave_path() + "\",\"115200\""));
  ASSERT_TRUE(written.ok) << written.error;
  Launch({});
  test::XClient x(xvfb_->Display());
  std::map<std::string, test::TopWindow> windows;
  ASSERT_EQ(WaitForWindows(x, windows), "");
  // The terminal window opens with the keyboard in its send line, as a user finds it.
  ASSERT_TRUE(XDoTool("windowfocus --sync " + std::to_string(windows[kTerminalCaption].id)));
  const struct {
    const char* typed;
    const char* key;
    std::string sent;
  } kCases[] = {
      {"hello", "Return", "hello\r"},
      {"esc", "Escape", "esc\x1b"},
      {"zed", "ctrl+z", "zed\x1a"},
      // Up opens the history list at the newest entry; Enter there sends it again.
      {"", "Up Return", "zed\r"},
  };
  for (const auto& c : kCases) {
    if (*c.typed != '\0') {
      ASSERT_TRUE(XDoTool(std::string("type --delay 20 '") + c.typed + "'"));
    }
    ASSERT_TRUE(XDoTool(std::string("key --delay 100 ") + c.key));
    EXPECT_EQ(peer.Read(c.sent.size(), 5s), c.sent) << "after " << c.typed << " and " << c.key;
  }
  ASSERT_EQ(kill(pid_, SIGTERM), 0);
  ASSERT_EQ(WaitForClose(x), kExitedCleanly);
}

TEST_F(ProgramTest, Port1CarriesOnWhenItsDeviceGoesAndComesBack) {
  if (!StartDisplay()) GTEST_SKIP() << xvfb_->Problem();
  if (!testing::SocatAvailable()) GTEST_SKIP() << "socat is not installed";
  testing::SocatLinkPair pair((hives_.Root() / "adapter").string(),
                              (hives_.Root() / "peer").string());
  ASSERT_TRUE(pair.Start(10s));
  for (const auto& [name, value] : {std::pair{"Port1", RegValue::String("\"" + pair.a() + "\"")},
                                    {"LogCom1", RegValue::Dword(1)}}) {
    const HiveResult written = RegWriteValue(RegRoot::kCurrentUser, kOptionsKey, name, value);
    ASSERT_TRUE(written.ok) << written.error;
  }
  Launch({});
  test::XClient x(xvfb_->Display());
  std::map<std::string, test::TopWindow> windows;
  ASSERT_EQ(WaitForWindows(x, windows), "");
  const fs::path log = work_ / "KestLog_1.txt";
  const auto logged = [&](const std::string& text) { return FileShows(log, text); };
  const auto peer_says = [&](const std::string& text) {
    std::ofstream(pair.b(), std::ios::binary) << text;
  };
  peer_says("before-unplug");
  ASSERT_TRUE(logged("before-unplug")) << FileText(log);

  ASSERT_TRUE(pair.Stop(10s));
  EXPECT_TRUE(logged("Port 1 lost")) << FileText(log);
  ASSERT_TRUE(pair.Start(10s));
  EXPECT_TRUE(logged("Port 1 reconnected")) << FileText(log);
  peer_says("after-replug");
  EXPECT_TRUE(logged("after-replug")) << FileText(log);
  ASSERT_EQ(kill(pid_, SIGTERM), 0);
  ASSERT_EQ(WaitForClose(x), kExitedCleanly);
}

TEST_F(ProgramTest, VersionIsPrintedWithoutADisplay) {
  Launch({"--version"});
  ASSERT_EQ(WaitForExit(10s), kExitedCleanly);
  const std::string out = FileText(work_ / "stdout.txt");
  EXPECT_TRUE(out.starts_with("Kestrova")) << "standard output: " << out;
}

}  // namespace
}  // namespace kestrova
