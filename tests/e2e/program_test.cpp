// The built program end to end: on a private X server with fresh settings hives it shows its
// two windows, stores its settings when the main window is closed as a window manager closes
// it or the program gets SIGTERM, starts on a damaged setting, sends what is typed into the
// terminal's send line to port 1 when real X key events end the line, carries on by itself
// when port 1's device goes and comes back, and answers --version without a display.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
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
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr char kMainCaption[] = "Kestrova - MUR spol. s r.o.";
constexpr char kTerminalCaption[] = "Terminal";
constexpr char kOptionsKey[] = "Software\\MUR s.r.o.\\KestTerminal\\Options";
constexpr char kFormsKey[] = "Software\\MUR s.r.o.\\KestTerminal\\Options\\Forms";
constexpr char kExitedCleanly[] = "exited with status 0";

std::string FileText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::optional<RegValue> ValueOf(const std::optional<RegKey>& key, const char* name) {
  const RegValue* value = key ? key->Find(name) : nullptr;
  return value != nullptr ? std::optional<RegValue>(*value) : std::nullopt;
}

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(work_);
    fs::create_directories(runtime_);
    fs::permissions(runtime_, fs::perms::owner_all);  // Qt wants its runtime folder private
    // The program opens its two ports at start-up. The machine-wide settings (the per-user ones
    // stay fresh) name ports that do not exist, so that no run touches this machine's COM1.
    for (const auto& [name, port] : {std::pair{"Port1", "no-port-1"}, {"Port2", "no-port-2"}}) {
      const HiveResult written =
          RegWriteValue(RegRoot::kLocalMachine, kOptionsKey, name,
                        RegValue::String("\"" + (hives_.Root() / port).string() + "\""));
      ASSERT_TRUE(written.ok) << written.error;
    }
  }

  void TearDown() override {
    if (pid_ > 0) WaitForExit(0ms);
    if (!HasFailure()) return;
    std::cout << "--- program's standard error:\n"
              << FileText(work_ / "stderr.txt") << "--- user hive " << hives_.UserHive() << ":\n"
              << FileText(hives_.UserHive()) << "---\n";
  }

  // False when this machine cannot run a private X server.
  bool StartDisplay() {
    xvfb_.emplace();
    return xvfb_->Running();
  }

  // Starts the program in the working folder, on the test's X server when there is one.
  void Launch(const std::vector<std::string>& args) {
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
      const std::string_view text(*entry);
      if (!text.starts_with("DISPLAY=") && !text.starts_with("WAYLAND_DISPLAY=") &&
          !text.starts_with("QT_QPA_PLATFORM=") && !text.starts_with("XDG_RUNTIME_DIR="))
        env.emplace_back(text);
    }
    env.push_back("XDG_RUNTIME_DIR=" + runtime_.string());
    if (xvfb_) {
      env.push_back("DISPLAY=" + xvfb_->Display());
      env.push_back("QT_QPA_PLATFORM=xcb");
    }
    std::vector<char*> envp;
    for (std::string& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<std::string> arg_texts{KESTROVA_PROGRAM};
    arg_texts.insert(arg_texts.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : arg_texts) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const int out = open((work_ / "stdout.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open((work_ / "stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_ = fork();
    if (pid_ == 0) {
      if (chdir(work_.c_str()) != 0) _exit(126);
      dup2(out, STDOUT_FILENO);
      dup2(err, STDERR_FILENO);
      execve(argv[0], argv.data(), envp.data());
      _exit(127);
    }
    close(out);
    close(err);
    ASSERT_GT(pid_, 0) << "fork failed";
  }

  // How the program ended; one still running at the deadline is killed.
  std::string WaitForExit(std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    for (;;) {
      if (std::optional<std::string> how = Ended()) return *how;
      if (pid_ <= 0) return "was not started";  // never kill(-1): that signals everything
      if (Clock::now() >= deadline) break;
      std::this_thread::sleep_for(20ms);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    return "was still running at the deadline and was killed";
  }

  // Waits until both windows are viewable; "" then, else what went wrong.
  std::string WaitForWindows(test::XClient& x, std::map<std::string, test::TopWindow>& windows) {
    if (!x.Ok()) return "cannot connect to the X server " + xvfb_->Display();
    const Clock::time_point deadline = Clock::now() + 20s;
    for (;;) {
      if (std::optional<std::string> how = Ended()) return "before showing its windows it " + *how;
      windows = x.TopWindows();
      if (windows[kMainCaption].viewable && windows[kTerminalCaption].viewable) return "";
      if (Clock::now() > deadline)
        return "windows not viewable after 20 s; seen:" + test::Describe(windows);
      std::this_thread::sleep_for(100ms);
    }
  }

  // Waits up to 10 s for the program to end after it was asked to; how it ended.
  std::string WaitForClose(test::XClient& x) {
    const Clock::time_point closing_deadline = Clock::now() + 10s;
    while (Clock::now() < closing_deadline) {
      if (std::optional<std::string> how = Ended()) return *how;
      std::this_thread::sleep_for(20ms);
    }
    const std::string seen = test::Describe(x.TopWindows());
    return "10 s after it was asked to close it " + WaitForExit(0ms) + "; seen:" + seen;
  }

  // Starts the program, waits for both windows, closes the main window as a window manager
  // does and tells how the program ended, or what went wrong before.
  std::string StartShowAndClose() {
    Launch({});
    if (pid_ <= 0) return "could not be started";
    test::XClient x(xvfb_->Display());
    std::map<std::string, test::TopWindow> windows;
    if (std::string problem = WaitForWindows(x, windows); !problem.empty()) return problem;
    x.SendDeleteWindow(windows[kMainCaption].id);
    return WaitForClose(x);
  }

  // Runs xdotool on the test's display; false when it failed.
  bool XDoTool(const std::string& arguments) {
    const std::string command = "DISPLAY=" + xvfb_->Display() + " xdotool " + arguments;
    return std::system(command.c_str()) == 0;
  }

  std::optional<RegKey> Options() const { return RegReadKey(RegRoot::kCurrentUser, kOptionsKey); }

  test::TempHives hives_;  // points XDG_CONFIG_HOME and XDG_CONFIG_DIRS into a fresh folder
  const fs::path work_ = hives_.Root() / "work";
  const fs::path runtime_ = hives_.Root() / "runtime";
  std::optional<test::XvfbServer> xvfb_;
  pid_t pid_ = -1;

 private:
  // How the program ended, or nothing while it runs.
  std::optional<std::string> Ended() {
    int status = 0;
    if (pid_ <= 0 || waitpid(pid_, &status, WNOHANG) != pid_) return std::nullopt;
    pid_ = -1;
    return WIFEXITED(status) ? "exited with status " + std::to_string(WEXITSTATUS(status))
                             : "was killed by signal " + std::to_string(WTERMSIG(status));
  }
};

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
  // Says what came into the log, waiting up to 10 s for `text`.
  const auto logged = [&](const std::string& text) {
    for (const Clock::time_point deadline = Clock::now() + 10s; Clock::now() < deadline;) {
      if (FileText(log).find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(50ms);
    }
    return false;
  };
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
