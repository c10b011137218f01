// Datagrams arriving at the UDP component from real loopback peers: boundaries, peers, the
// main channel, large datagrams and bursts, datagrams the system had to drop.
#include <string>
#include <vector>

#include "distribution/top_distributor.h"
#include "net/mur_udp.h"
#include "net/udp_test_support.h"
#include "support/udp_peer.h"

namespace kestrova::testing {
namespace {

TEST_F(UdpTest, EachDatagramArrivesWholeAsOneEvent) {
  StartOnFreePort();
  UdpPeer peer;
  ASSERT_TRUE(peer.Ok());
  const std::vector<std::string> sent = {"abc", std::string("\0\1\2", 3), "x",
                                         std::string(1000, 'q')};
  for (const std::string& datagram : sent) ASSERT_TRUE(peer.SendTo(udp_->LocalPort(), datagram));
  ASSERT_TRUE(WaitForData(sent.size()));
  const std::vector<UdpEvent> data = Events(UdpEvent::kData);
  ASSERT_EQ(data.size(), sent.size());
  for (size_t i = 0; i < sent.size(); ++i) EXPECT_EQ(data[i].text, sent[i]) << i;
}

TEST_F(UdpTest, EverySenderBecomesOnePeer) {
  StartOnFreePort();
  UdpPeer first;
  UdpPeer second;
  ASSERT_TRUE(first.Ok() && second.Ok());
  ASSERT_TRUE(first.SendTo(udp_->LocalPort(), "1a"));
  ASSERT_TRUE(WaitForData(1));
  ASSERT_TRUE(second.SendTo(udp_->LocalPort(), "2a"));
  ASSERT_TRUE(WaitForData(2));
  ASSERT_TRUE(first.SendTo(udp_->LocalPort(), "1b"));
  ASSERT_TRUE(WaitForData(3));

  ASSERT_EQ(udp_->PeerCount(), 2);
  VMurUdpClient* one = udp_->GetPeer(0);
  VMurUdpClient* two = udp_->GetPeer(1);
  EXPECT_EQ(one->AddressText(), "127.0.0.1:" + std::to_string(first.Port()));
  EXPECT_EQ(two->AddressText(), "127.0.0.1:" + std::to_string(second.Port()));
  EXPECT_EQ(one->Owner(), udp_.get());
  EXPECT_EQ(udp_->GetPeer(2), nullptr);
  EXPECT_EQ(udp_->GetPeer(-1), nullptr);

  const std::vector<UdpEvent> adds = Events(UdpEvent::kAdd);
  ASSERT_EQ(adds.size(), 2u);
  EXPECT_EQ(adds[0].channel, ChannelKey(one));
  EXPECT_EQ(adds[1].channel, ChannelKey(two));
  const std::vector<UdpEvent> data = Events(UdpEvent::kData);
  EXPECT_EQ(data[0].channel, ChannelKey(one));
  EXPECT_EQ(data[1].channel, ChannelKey(two));
  EXPECT_EQ(data[2].channel, ChannelKey(one));
  // Each new peer is announced, then reported connected, before its first data.
  size_t add_at = 0;
  while (events_[add_at].kind != UdpEvent::kAdd) ++add_at;
  EXPECT_EQ(events_[add_at + 1].kind, UdpEvent::kState);
  EXPECT_EQ(events_[add_at + 1].channel, ChannelKey(one));
  EXPECT_EQ(events_[add_at + 1].state, CommStateConnected);
  EXPECT_EQ(events_[add_at + 2].kind, UdpEvent::kData);
}

// Which datagrams count as the configured peer's: the address text and the port must both
// match.
TEST_F(UdpTest, MainChannelMatchesExactlyAddressAndPort) {
  StartOnFreePort();
  UdpPeer configured;
  UdpPeer other_port;
  ASSERT_TRUE(configured.Ok() && other_port.Ok());
  struct Case {
    const char* name;
    std::string client_address;
    bool treat_as_nil;
    const UdpPeer* sender;
    bool main;
  };
  const std::vector<Case> cases = {
      {"configured peer", "127.0.0.1", true, &configured, true},
      {"other port, same address", "127.0.0.1", true, &other_port, false},
      {"host name is no address text", "localhost", true, &configured, false},
      {"main channel named by the component", "127.0.0.1", false, &configured, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    udp_->SetClientAddress(c.client_address);
    udp_->SetClientPort(configured.Port());
    udp_->SetTreatMainChannelAsNil(c.treat_as_nil);
    events_.clear();
    ASSERT_TRUE(c.sender->SendTo(udp_->LocalPort(), c.name));
    ASSERT_TRUE(WaitForData(1));
    const UdpEvent data = Events(UdpEvent::kData).front();
    EXPECT_EQ(data.text, c.name);
    if (c.main) {
      EXPECT_EQ(data.channel, udp_->MainChannel());
    } else {
      EXPECT_NE(data.channel, udp_->MainChannel());
      EXPECT_NE(data.channel, ChannelKey());
    }
  }
}

TEST_F(UdpTest, MainChannelDataAlsoReachesThePlainEvent) {
  StartOnFreePort();
  UdpPeer peer;
  std::vector<std::string> plain;
  udp_->SetOnReceiveData(
      [&](VMurCommunicationComponent*, std::string_view data) { plain.emplace_back(data); });
  udp_->SetClientHost("127.0.0.1:" + std::to_string(peer.Port()));
  ASSERT_TRUE(peer.SendTo(udp_->LocalPort(), "main"));
  UdpPeer stranger;
  ASSERT_TRUE(stranger.SendTo(udp_->LocalPort(), "peer"));
  ASSERT_TRUE(WaitForData(2));
  EXPECT_EQ(plain, std::vector<std::string>{"main"});
}

TEST_F(UdpTest, ConfiguringALearnedPeerMovesItsDataToTheMainChannel) {
  StartOnFreePort();
  UdpPeer peer;
  ASSERT_TRUE(peer.SendTo(udp_->LocalPort(), "before"));
  ASSERT_TRUE(WaitForData(1));
  ASSERT_EQ(udp_->PeerCount(), 1);
  udp_->SetClientHost("127.0.0.1:" + std::to_string(peer.Port()));
  ASSERT_TRUE(peer.SendTo(udp_->LocalPort(), "after"));
  ASSERT_TRUE(WaitForData(2));
  const std::vector<UdpEvent> data = Events(UdpEvent::kData);
  EXPECT_EQ(data[0].channel, ChannelKey(udp_->GetPeer(0)));
  EXPECT_EQ(data[1].channel, ChannelKey());
  EXPECT_EQ(udp_->PeerCount(), 1);  // the learned peer stays
}

TEST_F(UdpTest, LargestDatagramArrivesWhole) {
  StartOnFreePort();
  UdpPeer peer;
  std::string big(kMaxUdpPayload, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 251);
  ASSERT_TRUE(peer.SendTo(udp_->LocalPort(), big));
  ASSERT_TRUE(WaitForData(1));
  const std::string got = Events(UdpEvent::kData).front().text;
  ASSERT_EQ(got.size(), big.size());
  EXPECT_TRUE(got == big);
}

TEST_F(UdpTest, BurstArrivesCompleteAndInOrder) {
  StartOnFreePort();
  UdpPeer peer;
  constexpr int kCount = 2000;
  // A small receive buffer on loopback would drop datagrams in the kernel: paced sending keeps
  // this about the component, which must neither lose nor reorder what reached its socket.
  int received = 0;
  for (int i = 0; i < kCount; ++i) {
    ASSERT_TRUE(peer.SendTo(udp_->LocalPort(), "datagram " + std::to_string(i)));
    if (i % 64 == 63) {
      ASSERT_TRUE(WaitForData(static_cast<size_t>(i + 1)));
      received = i + 1;
    }
  }
  ASSERT_TRUE(WaitForData(kCount)) << received;
  const std::vector<UdpEvent> data = Events(UdpEvent::kData);
  ASSERT_EQ(data.size(), static_cast<size_t>(kCount));
  for (int i = 0; i < kCount; ++i) ASSERT_EQ(data[i].text, "datagram " + std::to_string(i));
  EXPECT_EQ(udp_->PeerCount(), 1);
}

TEST_F(UdpTest, EmptyDatagramStillNamesItsPeer) {
  StartOnFreePort();
  UdpPeer peer;
  ASSERT_TRUE(peer.SendTo(udp_->LocalPort(), ""));
  ASSERT_TRUE(WaitForData(1));
  EXPECT_EQ(Events(UdpEvent::kData).front().text, "");
  EXPECT_EQ(udp_->PeerCount(), 1);
}

TEST_F(UdpTest, DatagramsTheFullReceiveBufferDroppedAreCountedAndToldOnce) {
  VMurTopDistributor top(nullptr);  // its timer drives the reports
  top.SetAutomaticCreate(false);
  udp_->SetDistributor(&top);
  StartOnFreePort();
  std::vector<uint64_t> told;
  udp_->OnDropped() = [&](VMurUdp*, uint64_t count) { told.push_back(count); };
  UdpPeer peer;
  // The loop does not run while these go out: the socket's buffer fills and the system drops
  // the rest, counting them.
  constexpr int kCount = 20000;
  const std::string payload(1000, 'd');
  for (int i = 0; i < kCount; ++i) ASSERT_TRUE(peer.SendTo(udp_->LocalPort(), payload));
  size_t received = 0;
  for (;;) {  // until the socket is drained
    loop_.RunUntil([] { return false; }, std::chrono::milliseconds(200));
    if (Events(UdpEvent::kData).size() == received) break;
    received = Events(UdpEvent::kData).size();
  }
  top.TimerTick();
  top.TimerTick();
  udp_->SetDistributor(nullptr);

  ASSERT_EQ(told.size(), 1u) << received << " datagrams arrived";
  EXPECT_EQ(told[0] + received, static_cast<uint64_t>(kCount));
}

}  // namespace
}  // namespace kestrova::testing
