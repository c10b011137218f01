// What typed bytes and script lines become on the wire, the script's pace, and the line kinds
// of sent data.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "monitor/send_encoding.h"
#include "monitor/send_script.h"
#include "monitor/traffic_display.h"
#include "terminal/line_store_view.h"

namespace kestrova {
namespace {

TEST(SendEncoding, TypedBytesByProtocol) {
  struct Case {
    Protocol protocol;
    std::string typed;
    bool terminator;
    std::string wire;
  };
  const Case cases[] = {
      {Protocol::kHex, "AB\r", true, "AB"},
      {Protocol::kHex, "AB", false, "AB"},  // sent without a terminator: every byte is data
      {Protocol::kBase64, "QUI=\r", true, "QUI="},
      {Protocol::kFatek,
       "\x02"
       "01\r",
       true,
       "\x02"
       "01"},
      {Protocol::kText, "ab\r", true, "ab\r"},
      {Protocol::kTextRN, "ab\r", true, "ab\r\n"},
      {Protocol::kTextRN, "ab", false, "ab\n"},
      {Protocol::kA4A3, "AT\r", true, "\xAA\x03\xE8\x41\x54\x0D\x37"},
      {Protocol::kA4A3, "", false, ""},
      {Protocol::kHex, "", false, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EncodeTerminalBytes(c.protocol, c.typed, c.terminator), c.wire)
        << ProtocolName(c.protocol) << " " << c.typed;
  }
}

TEST(SendEncoding, A4A3FoldsTheFirstByteIntoTheHeaderUnlessAtCommand) {
  // 3 bytes 10 20 30: $AA, n-1 = 2, (0 + $10), 20 30, sum.
  EXPECT_EQ(A4A3Frame("\x10\x20\x30"), std::string("\xAA\x02\x10\x20\x30\x0C"));
  // A lower-case "at" is an AT command too; 300 bytes carry the length's high part.
  const std::string at = "at" + std::string(298, 'x');
  const std::string frame = A4A3Frame(at);
  ASSERT_EQ(frame.size(), 300u + 4);
  EXPECT_EQ(static_cast<uint8_t>(frame[1]), 300 % 256);
  EXPECT_EQ(static_cast<uint8_t>(frame[2]), (300 / 256 + 232) % 256);
  uint8_t sum = 0;
  for (size_t i = 0; i + 1 < frame.size(); ++i) sum = static_cast<uint8_t>(sum + frame[i]);
  EXPECT_EQ(static_cast<uint8_t>(frame.back()), sum);
  // Without the AT mark the first byte joins the high length byte, modulo 256.
  const std::string plain = "\xF0" + std::string(299, 'y');
  EXPECT_EQ(static_cast<uint8_t>(A4A3Frame(plain)[2]), (299 / 256 + 0xF0) % 256);
}

TEST(SendEncoding, ScriptLinesGetTheProtocolsLineEnd) {
  EXPECT_EQ(ScriptLine(Protocol::kText, "a"), "a\r");
  EXPECT_EQ(ScriptLine(Protocol::kTextRN, "a"), "a\r\n");
  EXPECT_EQ(ScriptLine(Protocol::kHex, "a"), "a");
  EXPECT_EQ(ScriptLine(Protocol::kA4A3, "a"), "a");
}

TEST(SendScriptTest, OneLineAfterEachSecondAndNothingWhenEmpty) {
  SendScript script;
  EXPECT_FALSE(script.Due(50000));
  script.Load({"1", "2", "3", "4", "5"}, 1000);
  EXPECT_FALSE(script.Due(2000));  // exactly a second: not yet
  std::vector<std::string> sent;
  uint32_t last = 0;
  // The 20 ms poll: each line goes at the first tick more than a second after the last.
  for (uint32_t now = 2000; now <= 8000; now += 20) {
    if (std::optional<std::string> line = script.Due(now)) {
      sent.push_back(*line);
      last = now;
    }
  }
  EXPECT_EQ(sent, (std::vector<std::string>{"1", "2", "3", "4", "5"}));
  EXPECT_EQ(last, 1000u + 5 * 1020);  // a little over five seconds for five lines
  EXPECT_TRUE(script.Empty());
}

TEST(SendScriptTest, FileLinesReplaceTheScriptAndAnUnreadableFileIsReported) {
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("kestrova-script-" + std::to_string(getpid()));
  std::ofstream(file, std::ios::binary) << "first\r\nsecond\nthird";
  SendScript script;
  script.Load({"old"}, 0);
  std::string error;
  ASSERT_TRUE(script.LoadFile(file.string(), 0, error)) << error;
  EXPECT_EQ(script.Due(1001), "first");
  EXPECT_EQ(script.Due(2002), "second");
  EXPECT_EQ(script.Due(3003), "third");
  EXPECT_TRUE(script.Empty());
  std::filesystem::remove(file);

  script.Load({"kept"}, 0);
  EXPECT_FALSE(script.LoadFile(file.string(), 0, error));
  EXPECT_NE(error.find(file.string()), std::string::npos) << error;
  EXPECT_EQ(script.Due(1001), "kept");
}

TEST(SentLineType, FollowsChannelModeAndProtocol) {
  LineStoreView view;
  TerminalOutput output(&view);
  Object port1, port2, tcp, udp, udp_peer;
  TrafficDisplay display(
      output,
      [&](ChannelKey channel) {
        if (channel == ChannelKey(&port1)) return ChannelRole::kPort1;
        if (channel == ChannelKey(&port2)) return ChannelRole::kPort2;
        if (channel == ChannelKey(&tcp)) return ChannelRole::kTcpComponent;
        if (channel == ChannelKey(&udp)) return ChannelRole::kUdpComponent;
        if (channel == ChannelKey(&udp_peer)) return ChannelRole::kUdpClient;
        return ChannelRole::kOther;
      },
      0);
  struct Case {
    ChannelKey channel;
    ChannelMode mode;
    Protocol protocol;
    VMurTerminal_LineType expected;
  };
  const Case cases[] = {
      {&port1, ChannelMode::kSerial, Protocol::kText, VMurTerminal_ltMinusBrown},
      {&port1, ChannelMode::kSerial, Protocol::kA4A3, VMurTerminal_ltBinMinusBrown},
      {&port2, ChannelMode::kSerial, Protocol::kHex, VMurTerminal_ltBinPlusBrown},
      {&port2, ChannelMode::kSerial, Protocol::kFatek, VMurTerminal_ltPlusBrown},
      {&tcp, ChannelMode::kTcpServer, Protocol::kText, VMurTerminal_ltMinusGrey},
      {&tcp, ChannelMode::kUdpClient, Protocol::kText, VMurTerminal_ltMinusBrown},
      {&udp, ChannelMode::kUdpClient, Protocol::kHex, VMurTerminal_ltBinMinusGrey},
      {&udp_peer, ChannelMode::kUdpServer, Protocol::kText, VMurTerminal_ltMinusGrey},
      {&udp_peer, ChannelMode::kUdpClient, Protocol::kText, VMurTerminal_ltMinusBrown},
  };
  for (const Case& c : cases) {
    display.Options().mode = c.mode;
    display.Options().protocol = c.protocol;
    EXPECT_EQ(display.SentLineType(c.channel), c.expected)
        << static_cast<int>(c.mode) << " " << ProtocolName(c.protocol);
  }
}

}  // namespace
}  // namespace kestrova
