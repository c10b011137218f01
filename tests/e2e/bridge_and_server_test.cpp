// The built program with port 1 on a (simulated) USB bridge and port 2 a TCP server: what comes
// in on both reaches the log.
#include <stdlib.h>

#include <string>

#include "e2e/program_fixture.h"
#include "net/tcp_test_support.h"

namespace kestrova {
namespace {

// A suite of its own: each file's fixture is a class of its own.
class BridgeAndServerTest : public ProgramTest {};

TEST_F(BridgeAndServerTest, Port1OnABridgeAndPort2AsTcpServerBothReachTheLog) {
  if (!StartDisplay()) GTEST_SKIP() << xvfb_->Problem();
  if (std::system("command -v xdotool >/dev/null") != 0) GTEST_SKIP() << "xdotool is missing";
  const int port = testing::FreePort();
  for (const auto& [name, value] : {std::pair{"Port1", RegValue::String("SIM001")},
                                    {"Port2", RegValue::String("tcp://" + std::to_string(port))},
                                    {"LogCom1", RegValue::Dword(1)},
                                    {"LogCom2", RegValue::Dword(1)}}) {
    const HiveResult written = RegWriteValue(RegRoot::kCurrentUser, kOptionsKey, name, value);
    ASSERT_TRUE(written.ok) << written.error;
  }
  // The simulated bridge's slave echoes each frame it is sent.
  setenv("KESTROVA_CP2112_LIBRARY", SIM_CP2112_PATH, 1);
  setenv("KESTROVA_SIM_CP2112", "SIM001", 1);
  Launch({});
  unsetenv("KESTROVA_CP2112_LIBRARY");
  unsetenv("KESTROVA_SIM_CP2112");
  test::XClient x(xvfb_->Display());
  std::map<std::string, test::TopWindow> windows;
  ASSERT_EQ(WaitForWindows(x, windows), "");
  const fs::path log = work_ / "KestLog_1.txt";
  const auto logged = [&](const std::string& text) { return FileShows(log, text); };

  // Sent data are not logged (LogTimes is off): the line in the log is the bridge's echo.
  ASSERT_TRUE(XDoTool("windowfocus --sync " + std::to_string(windows[kTerminalCaption].id)));
  ASSERT_TRUE(XDoTool("type --delay 20 'bridge-echo'"));
  ASSERT_TRUE(XDoTool("key Return"));
  EXPECT_TRUE(logged("bridge-echo")) << FileText(log);

  testing::Fd peer = testing::ConnectLoopback(port);
  ASSERT_TRUE(peer.valid()) << "port 2 is not listening";
  ASSERT_TRUE(testing::SendAll(peer.get(), "from-tcp-peer\n"));
  EXPECT_TRUE(logged("from-tcp-peer")) << FileText(log);
  peer.Reset();
  ASSERT_EQ(kill(pid_, SIGTERM), 0);
  ASSERT_EQ(WaitForClose(x), kExitedCleanly);
}

}  // namespace
}  // namespace kestrova
