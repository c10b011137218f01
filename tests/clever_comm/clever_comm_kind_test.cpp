#include "clever_comm/clever_comm_kind.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

bool OnlyA1IsABridge(const std::string& name) { return name == "A1"; }

TEST(CleverCommKindTest, PortNamesPickTheirTransport) {
  struct Case {
    std::string name;
    CleverCommKind kind;
    int server_port;
  } cases[] = {
      {"tcp://5000", CleverCommKind::kTcpServer, 5000},
      {"tcp://1", CleverCommKind::kTcpServer, 1},
      {"tcp://65535", CleverCommKind::kTcpServer, 65535},
      {"tcp://0", CleverCommKind::kTcpClient, 0},
      {"tcp://65536", CleverCommKind::kTcpClient, 0},
      {"tcp://70000", CleverCommKind::kTcpClient, 0},
      {"tcp://host:5000", CleverCommKind::kTcpClient, 0},
      {"tcp://5000x", CleverCommKind::kTcpClient, 0},
      {"tcp://", CleverCommKind::kTcpClient, 0},
      {"A1", CleverCommKind::kCP2112, 0},
      {"a1", CleverCommKind::kSerial, 0},
      {"MUR-7", CleverCommKind::kReserved, 0},
      {"/dev/ttyUSB0", CleverCommKind::kSerial, 0},
      {"COM3", CleverCommKind::kSerial, 0},
      {"TCP://5000", CleverCommKind::kSerial, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(KindOfPortName(c.name, OnlyA1IsABridge), c.kind);
    EXPECT_EQ(TcpServerPortOf(c.name), c.server_port);
  }
  EXPECT_EQ(TcpTextOf("tcp://host:5000"), "host:5000");
}

TEST(CleverCommKindTest, ConfigStringsAreJudgedByTheirFirstToken) {
  struct Case {
    std::string config;
    CleverCommKind kind;
  } cases[] = {
      {"\"A1\"", CleverCommKind::kCP2112},
      {"A1,\"19200\"", CleverCommKind::kCP2112},
      {"\"A1 \",\"19200\"", CleverCommKind::kSerial},
      {"\"MUR-1\",\"9600\"", CleverCommKind::kReserved},
      {"\"/dev/ttyS0\",\"9600\",\"8\",\"1\",\"None\"", CleverCommKind::kSerial},
      {"tcp://5000", CleverCommKind::kTcpServer},
      {"tcp://host:5000", CleverCommKind::kTcpClient},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.config);
    EXPECT_EQ(KindOfConfigString(c.config, OnlyA1IsABridge), c.kind);
  }
}

}  // namespace
}  // namespace kestrova
