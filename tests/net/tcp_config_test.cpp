// The TCP configuration line and the address dialog's OK, on a component that opens nothing.
#include "net/tcp_config.h"

#include <gtest/gtest.h>

#include "net/mur_tcp.h"
#include "tcp_test_support.h"

namespace kestrova {
namespace {

struct ConfigCase {
  const char* config;
  const char* host;
  int client_port;
  const char* address;
  int server_port;
  const char* written_back;
};

class TcpConfigTest : public ::testing::Test {
 protected:
  testing::NetLoopScope scope_;
  VMurTcp tcp_{nullptr};
};

TEST_F(TcpConfigTest, ParsesBothFormsAndWritesThemBack) {
  // Before each case: host "old", client port 7, address "keep", server port 9.
  const ConfigCase cases[] = {
      {"h:1 2", "h", 1, "keep", 2, "h:1 keep:2"},
      {"h:1 a:2", "h", 1, "a", 2, "h:1 a:2"},
      {"h:1", "h", 1, "keep", -1, "h:1"},
      {"10.0.0.5:4001 :5000", "10.0.0.5", 4001, "", 5000, "10.0.0.5:4001 :5000"},
      {"h:1 -3", "h", 1, "keep", -1, "h:1"},
      {"h:1 x", "h", 1, "keep", -1, "h:1"},
      {"h:1   0", "h", 1, "keep", 0, "h:1 keep:0"},
      {"h:abc", "h", 7, "keep", -1, "h:7"},
      {"h:1 a:", "h", 1, "keep", -1, "h:1"},
      {"h:1 a:x", "h", 1, "a", 9, "h:1 a:9"},
      {":0", "", 0, "keep", -1, ":0"},
  };
  for (const ConfigCase& c : cases) {
    SCOPED_TRACE(c.config);
    tcp_.SetClientHost("old");
    tcp_.SetClientPort(7);
    tcp_.SetServerLocalAddress("keep");
    tcp_.SetServerPort(9);
    tcp_.SetConfigAsString(c.config);
    EXPECT_EQ(tcp_.ClientHost(), c.host);
    EXPECT_EQ(tcp_.ClientPort(), c.client_port);
    EXPECT_EQ(tcp_.ServerLocalAddress(), c.address);
    EXPECT_EQ(tcp_.ServerPort(), c.server_port);
    EXPECT_EQ(tcp_.GetConfigAsString(), c.written_back);
    EXPECT_FALSE(tcp_.ServerWanted()) << "setting the line starts nothing";
    EXPECT_FALSE(tcp_.ClientWanted());
  }
}

TEST_F(TcpConfigTest, FreshComponentWritesAnEmptyClient) {
  EXPECT_EQ(tcp_.GetConfigAsString(), ":0");
}

TEST_F(TcpConfigTest, ListeningServerWritesTheBoundPort) {
  tcp_.SetConfigAsString("h:1 127.0.0.1:0");
  ASSERT_TRUE(tcp_.StartServer());
  const int port = tcp_.ServerPort();
  ASSERT_GT(port, 0);
  EXPECT_EQ(tcp_.GetConfigAsString(), "h:1 127.0.0.1:" + std::to_string(port));
}

TEST_F(TcpConfigTest, AddressDialogAppliesPortThenHost) {
  struct Case {
    const char* host_text;
    const char* port_text;
    const char* host;
    int port;
  };
  const Case cases[] = {
      {"10.0.0.5", "4001", "10.0.0.5", 4001},
      {"10.0.0.5", "x", "10.0.0.5", 7},
      {"10.0.0.5:9", "4001", "10.0.0.5", 9},
      {"name", "", "name", 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.host_text) + " / " + c.port_text);
    tcp_.SetClientPort(7);
    ApplyAddressDialog(tcp_, c.host_text, c.port_text);
    EXPECT_EQ(tcp_.ClientHost(), c.host);
    EXPECT_EQ(tcp_.ClientPort(), c.port);
  }
  EXPECT_FALSE(tcp_.ShowSettingsDialog()) << "no dialog without a GUI";
}

}  // namespace
}  // namespace kestrova
