// The built program meeting faults from outside: a serial device that goes away while data
// flow, a log file that cannot be written for a while, TCP peers that come and go in numbers.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "e2e/program_fixture.h"
#include "support/pty_pair.h"

namespace kestrova {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// Port 1's box, right of the grab button at the main window's top left.
constexpr int kBoxLeft = 24, kBoxTop = 8, kBoxWidth = 90, kBoxHeight = 20;

size_t Count(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

// A port nobody listens on now, for the program's TCP server.
int FreeTcpPort() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof local;
  bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
  getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length);
  close(fd);
  return ntohs(local.sin_port);
}

// A connected peer from 127.0.0.1, or -1.
int ConnectTo(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in remote{};
  remote.sin_family = AF_INET;
  remote.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  remote.sin_port = htons(static_cast<uint16_t>(port));
  if (connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) == 0) return fd;
  close(fd);
  return -1;
}

size_t OpenDescriptors(pid_t pid) {
  std::error_code error;
  size_t count = 0;
  for (auto it = fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error);
       it != fs::directory_iterator(); it.increment(error)) {
    ++count;
  }
  return count;
}

class FaultsTest : public ProgramTest {
 protected:
  // Port 1 on the test's pty, logged to log.txt in the working folder.
  void UsePortAndLog(const std::string& port) {
    const std::pair<const char*, RegValue> kSettings[] = {
        {"Port1", RegValue::String("\"" + port + "\",\"115200\"")},
        {"LogCom1", RegValue::Dword(1)},
        {"LogFile", RegValue::String((work_ / "log.txt").string())},
        {"PacketTimeout", RegValue::String("20")}};
    for (const auto& [name, value] : kSettings) {
      const HiveResult written = RegWriteValue(RegRoot::kCurrentUser, kOptionsKey, name, value);
      ASSERT_TRUE(written.ok) << written.error;
    }
  }

  // Pixels of port 1's box drawn in a strong red (the failed port's text), or -1 when the
  // window could not be captured.
  int RedPixelsInPortBox(uint32_t window) {
    const std::string command = "import -display " + xvfb_->Display() + " -window " +
                                std::to_string(window) + " -crop " + std::to_string(kBoxWidth) +
                                "x" + std::to_string(kBoxHeight) + "+" + std::to_string(kBoxLeft) +
                                "+" + std::to_string(kBoxTop) + " txt:- 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return -1;
    int red = 0, lines = 0;
    char line[256];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
      int x = 0, y = 0, r = 0, g = 0, b = 0;
      if (std::sscanf(line, "%d,%d: (%d,%d,%d", &x, &y, &r, &g, &b) != 5) continue;
      ++lines;
      if (r > 150 && g < 100 && b < 100) ++red;
    }
    pclose(pipe);
    return lines > 0 ? red : -1;
  }

  // Waits up to `timeout` for the log file to hold `text`.
  bool LogGets(const std::string& text, std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    while (FileText(work_ / "log.txt").find(text) == std::string::npos) {
      if (Clock::now() > deadline) return false;
      std::this_thread::sleep_for(50ms);
    }
    return true;
  }
};

TEST_F(FaultsTest, DeviceGoingAwayWhileDataFlowTurnsThePortRedAndSigtermStillClosesCleanly) {
  if (!StartDisplay()) GTEST_SKIP() << xvfb_->Problem();
  if (std::system("command -v import >/dev/null") != 0) GTEST_SKIP() << "import is missing";
  auto pty = std::make_unique<testing::PtyPair>();
  UsePortAndLog(pty->slave_path());
  Launch({});
  test::XClient x(xvfb_->Display());
  std::map<std::string, test::TopWindow> windows;
  ASSERT_EQ(WaitForWindows(x, windows), "");
  const uint32_t main_window = windows[kMainCaption].id;

  pty->Write("before it went away\r\n");
  ASSERT_TRUE(LogGets("before it went away", 10s));
  EXPECT_EQ(RedPixelsInPortBox(main_window), 0) << "an open port is not shown failed";
  // Data still flowing when the device goes: the other side closes mid-stream (the system
  // discards what the port had not read by then).
  for (int i = 0; i < 50; ++i) pty->Write("flowing " + std::to_string(i) + "\r\n");
  ASSERT_TRUE(LogGets("flowing 0", 10s));
  for (int i = 50; i < 100; ++i) pty->Write("flowing " + std::to_string(i) + "\r\n");
  pty->CloseMaster();
  pty->CloseSlave();
  const Clock::time_point deadline = Clock::now() + 10s;
  int red = 0;
  while ((red = RedPixelsInPortBox(main_window)) <= 0 && Clock::now() < deadline) {
    std::this_thread::sleep_for(100ms);
  }
  EXPECT_GT(red, 0) << "port 1's box is not red after its device went away";

  ASSERT_EQ(kill(pid_, SIGTERM), 0);
  ASSERT_EQ(WaitForClose(x), kExitedCleanly);
}

TEST_F(FaultsTest, LogThatCannotBeWrittenIsToldOnceAndLoggingResumesWhenItCan) {
  if (!StartDisplay()) GTEST_SKIP() << xvfb_->Problem();
  testing::PtyPair pty;
  UsePortAndLog(pty.slave_path());
  Launch({});
  test::XClient x(xvfb_->Display());
  std::map<std::string, test::TopWindow> windows;
  ASSERT_EQ(WaitForWindows(x, windows), "");

  // Long enough that the limit below leaves the program's standard error file room.
  pty.Write("early line " + std::string(4000, 'e') + "\r\n");
  ASSERT_TRUE(LogGets("early line " + std::string(4000, 'e'), 10s));
  // The log may not grow: every write fails as on a full disk.
  const rlimit full{static_cast<rlim_t>(fs::file_size(work_ / "log.txt")), RLIM_INFINITY};
  ASSERT_EQ(prlimit(pid_, RLIMIT_FSIZE, &full, nullptr), 0);
  for (int i = 0; i < 10; ++i) {
    pty.Write("while full " + std::to_string(i) + "\r\n");
    std::this_thread::sleep_for(100ms);
  }
  const rlimit room{RLIM_INFINITY, RLIM_INFINITY};
  ASSERT_EQ(prlimit(pid_, RLIMIT_FSIZE, &room, nullptr), 0);
  for (int i = 0; i < 5; ++i) {
    pty.Write("late line " + std::to_string(i) + "\r\n");
    std::this_thread::sleep_for(100ms);
  }
  EXPECT_TRUE(LogGets("late line 4", 10s)) << "logging did not resume";

  ASSERT_EQ(kill(pid_, SIGTERM), 0);
  ASSERT_EQ(WaitForClose(x), kExitedCleanly);
  const std::string log = FileText(work_ / "log.txt");
  for (int i = 1; i < 5; ++i) {
    const std::string line = "late line " + std::to_string(i);
    EXPECT_EQ(Count(log, line), 1u) << line << " in the log:\n" << log;
  }
  EXPECT_EQ(Count(FileText(work_ / "stderr.txt"), "cannot be written"), 1u);
  EXPECT_TRUE(Options()) << "the settings were stored at the close";
}

TEST_F(FaultsTest, TcpServerUnderPeerChurnShowsEveryPeersBytesOnceAndFreesTheirDescriptors) {
  if (!StartDisplay()) GTEST_SKIP() << xvfb_->Problem();
  if (std::system("command -v xdotool >/dev/null") != 0) GTEST_SKIP() << "xdotool is missing";
  const int port = FreeTcpPort();
  const HiveResult written = RegWriteValue(RegRoot::kCurrentUser, kOptionsKey, "Port1",
                                           RegValue::String(":" + std::to_string(port)));
  ASSERT_TRUE(written.ok) << written.error;
  Launch({});
  test::XClient x(xvfb_->Display());
  std::map<std::string, test::TopWindow> windows;
  ASSERT_EQ(WaitForWindows(x, windows), "");
  int probe = -1;
  for (int i = 0; i < 100 && (probe = ConnectTo(port)) < 0; ++i) std::this_thread::sleep_for(100ms);
  ASSERT_GE(probe, 0) << "the server does not listen";
  close(probe);
  std::this_thread::sleep_for(1s);
  const size_t descriptors_at_start = OpenDescriptors(pid_);

  constexpr int kWaves = 5, kPeers = 40;
  std::vector<std::string> tokens;
  for (int wave = 0; wave < kWaves; ++wave) {
    std::vector<int> peers;
    for (int i = 0; i < kPeers; ++i) {
      const int fd = ConnectTo(port);
      ASSERT_GE(fd, 0) << "wave " << wave << " peer " << i;
      peers.push_back(fd);
    }
    for (size_t i = 0; i < peers.size(); ++i) {
      tokens.push_back("w" + std::to_string(wave) + "p" + std::to_string(i) + ";");
      const std::string line = tokens.back() + "\r\n";
      ASSERT_EQ(send(peers[i], line.data(), line.size(), MSG_NOSIGNAL),
                static_cast<ssize_t>(line.size()));
    }
    for (const int fd : peers) close(fd);
  }
  // The peers' removals are handled by then.
  const Clock::time_point deadline = Clock::now() + 10s;
  while (OpenDescriptors(pid_) > descriptors_at_start && Clock::now() < deadline) {
    std::this_thread::sleep_for(100ms);
  }
  EXPECT_LE(OpenDescriptors(pid_), descriptors_at_start) << "descriptors of gone peers kept";

  // A double click in the capture name box saves the view.
  const fs::path capture = work_ / "Pokusy_1.rtf";
  ASSERT_TRUE(XDoTool("mousemove --sync --window " + std::to_string(windows[kMainCaption].id) +
                      " 60 81 click --repeat 2 1"));
  const Clock::time_point saved_by = Clock::now() + 10s;
  while (FileText(capture).find(tokens.back()) == std::string::npos && Clock::now() < saved_by) {
    std::this_thread::sleep_for(100ms);
  }
  ASSERT_EQ(kill(pid_, SIGTERM), 0);
  ASSERT_EQ(WaitForClose(x), kExitedCleanly);
  // The view wraps long lines; the capture breaks them wherever they wrapped.
  std::string view = FileText(capture);
  for (const std::string wrap : {"\\par\r\n", "\\par\n"}) {
    for (size_t at = view.find(wrap); at != std::string::npos; at = view.find(wrap, at)) {
      view.erase(at, wrap.size());
    }
  }
  for (const std::string& token : tokens) EXPECT_EQ(Count(view, token), 1u) << token;
}

}  // namespace
}  // namespace kestrova
