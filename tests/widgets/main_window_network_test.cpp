// Port 1 as a network port: the box's TCP and UDP texts start the servers and clients they
// name, peers come and go with messages, and traffic flows both ways through the window.
#include <QComboBox>
#include <QLineEdit>

#include "main_window_fixture.h"
#include "net/tcp_test_support.h"
#include "support/terminal_view_cases.h"
#include "support/udp_peer.h"

namespace kestrova::test {
namespace {

using std::chrono::seconds;
using testing::ViewText;

class MainWindowNetwork : public MainWindowFixture {
 protected:
  MainWindowNetwork() {
    OpenWindow();
    window->Terminal().SetShowOptions(0);
  }

  void TypePort1(const std::string& text) {
    auto* box = Find<QComboBox>("ComboPort1");
    box->setEditText(QString::fromStdString(text));
    emit box->lineEdit()->editingFinished();
  }
  bool ViewShows(const std::string& text) {
    return loop.RunUntil(
        [&] {
          return ViewText(*window->Terminal().Output().View()).find(text) != std::string::npos;
        },
        seconds(5));
  }
  std::string View() { return ViewText(*window->Terminal().Output().View()); }
  QColor BoxColor() { return Find<QComboBox>("ComboPort1")->palette().color(QPalette::Text); }
};

TEST_F(MainWindowNetwork, TcpServerTakesPeersAndTalksToThem) {
  const int port = testing::FreePort();
  TypePort1("tcp:" + std::to_string(port));
  ASSERT_TRUE(ViewShows("TCP server ready at " + std::to_string(port))) << View();
  EXPECT_EQ(BoxColor(), QColor(128, 0, 128));  // listening, nobody yet

  testing::Fd peer = testing::ConnectLoopback(port);
  ASSERT_TRUE(peer.valid());
  ASSERT_TRUE(ViewShows("TCP Client added from 127.0.0.1:")) << View();
  ASSERT_TRUE(testing::SendAll(peer.get(), "hello\nx"));
  ASSERT_TRUE(ViewShows(std::string(StyleOf(VMurTerminal_ltPlusGrey).view_prefix) + "hello"))
      << View();

  window->Terminal().SendLineEdited("ab");
  window->Terminal().SendLine();
  std::string received;
  ASSERT_TRUE(loop.RunUntil(
      [&] {
        testing::ReadAvailable(peer.get(), received);
        return received.size() >= 3;
      },
      seconds(5)));
  EXPECT_EQ(received, "ab\r");
  // Sent to a peer of the server: shown in port 1's sent kind.
  EXPECT_NE(View().find(std::string(StyleOf(VMurTerminal_ltMinusBrown).view_prefix) + "ab"),
            std::string::npos)
      << View();

  peer.Reset();
  ASSERT_TRUE(ViewShows("TCP Client removed (127.0.0.1:")) << View();
  window->close();
  EXPECT_EQ(Stored("Port1"), "tcp:" + std::to_string(port));
}

TEST_F(MainWindowNetwork, TcpClientConnectsToTheHostItNames) {
  testing::Fd server = testing::ListenLoopback();
  const int port = testing::PortOf(server.get());
  TypePort1("tcp:127.0.0.1:" + std::to_string(port));
  testing::Fd accepted;
  ASSERT_TRUE(loop.RunUntil(
      [&] {
        testing::SetNonBlocking(server.get());
        accepted = testing::Fd(accept(server.get(), nullptr, nullptr));
        return accepted.valid();
      },
      seconds(5)));
  ASSERT_TRUE(ViewShows("TCP Client added to 127.0.0.1:" + std::to_string(port))) << View();
  EXPECT_TRUE(loop.RunUntil([&] { return BoxColor() == QColor(0, 0, 255); }, seconds(5)));
  ASSERT_TRUE(testing::SendAll(accepted.get(), "reply\nx"));
  // The outgoing connection is the main channel: shown in the network kind.
  ASSERT_TRUE(ViewShows(std::string(StyleOf(VMurTerminal_ltPlusGrey).view_prefix) + "reply"))
      << View();
  EXPECT_EQ(BoxColor(), QColor(0, 128, 0));  // data arrived
  window->close();
  EXPECT_EQ(Stored("Port1"), "tcp:127.0.0.1:" + std::to_string(port));
}

TEST_F(MainWindowNetwork, UdpServerLearnsPeersAndAnswersThem) {
  const int port = testing::FreePort();
  TypePort1("udp:" + std::to_string(port));
  ASSERT_TRUE(ViewShows("UDP server ready at " + std::to_string(port))) << View();
  testing::UdpPeer peer;
  ASSERT_TRUE(peer.Ok());
  ASSERT_TRUE(peer.SendTo(port, "ping\nx"));
  ASSERT_TRUE(ViewShows("UDP Client added from 127.0.0.1:" + std::to_string(peer.Port())))
      << View();
  ASSERT_TRUE(ViewShows("ping")) << View();

  window->Terminal().SendLineEdited("pong");
  window->Terminal().SendLine();
  const std::optional<testing::UdpPeerDatagram> answer = peer.Receive();
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(answer->data, "pong\r");
  window->close();
  EXPECT_EQ(Stored("Port1"), "udp:" + std::to_string(port));
}

TEST_F(MainWindowNetwork, AStoredNetworkPortStartsAtStartUp) {
  window->close();
  window.reset();
  const int port = testing::FreePort();
  Store("Port1", "TCP:" + std::to_string(port));
  OpenWindow();
  testing::Fd peer = testing::ConnectLoopback(port);
  EXPECT_TRUE(peer.valid()) << "nothing listens on the stored port";
  EXPECT_EQ(Find<QComboBox>("ComboPort1")->currentText().toStdString(),
            "TCP:" + std::to_string(port));
}

}  // namespace
}  // namespace kestrova::test
