// Writes through the UDP component: to the configured peer, to learned peers, broadcasts and
// host names, and the writes that must fail.
#include <netinet/in.h>

#include <cerrno>

#include <string>
#include <vector>

#include "net/mur_udp.h"
#include "net/udp_test_support.h"
#include "support/udp_peer.h"

namespace kestrova::testing {
namespace {

TEST_F(UdpTest, WriteGoesToTheConfiguredPeerAsOneDatagram) {
  StartOnFreePort();
  UdpPeer peer;
  udp_->SetClientHost("127.0.0.1:" + std::to_string(peer.Port()));
  udp_->StartClient();
  ASSERT_TRUE(udp_->WriteCommData("first"));
  ASSERT_TRUE(udp_->WriteCommDataTo(nullptr, std::string("\0second", 7)));
  const auto one = peer.Receive();
  const auto two = peer.Receive();
  ASSERT_TRUE(one && two);
  EXPECT_EQ(one->data, "first");
  EXPECT_EQ(two->data, std::string("\0second", 7));
  EXPECT_EQ(one->port, udp_->LocalPort());
}

TEST_F(UdpTest, ClientWithoutServerPortBindsAFreePortOnFirstWrite) {
  UdpPeer peer;
  udp_->SetClientHost("127.0.0.1:" + std::to_string(peer.Port()));
  udp_->StartClient();
  EXPECT_FALSE(udp_->Active());
  ASSERT_EQ(Events(UdpEvent::kState).size(), 1u);
  EXPECT_EQ(Events(UdpEvent::kState).back().state, CommStateConnected);
  ASSERT_TRUE(udp_->WriteCommData("hello"));
  EXPECT_TRUE(udp_->Active());
  EXPECT_EQ(udp_->GetCommState(), CommStateConnected);
  const auto got = peer.Receive();
  ASSERT_TRUE(got);
  EXPECT_EQ(got->data, "hello");
  EXPECT_EQ(got->port, udp_->LocalPort());
  // The answer comes back on the main channel.
  ASSERT_TRUE(peer.SendTo(got->port, "reply"));
  ASSERT_TRUE(WaitForData(1));
  EXPECT_EQ(Events(UdpEvent::kData).front().channel, ChannelKey());
}

TEST_F(UdpTest, WriteToALearnedPeerAnswersIt) {
  StartOnFreePort();
  UdpPeer first;
  UdpPeer second;
  ASSERT_TRUE(first.SendTo(udp_->LocalPort(), "hi"));
  ASSERT_TRUE(second.SendTo(udp_->LocalPort(), "hi"));
  ASSERT_TRUE(WaitForData(2));
  ASSERT_TRUE(udp_->WriteCommDataTo(udp_->GetPeer(1), "to second"));
  const auto got = second.Receive();
  ASSERT_TRUE(got);
  EXPECT_EQ(got->data, "to second");
  EXPECT_FALSE(first.Receive(std::chrono::milliseconds(100)));
}

TEST_F(UdpTest, WritesThatCannotGoOutFail) {
  StartOnFreePort();
  UdpPeer peer;
  ASSERT_TRUE(peer.SendTo(udp_->LocalPort(), "hi"));
  ASSERT_TRUE(WaitForData(1));
  const ChannelKey learned = udp_->GetPeer(0);
  VMurUdp other(nullptr, &loop_);

  // No client started.
  udp_->SetClientHost("127.0.0.1:" + std::to_string(peer.Port()));
  EXPECT_FALSE(udp_->WriteCommData("x"));
  udp_->StartClient();
  // A channel that is no peer of this component.
  EXPECT_FALSE(udp_->WriteCommDataTo(&other, "x"));
  // The client's port was never set.
  udp_->SetClientPort(-1);
  EXPECT_FALSE(udp_->WriteCommData("x"));
  // A datagram larger than UDP allows.
  udp_->SetClientPort(peer.Port());
  EXPECT_FALSE(udp_->WriteCommData(std::string(kMaxUdpPayload + 1, 'x')));
  EXPECT_FALSE(Events(UdpEvent::kError).empty());
  // A peer dropped with the socket.
  udp_->StopServer();
  EXPECT_FALSE(udp_->WriteCommDataTo(learned, "x"));
  EXPECT_FALSE(peer.Receive(std::chrono::milliseconds(100)));
}

TEST_F(UdpTest, WriteWhileThePortCannotBeBoundFails) {
  UdpPeer holder;
  UdpPeer target;
  udp_->SetServerPort(holder.Port());
  udp_->SetClientHost("127.0.0.1:" + std::to_string(target.Port()));
  udp_->StartClient();
  EXPECT_FALSE(udp_->WriteCommData("lost"));
  EXPECT_EQ(udp_->GetCommState(), CommStateFailed);
  EXPECT_FALSE(target.Receive(std::chrono::milliseconds(100)));
}

TEST_F(UdpTest, InterfaceBroadcastReachesEveryUsableInterface) {
  UdpPeer first(0, INADDR_LOOPBACK);
  ASSERT_TRUE(first.Ok());
  UdpPeer second(first.Port(), INADDR_LOOPBACK + 1);  // 127.0.0.2
  if (!second.Ok()) GTEST_SKIP() << "cannot bind 127.0.0.2 at the same port";
  // /32 networks: each directed broadcast is the interface's own address.
  std::vector<UdpInterface> interfaces(4);
  interfaces[0] = {INADDR_LOOPBACK, 0xFFFFFFFF, 0, true, false};
  interfaces[1] = {INADDR_LOOPBACK + 5, 0xFFFFFFFF, 0, false, false};  // down
  interfaces[2] = {INADDR_LOOPBACK + 6, 0xFFFFFFFF, 0, true, true};    // loopback
  interfaces[3] = {INADDR_LOOPBACK + 1, 0xFFFFFFFF, 0, true, false};
  udp_->SetInterfaceSource([&] { return interfaces; });
  udp_->SetClientHost(std::string(VMurUdp::kInterfaceBroadcastAddress) + ":" +
                      std::to_string(first.Port()));
  udp_->StartClient();
  ASSERT_TRUE(udp_->WriteCommData("everyone"));
  const auto one = first.Receive();
  const auto two = second.Receive();
  ASSERT_TRUE(one && two);
  EXPECT_EQ(one->data, "everyone");
  EXPECT_EQ(two->data, "everyone");

  interfaces.clear();
  udp_->StopServer();
  EXPECT_FALSE(udp_->WriteCommData("nobody"));
}

TEST(UdpInterfaceTest, DirectedBroadcastFromAddressAndNetmask) {
  const UdpInterface lan{0xC0A80A07, 0xFFFFFF00, 0, true, false};  // 192.168.10.7/24
  EXPECT_EQ(lan.Network(), 0xC0A80A00u);
  EXPECT_EQ(lan.DirectedBroadcast(), 0xC0A80AFFu);
  EXPECT_TRUE(lan.Usable());
  const UdpInterface wide{0x0A010203, 0xFF000000, 0, true, false};  // 10.1.2.3/8
  EXPECT_EQ(wide.DirectedBroadcast(), 0x0AFFFFFFu);
  EXPECT_FALSE((UdpInterface{INADDR_LOOPBACK, 0xFF000000, 0, true, true}).Usable());
  EXPECT_FALSE((UdpInterface{0x0A010203, 0xFF000000, 0, false, false}).Usable());
}

TEST_F(UdpTest, HostNameIsLookedUpAwayFromTheLoopThreadInOrder) {
  UdpPeer peer;
  udp_->SetClientHost("localhost:" + std::to_string(peer.Port()));
  udp_->StartClient();
  for (const char* text : {"one", "two", "three"}) ASSERT_TRUE(udp_->WriteCommData(text));
  std::vector<std::string> got;
  ASSERT_TRUE(loop_.RunUntil(
      [&] {
        while (const auto datagram = peer.Receive(std::chrono::milliseconds(0))) {
          got.push_back(datagram->data);
        }
        return got.size() >= 3;
      },
      std::chrono::seconds(10)));
  EXPECT_EQ(got, (std::vector<std::string>{"one", "two", "three"}));
  // Known now: the next write goes out at once.
  ASSERT_TRUE(udp_->WriteCommData("four"));
  const auto four = peer.Receive();
  ASSERT_TRUE(four);
  EXPECT_EQ(four->data, "four");
}

TEST_F(UdpTest, UnknownHostIsReportedAndItsWritesDropped) {
  udp_->SetClientHost("no-such-host.invalid:9");
  udp_->StartClient();
  ASSERT_TRUE(udp_->WriteCommData("x"));
  ASSERT_TRUE(
      loop_.RunUntil([&] { return !Events(UdpEvent::kError).empty(); }, std::chrono::seconds(20)));
  EXPECT_NE(Events(UdpEvent::kError).front().text.find("no-such-host.invalid"), std::string::npos);
}

// Loopback never runs out of send buffer; this socket says it has while `full` is set.
class FullSendBufferSocket : public UdpSocket {
 public:
  explicit FullSendBufferSocket(bool* full) : full_(full) {}
  int SendTo(std::string_view data, uint32_t address, int port, bool allow_broadcast) override {
    if (*full_) return EWOULDBLOCK;
    return UdpSocket::SendTo(data, address, port, allow_broadcast);
  }

 private:
  bool* full_;
};

class FullSendBufferTest : public UdpTest {
 protected:
  FullSendBufferTest() {
    udp_ = std::make_unique<VMurUdp>(
        nullptr, &loop_, [this] { return std::make_unique<FullSendBufferSocket>(&full_); });
    Record(*udp_);
    udp_->SetClientHost("127.0.0.1:" + std::to_string(peer_.Port()));
    udp_->StartComm();
  }

  bool full_ = false;
  UdpPeer peer_;
};

TEST_F(FullSendBufferTest, DatagramsWaitInOrder) {
  ASSERT_TRUE(udp_->WriteCommData("0"));
  full_ = true;
  for (int i = 1; i <= 3; ++i) ASSERT_TRUE(udp_->WriteCommData(std::to_string(i)));
  loop_.RunFor(std::chrono::milliseconds(20));
  full_ = false;
  // Behind the queue even though the socket would take it now.
  ASSERT_TRUE(udp_->WriteCommData("4"));
  std::vector<std::string> got;
  ASSERT_TRUE(loop_.RunUntil(
      [&] {
        while (const auto datagram = peer_.Receive(std::chrono::milliseconds(0))) {
          got.push_back(datagram->data);
        }
        return got.size() >= 5;
      },
      std::chrono::seconds(5)));
  EXPECT_EQ(got, (std::vector<std::string>{"0", "1", "2", "3", "4"}));
}

TEST_F(FullSendBufferTest, QueueIsBoundedAndRefusesWhatDoesNotFit) {
  full_ = true;
  const std::string datagram(60000, 'b');
  size_t accepted = 0;
  while (accepted < 1000 && udp_->WriteCommData(datagram)) ++accepted;
  EXPECT_EQ(accepted, VMurUdp::kMaxQueuedBytes / datagram.size());
  ASSERT_EQ(Events(UdpEvent::kError).size(), 1u);
  EXPECT_NE(Events(UdpEvent::kError).front().text.find("Send queue full"), std::string::npos);
  // A small one still fits.
  EXPECT_TRUE(udp_->WriteCommData("small"));
}

}  // namespace
}  // namespace kestrova::testing
