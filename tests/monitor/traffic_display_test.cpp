#include "monitor/traffic_display.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "distribution/top_distributor.h"
#include "monitor/entry_values.h"
#include "terminal/line_store_view.h"

namespace kestrova {
namespace {

TEST(EntryValues, FrameDelimiterSkipByteAndTimeout) {
  struct DelimiterCase {
    const char* text;
    int delimiter;
    bool valid;
  };
  for (const DelimiterCase& c : std::initializer_list<DelimiterCase>{{"7E", 0x7E, true},
                                                                     {"0d", 0x0D, true},
                                                                     {"", 0x7E, false},
                                                                     {"7", 0x7E, false},
                                                                     {"7G", 0x7E, false},
                                                                     {"123", 0x7E, false}}) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ReadFrameDelimiter(c.text).delimiter, c.delimiter);
    EXPECT_EQ(ReadFrameDelimiter(c.text).valid, c.valid);
  }
  struct SkipCase {
    const char* text;
    int value;
    bool valid;
  };
  for (const SkipCase& c : std::initializer_list<SkipCase>{{"", -1, true},
                                                           {"x", -1, false},
                                                           {"'x'", 'x', true},
                                                           {"'x", -1, false},
                                                           {"'xy", -1, false},
                                                           {"0A", 0x0A, true},
                                                           {"ff", 0xFF, true},
                                                           {"zz", -1, false},
                                                           {"123", -1, false}}) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ReadSkipByte(c.text).value, c.value);
    EXPECT_EQ(ReadSkipByte(c.text).valid, c.valid);
  }
  EXPECT_EQ(RemoveSkipByte("axbxx", 'x'), "ab");
  EXPECT_EQ(RemoveSkipByte(std::string("a\xFF", 2), 0xFF), "a");
  EXPECT_EQ(RemoveSkipByte("axb", -1), "axb");
  EXPECT_EQ(ReadPacketTimeout("100"), 100);
  EXPECT_EQ(ReadPacketTimeout("0"), 0);
  EXPECT_EQ(ReadPacketTimeout(""), -1);
  EXPECT_EQ(ReadPacketTimeout("10ms"), -1);
}

class Display : public ::testing::Test {
 protected:
  Display() {
    output.SetShowOptions(0);
    roles = [this](ChannelKey channel) {
      if (channel.IsNil()) return ChannelRole::kNil;
      if (channel == ChannelKey(&port1)) return ChannelRole::kPort1;
      if (channel == ChannelKey(&port2)) return ChannelRole::kPort2;
      return ChannelRole::kTcpClient;
    };
  }

  LineStoreView view;
  TerminalOutput output{&view};
  Object port1, port2, peer;
  TrafficDisplay::RoleOf roles;
  VMurTopDistributor top{nullptr};
};

TEST_F(Display, LineTypeFollowsChannelModeAndProtocol) {
  TrafficDisplay display(output, roles, 0);
  struct Case {
    ChannelKey channel;
    ChannelMode mode;
    Protocol protocol;
    VMurTerminal_LineType expected;
  };
  const Case cases[] = {
      {&port1, ChannelMode::kSerial, Protocol::kText, VMurTerminal_ltInLine},
      {&port1, ChannelMode::kSerial, Protocol::kHex, VMurTerminal_ltInBin},
      {&port2, ChannelMode::kSerial, Protocol::kText, VMurTerminal_ltOutLine},
      {&port2, ChannelMode::kTcpServer, Protocol::kHex, VMurTerminal_ltOutBin},
      {ChannelKey(), ChannelMode::kTcpClient, Protocol::kText, VMurTerminal_ltPlusGrey},
      {ChannelKey(), ChannelMode::kUdpClient, Protocol::kHex, VMurTerminal_ltBinPlusGrey},
      {&peer, ChannelMode::kTcpServer, Protocol::kFatek, VMurTerminal_ltPlusGrey},
      {&peer, ChannelMode::kTcpClient, Protocol::kText, VMurTerminal_ltInLine},
      {ChannelKey(), ChannelMode::kSerial, Protocol::kText, VMurTerminal_ltInLine},
  };
  for (const Case& c : cases) {
    display.Options().mode = c.mode;
    display.Options().protocol = c.protocol;
    EXPECT_EQ(display.ReceivedLineType(c.channel), c.expected)
        << static_cast<int>(c.mode) << " " << static_cast<int>(c.protocol);
  }
}

TEST_F(Display, PauseLongerThanTheTimeoutOrAPacketEndClosesTheLine) {
  TrafficDisplay display(output, roles, 1000);
  display.Options().packet_timeout_ms = 100;
  display.ShowReceived(top, &port1, 1050, "ab", false);
  display.ShowReceived(top, &port1, 1150, "cd", false);  // exactly 100 ms: same line
  EXPECT_EQ(view.LineCount(), 1);
  display.ShowReceived(top, &port1, 1251, "ef", false);  // 101 ms: a new line first
  EXPECT_EQ(view.LineCount(), 2);
  display.ShowReceived(top, &port1, 1260, "gh", true);  // a packet ends the line
  display.ShowReceived(top, &port1, 1261, "ij", false);
  EXPECT_EQ(view.LineCount(), 3);
  EXPECT_NE(view.Text().find("abcd"), std::string::npos);
  EXPECT_NE(view.Text().find("efgh"), std::string::npos);

  display.Options().packet_timeout_ms = -1;  // "0" or an empty box: only packet ends count
  display.ShowReceived(top, &port1, 90000, "kl", false);
  EXPECT_EQ(view.LineCount(), 3);
}

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/kestrova-display-XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::string Slurp(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

// A logger writing `dir`/log.txt as the main window's does.
void SetUpLog(VMurLogger& logger, const TempDir& dir, int options) {
  logger.SetOptions(options);
  logger.SetNewFileStyle(vslnfExact);
  logger.SetNewFileOpenFlags(0);
  logger.SetLogPath(dir.path() + "/log.txt");
}

TEST_F(Display, StopFreezesTheViewButLoggingGoesOnPerPort) {
  TempDir dir;
  VMurLogger logger(nullptr);
  SetUpLog(logger, dir, 0);
  ASSERT_TRUE(logger.Open());

  TrafficDisplay display(output, roles, 0);
  display.WriteLog(LogKind::kMessage, "before");  // no logger yet: nothing
  display.SetLogger(&logger);
  display.Options().packet_timeout_ms = -1;
  display.Options().stop = true;
  display.Options().log_port1 = true;
  display.ShowReceived(top, &port1, 1, "one", true);
  display.ShowReceived(top, &port2, 2, "two", true);  // port 2 not ticked
  display.Options().log_port2 = true;
  display.ShowReceived(top, &port2, 3, "three", true);
  display.ShowReceived(top, ChannelKey(), 4, "four", true);
  EXPECT_EQ(view.Text().find("one"), std::string::npos);
  logger.Close();
  EXPECT_EQ(Slurp(dir.path() + "/log.txt"), "one\r\nthree\r\nfour\r\n");
}

TEST_F(Display, EachMessageIsALogLineOfItsOwn) {
  TempDir dir;
  VMurLogger logger(nullptr);
  SetUpLog(logger, dir, vslofLinetype);
  TrafficDisplay display(output, roles, 0);
  display.SetLogger(&logger);
  display.Options().packet_timeout_ms = -1;
  display.Options().log_port1 = true;
  display.ShowReceived(top, &port1, 1, "one", false);
  display.LogMessage("TCP server ready at 5000");
  display.LogMessage("TCP Client added from 127.0.0.1:40312");
  display.ShowReceived(top, &port1, 2, "two", false);
  logger.Close();
  const std::string data(StyleOf(VMurTerminal_ltInLine).log_marker);
  const std::string message(StyleOf(VMurTerminal_ltExtra).log_marker);
  EXPECT_EQ(Slurp(dir.path() + "/log.txt"),
            data + "one\r\n" + message + "TCP server ready at 5000\r\n" + message +
                "TCP Client added from 127.0.0.1:40312\r\n" + data + "two\r\n");
}

// A key typed while a port-1 line is half received: the view shows the sent line between the
// halves, but the log, which holds only port 1, keeps the line whole; likewise for a packet of
// an unticked port 2. What is in the log is still cut by its own packets and by pauses.
TEST_F(Display, PacketsLeftOutOfTheLogDoNotCutItsLines) {
  TempDir dir;
  VMurLogger logger(nullptr);
  SetUpLog(logger, dir, 0);
  TrafficDisplay display(output, roles, 0);
  display.SetLogger(&logger);
  display.Options().packet_timeout_ms = 100;
  display.Options().log_port1 = true;
  display.ShowReceived(top, &port1, 10, "00001 ab", false);
  display.ShowSent(&port1, 20, "z\r", true);
  display.ShowReceived(top, &port2, 30, "port 2", true);
  display.ShowReceived(top, &port1, 40, "cd", true);
  display.ShowReceived(top, &port1, 50, "00002", false);
  display.ShowSent(&port1, 200, "late", true);  // after a pause: the log's line ends
  display.ShowReceived(top, &port1, 210, "ef", true);
  display.Options().log_sent = true;
  display.ShowSent(&port1, 220, "logged", true);
  display.ShowReceived(top, &port1, 230, "gh", true);
  // A block read at 295, before a send at 300, is handled after it: no pause, and none either
  // before the next block.
  display.Options().log_sent = false;
  display.ShowReceived(top, &port1, 290, "ij", false);
  display.ShowSent(&port1, 300, "k", false);
  display.ShowReceived(top, &port1, 295, "lm", false);
  display.ShowReceived(top, &port1, 390, "no", true);
  logger.Close();
  EXPECT_EQ(Slurp(dir.path() + "/log.txt"),
            "00001 abcd\r\n00002\r\nef\r\nlogged\r\ngh\r\nijlmno\r\n");
  EXPECT_EQ(view.Text(),
            "+ 00001 ab\n - z<#0D>\n - port 2\n+ cd\n+ 00002\n - late\n+ ef\n - logged\n+ gh\n+ "
            "ij\n - k\n+ lmno\n");
}

}  // namespace
}  // namespace kestrova
