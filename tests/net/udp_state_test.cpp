// The UDP component's life: binding and its retry from the chain's poll, state reports, peers
// dropped on stop, the configured peer's text, the distributor link and deferred freeing.
#include <memory>
#include <string>
#include <vector>

#include "distribution/top_distributor.h"
#include "net/mur_udp.h"
#include "net/udp_test_support.h"
#include "platform/tick.h"
#include "support/udp_peer.h"

namespace kestrova::testing {
namespace {

class FakeTick {
 public:
  FakeTick() {
    SetTickSource([this] { return now; });
  }
  ~FakeTick() { SetTickSource(nullptr); }
  uint32_t now = 0xFFFFF000;  // close to the wrap, so the retry timing crosses it
};

// Tells whether a component it watches has gone.
class GoneWatch : public Component {
 public:
  explicit GoneWatch(Component& watched) : Component(nullptr) { watched.FreeNotification(this); }
  bool gone = false;

 protected:
  void Notification(Component* component, Operation operation) override {
    Component::Notification(component, operation);
    if (operation == Operation::kRemove) gone = true;
  }
};

TEST_F(UdpTest, TakenPortFailsAndThePollBindsItOnceFreed) {
  FakeTick tick;
  VMurTopDistributor top(nullptr);
  top.SetAutomaticCreate(false);
  udp_->SetDistributor(&top);
  auto holder = std::make_unique<UdpPeer>();
  const int port = holder->Port();
  udp_->SetServerPort(port);

  udp_->StartServer();
  EXPECT_FALSE(udp_->Active());
  EXPECT_EQ(udp_->GetCommState(), CommStateFailed);
  ASSERT_EQ(Events(UdpEvent::kState).size(), 1u);
  EXPECT_EQ(Events(UdpEvent::kState).back().state, CommStateFailed);
  ASSERT_EQ(Events(UdpEvent::kError).size(), 1u);
  EXPECT_NE(Events(UdpEvent::kError).front().text.find("UdpStatus: Cannot bind UDP port"),
            std::string::npos);

  // Still taken at the next due poll: the retry fails quietly.
  tick.now += VMurUdp::kRetryInterval + 1;
  top.TimerTick();
  EXPECT_FALSE(udp_->Active());
  EXPECT_EQ(Events(UdpEvent::kState).size(), 1u);
  EXPECT_EQ(Events(UdpEvent::kError).size(), 1u);

  holder.reset();
  tick.now += VMurUdp::kRetryInterval;  // not yet due
  top.TimerTick();
  EXPECT_FALSE(udp_->Active());
  tick.now += 1;
  top.TimerTick();
  ASSERT_TRUE(udp_->Active());
  EXPECT_EQ(udp_->LocalPort(), port);
  EXPECT_EQ(Events(UdpEvent::kState).back().state, CommStateConnected);

  UdpPeer peer;
  ASSERT_TRUE(peer.SendTo(port, "bound"));
  ASSERT_TRUE(WaitForData(1));
  udp_->SetDistributor(nullptr);
}

TEST_F(UdpTest, NoRetryWithoutAWantedFixedPort) {
  FakeTick tick;
  VMurTopDistributor top(nullptr);
  top.SetAutomaticCreate(false);
  udp_->SetDistributor(&top);
  UdpPeer holder;
  udp_->SetServerPort(holder.Port());
  udp_->StartServer();
  udp_->StopServer();
  tick.now += 10 * VMurUdp::kRetryInterval;
  top.TimerTick();
  EXPECT_FALSE(udp_->Active());
  udp_->SetDistributor(nullptr);
}

TEST_F(UdpTest, StartCommReportsABindFailure) {
  UdpPeer holder;
  udp_->SetServerPort(holder.Port());
  udp_->SetClientHost("127.0.0.1:9");
  EXPECT_FALSE(udp_->StartComm());
  EXPECT_FALSE(udp_->ClientStarted());
  // The main channel stays failed: the client half does not paint it connected.
  EXPECT_EQ(Events(UdpEvent::kState).back().state, CommStateFailed);
}

TEST_F(UdpTest, StopServerDropsPeersHighestFirst) {
  StartOnFreePort();
  std::vector<std::unique_ptr<UdpPeer>> peers;
  for (int i = 0; i < 3; ++i) {
    peers.push_back(std::make_unique<UdpPeer>());
    ASSERT_TRUE(peers.back()->SendTo(udp_->LocalPort(), "hi"));
    ASSERT_TRUE(WaitForData(static_cast<size_t>(i + 1)));
  }
  std::vector<ChannelKey> learned;
  for (int i = 0; i < 3; ++i) learned.push_back(udp_->GetPeer(i));
  events_.clear();

  udp_->StopServer();
  EXPECT_FALSE(udp_->Active());
  EXPECT_EQ(udp_->PeerCount(), 0);
  ASSERT_EQ(events_.size(), 7u);
  for (int i = 0; i < 3; ++i) {
    const UdpEvent& remove = events_[static_cast<size_t>(2 * i)];
    const UdpEvent& state = events_[static_cast<size_t>(2 * i + 1)];
    EXPECT_EQ(remove.kind, UdpEvent::kRemove);
    EXPECT_EQ(remove.channel, learned[static_cast<size_t>(2 - i)]);
    EXPECT_EQ(state.kind, UdpEvent::kState);
    EXPECT_EQ(state.channel, learned[static_cast<size_t>(2 - i)]);
    EXPECT_EQ(state.state, CommStateDisconnected);
  }
  EXPECT_EQ(events_[6].channel, ChannelKey());
  EXPECT_EQ(events_[6].state, CommStateDisconnected);
}

TEST_F(UdpTest, StopClientClosesTheClientOnlySocketAndSaysSo) {
  UdpPeer peer;
  udp_->SetClientHost("127.0.0.1:" + std::to_string(peer.Port()));
  udp_->StartClient();
  ASSERT_TRUE(udp_->WriteCommData("x"));
  ASSERT_TRUE(peer.SendTo(udp_->LocalPort(), "reply"));
  UdpPeer stranger;
  ASSERT_TRUE(stranger.SendTo(udp_->LocalPort(), "stranger"));
  ASSERT_TRUE(WaitForData(2));
  events_.clear();

  udp_->StopClient();
  EXPECT_FALSE(udp_->Active());
  EXPECT_FALSE(udp_->ClientStarted());
  EXPECT_EQ(udp_->PeerCount(), 0);
  EXPECT_EQ(Events(UdpEvent::kRemove).size(), 1u);
  ASSERT_FALSE(Events(UdpEvent::kState).empty());
  EXPECT_EQ(Events(UdpEvent::kState).back().channel, ChannelKey());
  EXPECT_EQ(Events(UdpEvent::kState).back().state, CommStateDisconnected);
  EXPECT_EQ(udp_->GetCommState(), CommStateDisconnected);
  EXPECT_FALSE(udp_->WriteCommData("x"));
}

TEST_F(UdpTest, StartClientBeforeAnySocketReportsOnceAndStopClientUndoesIt) {
  udp_->StartClient();
  udp_->StopClient();
  const std::vector<UdpEvent> states = Events(UdpEvent::kState);
  ASSERT_EQ(states.size(), 2u);
  EXPECT_EQ(states[0].state, CommStateConnected);
  EXPECT_EQ(states[1].state, CommStateDisconnected);
}

TEST(UdpClientHostTest, SplitsAddressAndPort) {
  PollMessageLoop loop;
  struct Case {
    std::string initial;
    std::string set;
    std::string address;
    int port;
    std::string read_back;
  };
  const std::vector<Case> cases = {
      {"", "10.0.0.5:7000", "10.0.0.5", 7000, "10.0.0.5:7000"},
      {"10.0.0.5:7000", "10.0.0.6:x", "10.0.0.6", 7000, "10.0.0.6:7000"},
      {"10.0.0.5:7000", "10.0.0.6:", "10.0.0.6", 7000, "10.0.0.6:7000"},
      {"10.0.0.5:7000", "host.example", "host.example", 7000, "host.example:7000"},
      {"", "10.0.0.5", "10.0.0.5", -1, "10.0.0.5"},
      {"", "255.255.255.255b:3000", "255.255.255.255b", 3000, "255.255.255.255b:3000"},
      {"", "a:1:2", "a", -1, "a"},
      {"", ":0", "", 0, ":0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.set);
    VMurUdp udp(nullptr, &loop);
    if (!c.initial.empty()) udp.SetClientHost(c.initial);
    udp.SetClientHost(c.set);
    EXPECT_EQ(udp.ClientAddress(), c.address);
    EXPECT_EQ(udp.ClientPort(), c.port);
    EXPECT_EQ(udp.ClientHost(), c.read_back);
  }
}

TEST(UdpDistributorTest, InternalDistributorHangsBelowAndForgetsAFreedParent) {
  PollMessageLoop loop;
  VMurUdp udp(nullptr, &loop);
  EXPECT_EQ(udp.InternalDistributor()->Name(), "VMurUdp_Distributor");
  udp.SetName("VMurUdp1");
  EXPECT_EQ(udp.InternalDistributor()->Name(), "VMurUdp1_FDistributor");
  {
    VMurTopDistributor top(nullptr);
    udp.SetDistributor(&top);
    EXPECT_EQ(udp.InternalDistributor()->Distributor(), &top);
    ASSERT_EQ(top.Children().size(), 1u);
  }
  EXPECT_EQ(udp.Distributor(), nullptr);
  EXPECT_EQ(udp.InternalDistributor()->Distributor(), nullptr);
}

TEST_F(UdpTest, Free2InsideAReceiveHandlerWaitsForTheHandlerToReturn) {
  StartOnFreePort();
  VMurUdp* udp = udp_.release();
  GoneWatch watch(*udp);
  bool gone_inside = true;
  int calls = 0;
  udp->SetOnAdvancedReceiveData(
      [&](VMurCommunicationComponent* sender, ChannelKey, std::string_view) {
        ++calls;
        sender->Free2();
        gone_inside = watch.gone;
      });
  UdpPeer peer;
  // Two datagrams waiting at once: the second must not reach a freed component.
  ASSERT_TRUE(peer.SendTo(udp->LocalPort(), "a"));
  ASSERT_TRUE(peer.SendTo(udp->LocalPort(), "b"));
  ASSERT_TRUE(loop_.RunUntil([&] { return watch.gone; }, std::chrono::seconds(5)));
  EXPECT_FALSE(gone_inside);
  EXPECT_EQ(calls, 1);
}

TEST_F(UdpTest, Free2FromAStateHandlerOfThePollRetry) {
  FakeTick tick;
  VMurTopDistributor top(nullptr);
  top.SetAutomaticCreate(false);
  auto holder = std::make_unique<UdpPeer>();
  VMurUdp* udp = udp_.release();
  GoneWatch watch(*udp);
  udp->SetDistributor(&top);
  udp->SetServerPort(holder->Port());
  udp->StartServer();
  holder.reset();
  udp->SetOnAdvancedStateChange(
      [&](VMurCommunicationComponent* sender, ChannelKey, TCommState) { sender->Free2(); });
  tick.now += VMurUdp::kRetryInterval + 1;
  top.TimerTick();
  EXPECT_FALSE(watch.gone);  // the poll's distributor is still running
  ASSERT_TRUE(loop_.RunUntil([&] { return watch.gone; }, std::chrono::seconds(5)));
  EXPECT_TRUE(top.Children().empty());
}

TEST_F(UdpTest, ConfigurationStringIsRefused) {
  EXPECT_THROW(udp_->GetConfigAsString(), Exception);
  EXPECT_THROW(udp_->SetConfigAsString("x"), Exception);
}

}  // namespace
}  // namespace kestrova::testing
