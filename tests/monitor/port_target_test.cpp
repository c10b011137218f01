// Port 1's texts: which mode, server port or host each names, typed and stored.
#include "monitor/port_target.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

struct SpecCase {
  const char* text;
  ChannelMode mode;
  int server_port;
  const char* host;
  bool ignored;
};

void Check(const SpecCase& c, const PortSpecification& spec) {
  SCOPED_TRACE(c.text);
  EXPECT_EQ(spec.ignored, c.ignored);
  if (c.ignored) return;
  EXPECT_EQ(spec.mode, c.mode);
  if (c.mode == ChannelMode::kTcpServer || c.mode == ChannelMode::kUdpServer) {
    EXPECT_EQ(spec.server_port, c.server_port);
  }
  if (c.mode == ChannelMode::kTcpClient || c.mode == ChannelMode::kUdpClient) {
    EXPECT_EQ(spec.host, c.host);
  }
}

constexpr ChannelMode kSerial = ChannelMode::kSerial;
constexpr ChannelMode kTcpClient = ChannelMode::kTcpClient;
constexpr ChannelMode kTcpServer = ChannelMode::kTcpServer;
constexpr ChannelMode kUdpClient = ChannelMode::kUdpClient;
constexpr ChannelMode kUdpServer = ChannelMode::kUdpServer;

TEST(PortSpecificationTest, TypedTexts) {
  const SpecCase cases[] = {
      {"tcp:192.168.1.10:502", kTcpClient, 0, "192.168.1.10:502", false},
      {"tcp:502", kTcpServer, 502, "", false},
      {"TCP://8080", kTcpServer, 8080, "", false},
      {"tcp:myhost:23", kTcpClient, 0, "myhost:23", false},
      {"TCP:70000", kTcpServer, 65535, "", false},
      {"TCP:2000000", kTcpServer, 65535, "", false},  // reading stops below a million
      {"TCP:0", kTcpClient, 0, "0", false},
      {"TCP:-5", kTcpClient, 0, "-5", false},
      {"TCP:", kSerial, 0, "", true},
      {"udp://", kSerial, 0, "", true},
      {"UDP:7000", kUdpServer, 7000, "", false},
      {"udp:10.0.0.255:7000", kUdpClient, 0, "10.0.0.255:7000", false},
      {":5000", kTcpServer, 5000, "", false},
      {":x", kTcpServer, -1, "", false},
      {":70000", kTcpServer, -1, "", false},  // would wrap to port 4464
      {":-5", kTcpServer, -1, "", false},
      {"COM3", kSerial, 0, "", false},
      {"/dev/ttyUSB0", kSerial, 0, "", false},
      {"", kSerial, 0, "", false},
  };
  for (const SpecCase& c : cases) Check(c, ReadTypedPortSpecification(c.text));
}

TEST(PortSpecificationTest, StoredTextsKeepLargePortsAndDoNotSkipSlashes) {
  const SpecCase cases[] = {
      {"TCP:70000", kTcpServer, 70000, "", false},
      {"tcp:host:23", kTcpClient, 0, "host:23", false},
      {"TCP://8080", kTcpClient, 0, "//8080", false},
      {"TCP:", kTcpClient, 0, "", false},
      {"udp:9000", kUdpServer, 9000, "", false},
      {"\"COM1\",\"57600\"", kSerial, 0, "", false},
  };
  for (const SpecCase& c : cases) Check(c, ReadStoredPortSpecification(c.text));
}

}  // namespace
}  // namespace kestrova
