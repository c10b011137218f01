// The built program under a private X server with fresh settings hives and working folder:
// starting it, waiting for its windows, closing it and reading what it left behind.
#pragma once

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
#include "support/reg_value_printer.h"
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

inline std::string FileText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline std::optional<RegValue> ValueOf(const std::optional<RegKey>& key, const char* name) {
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

  // Waits up to 10 s for `text` to come into the file at `path`.
  static bool FileShows(const fs::path& path, const std::string& text) {
    for (const Clock::time_point deadline = Clock::now() + 10s; Clock::now() < deadline;) {
      if (FileText(path).find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(50ms);
    }
    return false;
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

}  // namespace
}  // namespace kestrova
