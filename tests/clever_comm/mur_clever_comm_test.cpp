// The wrapper over real inner transports: a pseudo-terminal for the serial kind, loopback
// sockets for the TCP kinds, the simulated bridge library for the bridge.
#include "clever_comm/mur_clever_comm.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "cp2112/cp2112_runtime.h"
#include "cp2112/mur_comm_cp2112.h"
#include "cp2112/sim_bridge.h"
#include "distribution/top_distributor.h"
#include "net/mur_tcp.h"
#include "net/tcp_test_support.h"
#include "support/poll_main_loop.h"
#include "support/pty_pair.h"

namespace kestrova {
namespace {

using std::chrono::milliseconds;
using testing::Fd;

constexpr milliseconds kLimit{5000};

// What the wrapper's listeners heard, and from whom.
struct Heard {
  explicit Heard(TMurCleverComm& comm) {
    comm.SetOnReceiveData([this](VMurCommunicationComponent* sender, std::string_view data) {
      data_senders.push_back(sender);
      read_ticks.push_back(sender->ReadTick());
      received.append(data);
    });
    comm.SetOnAdvancedReceiveData(
        [this](VMurCommunicationComponent* sender, ChannelKey channel, std::string_view data) {
          advanced_senders.push_back(sender);
          by_channel[channel].append(data);
        });
    comm.SetOnStateChange([this](Object* sender, TCommState state) {
      state_senders.push_back(sender);
      states.push_back(state);
    });
    comm.SetOnAdvancedStateChange(
        [this](VMurCommunicationComponent*, ChannelKey channel, TCommState state) {
          advanced_states.push_back({channel, state});
        });
  }

  std::string received;
  std::unordered_map<ChannelKey, std::string> by_channel;
  std::vector<Object*> data_senders, advanced_senders, state_senders;
  std::vector<std::optional<uint32_t>> read_ticks;
  std::vector<TCommState> states;
  std::vector<std::pair<ChannelKey, TCommState>> advanced_states;
};

class CleverCommTest : public ::testing::Test {
 protected:
  bool RunUntil(const std::function<bool()>& done) { return main_loop.loop.RunUntil(done, kLimit); }
  void Settle() { main_loop.loop.RunFor(milliseconds(50)); }

  testing::SimBridge sim;  // first: the runtime loads the library it names
  testing::PollMainLoop main_loop;
  CP2112Runtime runtime;
};

TEST_F(CleverCommTest, SerialPortDataAndStatesComeFromTheWrapper) {
  testing::PtyPair pty;
  TMurCleverComm comm(nullptr);
  Heard heard(comm);
  comm.SetCommPort(pty.slave_path());
  EXPECT_EQ(comm.Kind(), CleverCommKind::kSerial);
  ASSERT_TRUE(comm.Connected());
  ASSERT_TRUE(RunUntil([&] { return !heard.states.empty(); }));
  EXPECT_EQ(heard.states.back(), CommStateConnected);
  EXPECT_EQ(heard.state_senders.back(), &comm);

  pty.Write(std::string("ab\0c", 4));
  ASSERT_TRUE(RunUntil([&] { return heard.received.size() == 4; }));
  EXPECT_EQ(heard.received, std::string("ab\0c", 4));
  EXPECT_EQ(heard.by_channel[ChannelKey()], std::string("ab\0c", 4));
  for (Object* sender : heard.data_senders) EXPECT_EQ(sender, &comm);
  for (Object* sender : heard.advanced_senders) EXPECT_EQ(sender, &comm);
  // The time the reader took the bytes travels with them, and only while they are handled.
  for (const std::optional<uint32_t>& tick : heard.read_ticks) EXPECT_TRUE(tick.has_value());
  EXPECT_FALSE(comm.ReadTick().has_value());

  EXPECT_TRUE(comm.WriteCommData("xyz"));
  EXPECT_EQ(pty.Read(3, kLimit), "xyz");
  EXPECT_EQ(comm.GetConfigAsString(), comm.SerialComponent()->GetConfigAsString());
}

// The closing of the transport put aside is not heard (it is of another kind now), so the
// wrapper says it before the next transport's open.
TEST_F(CleverCommTest, SwitchingBetweenOpenTransportsIsHeardAsCloseAndOpen) {
  testing::PtyPair pty;
  Fd listener = testing::ListenLoopback();
  TMurCleverComm comm(nullptr);
  Heard heard(comm);
  comm.SetCommPort(pty.slave_path());
  ASSERT_TRUE(RunUntil([&] { return comm.Connected() && !heard.states.empty(); }));
  Settle();
  ASSERT_EQ(heard.states.back(), CommStateConnected);
  heard.states.clear();
  heard.advanced_states.clear();
  comm.SetCommPort("tcp://127.0.0.1:" + std::to_string(testing::PortOf(listener.get())));
  ASSERT_TRUE(RunUntil([&] { return heard.states.size() >= 2; }));
  Settle();
  EXPECT_EQ(heard.states, (std::vector{CommStateDisconnected, CommStateConnected}));
  std::vector<std::pair<ChannelKey, TCommState>> main_channel = {
      {ChannelKey(), CommStateDisconnected}, {ChannelKey(), CommStateConnected}};
  EXPECT_EQ(heard.advanced_states, main_channel);
}

TEST_F(CleverCommTest, StatesOfAStoppedTransportOfAnotherKindAreNotHeard) {
  testing::PtyPair pty;
  TMurCleverComm comm(nullptr);
  comm.SetCommPort(pty.slave_path());
  ASSERT_TRUE(comm.Connected());
  Settle();
  Heard heard(comm);
  comm.SetCommPort("tcp://" + std::to_string(testing::FreePort()));
  EXPECT_EQ(comm.Kind(), CleverCommKind::kTcpServer);
  EXPECT_FALSE(comm.SerialComponent()->Connected());
  // The serial port opened behind the wrapper's back is not what the wrapper serves now.
  ASSERT_TRUE(comm.SerialComponent()->StartComm());
  Settle();
  for (Object* sender : heard.state_senders) EXPECT_EQ(sender, &comm);
  for (TCommState state : heard.states) EXPECT_NE(state, CommStateConnected);
  // Its data is still relayed, whatever the kind.
  pty.Write("q");
  EXPECT_TRUE(RunUntil([&] { return heard.received == "q"; }));
}

TEST_F(CleverCommTest, TcpServerNameListensAndServesItsPeers) {
  const int port = testing::FreePort();
  TMurCleverComm comm(nullptr);
  Heard heard(comm);
  comm.SetCommPort("tcp://" + std::to_string(port));
  EXPECT_EQ(comm.Kind(), CleverCommKind::kTcpServer);
  ASSERT_TRUE(comm.TcpComponent()->ServerListening());
  EXPECT_FALSE(comm.Connected()) << "no peer yet";
  EXPECT_EQ(comm.GetCommState(), CommStateDisconnected);
  EXPECT_FALSE(comm.WriteCommData("lost")) << "no peer took it";

  Fd peer = testing::ConnectLoopback(port);
  ASSERT_TRUE(peer.valid());
  ASSERT_TRUE(RunUntil([&] { return comm.Connected(); }));
  EXPECT_EQ(comm.GetCommState(), CommStateConnected);
  ASSERT_TRUE(testing::SendAll(peer.get(), "ping"));
  const ChannelKey peer_channel = comm.TcpComponent()->GetClient(0);
  ASSERT_TRUE(RunUntil([&] { return heard.by_channel[peer_channel] == "ping"; }));
  EXPECT_EQ(heard.received, "") << "a peer's data is no main-channel data";
  for (Object* sender : heard.advanced_senders) EXPECT_EQ(sender, &comm);

  EXPECT_TRUE(comm.WriteCommData("pong"));
  std::string got;
  testing::SetNonBlocking(peer.get());
  ASSERT_TRUE(RunUntil([&] {
    testing::ReadAvailable(peer.get(), got);
    return got == "pong";
  }));
  EXPECT_EQ(comm.GetConfigAsString(), "tcp://" + std::to_string(port));
}

TEST_F(CleverCommTest, AStoredServerNameStartsListening) {
  const int port = testing::FreePort();
  TMurCleverComm comm(nullptr);
  comm.SetConfigAsString("tcp://" + std::to_string(port));
  EXPECT_EQ(comm.CommPort(), "tcp://" + std::to_string(port));
  ASSERT_NE(comm.TcpComponent(), nullptr);
  EXPECT_TRUE(comm.TcpComponent()->ServerListening());
  EXPECT_TRUE(testing::ConnectLoopback(port).valid());
}

TEST_F(CleverCommTest, TcpClientNameConnectsAndExchangesMainChannelData) {
  Fd listener = testing::ListenLoopback();
  const int port = testing::PortOf(listener.get());
  TMurCleverComm comm(nullptr);
  Heard heard(comm);
  comm.SetCommPort("tcp://127.0.0.1:" + std::to_string(port));
  EXPECT_EQ(comm.Kind(), CleverCommKind::kTcpClient);
  EXPECT_EQ(comm.TcpComponent()->ClientPort(), port);
  ASSERT_TRUE(RunUntil([&] { return comm.Connected(); }));
  Fd peer(accept(listener.get(), nullptr, nullptr));
  ASSERT_TRUE(peer.valid());
  ASSERT_TRUE(testing::SendAll(peer.get(), "hi"));
  ASSERT_TRUE(RunUntil([&] { return heard.received == "hi"; }));
  EXPECT_EQ(heard.by_channel[ChannelKey()], "hi");
  EXPECT_TRUE(comm.WriteCommData("yo"));
  std::string got;
  testing::SetNonBlocking(peer.get());
  ASSERT_TRUE(RunUntil([&] {
    testing::ReadAvailable(peer.get(), got);
    return got == "yo";
  }));
}

TEST_F(CleverCommTest, ClientNamesPassTheHostTextOn) {
  struct Case {
    std::string name, host;
    int port;
  } cases[] = {{"tcp://70000", "70000", 0}, {"tcp://somehost:5000", "somehost", 5000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TMurCleverComm comm(nullptr);
    comm.SetAutoReconnect(false);
    comm.SetCommPort(c.name);
    EXPECT_EQ(comm.Kind(), CleverCommKind::kTcpClient);
    EXPECT_EQ(comm.TcpComponent()->ClientHost(), c.host);
    if (c.port != 0) {
      EXPECT_EQ(comm.TcpComponent()->ClientPort(), c.port);
    }
    EXPECT_FALSE(comm.TcpComponent()->ClientWanted());
  }
}

TEST_F(CleverCommTest, ReservedNamesAndNoNameHaveNoTransport) {
  for (const std::string name : {"", "MUR-12"}) {
    SCOPED_TRACE(name);
    TMurCleverComm comm(nullptr);
    if (!name.empty()) comm.SetCommPort(name);
    EXPECT_FALSE(comm.StartComm());
    EXPECT_FALSE(comm.Connected());
    EXPECT_FALSE(comm.WriteCommData("x"));
    EXPECT_EQ(comm.GetCommState(), CommStateDisconnected);
    comm.StopComm();
    EXPECT_EQ(comm.SerialComponent(), nullptr);
    EXPECT_EQ(comm.TcpComponent(), nullptr);
    EXPECT_EQ(comm.CP2112Component(), nullptr);
  }
}

TEST_F(CleverCommTest, InnerTransportsAreMadeOnceAndKeptAcrossKinds) {
  testing::PtyPair pty;
  TMurCleverComm comm(nullptr);
  comm.SetCommPort(pty.slave_path());
  TVSSComm32* serial = comm.SerialComponent();
  comm.SetBaudRate(TBaudRate::_9600);
  comm.SetCommPort("tcp://" + std::to_string(testing::FreePort()));
  VMurTcp* tcp = comm.TcpComponent();
  EXPECT_FALSE(serial->Connected());
  // Reconnection turned on again reaches only the transport in service.
  comm.SetAutoReconnect(false);
  comm.SetAutoReconnect(true);
  EXPECT_FALSE(serial->Connected());
  comm.SetCommPort(pty.slave_path());
  EXPECT_EQ(comm.SerialComponent(), serial);
  EXPECT_TRUE(serial->Connected());
  EXPECT_EQ(serial->BaudRate(), TBaudRate::_9600);
  EXPECT_FALSE(tcp->ServerListening());
  comm.SetCommPort("tcp://" + std::to_string(testing::FreePort()));
  EXPECT_EQ(comm.TcpComponent(), tcp);
  EXPECT_TRUE(tcp->ServerListening());
}

TEST_F(CleverCommTest, BaudRateIntTakesOnlyRatesOfTheTable) {
  struct Case {
    int value;
    TBaudRate expected;
  } cases[] = {{9600, TBaudRate::_9600},
               {12345, TBaudRate::_9600},
               {0, TBaudRate::_9600},
               {115200, TBaudRate::_115200},
               {-1, TBaudRate::_115200}};
  TMurCleverComm comm(nullptr);
  EXPECT_EQ(comm.BaudRateInt(), 19200);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    comm.SetBaudRateInt(c.value);
    EXPECT_EQ(comm.BaudRate(), c.expected);
    EXPECT_EQ(comm.BaudRateInt(), static_cast<int>(BaudRateValue(c.expected)));
  }
  EXPECT_EQ(comm.SerialComponent(), nullptr);
}

TEST_F(CleverCommTest, SerialEventsLiveOnTheSerialComponent) {
  TMurCleverComm comm(nullptr);
  comm.SetOnBreak(nullptr);
  comm.SetOnRing(nullptr);
  EXPECT_EQ(comm.SerialComponent(), nullptr) << "an empty handler makes no serial component";
  EXPECT_FALSE(comm.OnBreak());
  comm.SetAutoReconnect(false);
  int breaks = 0;
  comm.SetOnBreak([&](Object*) { ++breaks; });
  ASSERT_NE(comm.SerialComponent(), nullptr);
  ASSERT_TRUE(comm.SerialComponent()->OnBreak());
  comm.OnBreak()(nullptr);
  EXPECT_EQ(breaks, 1);
  comm.SetOnBreak(nullptr);
  EXPECT_FALSE(comm.SerialComponent()->OnBreak());
}

TEST_F(CleverCommTest, BridgeNamePicksTheBridgeWithItsDataAndDiagnostics) {
  sim.AddDevice("A1", "Maker", "Bridge");
  TMurCleverComm comm(nullptr);
  comm.SetCP2112DebugLevels({cp2112dlError, cp2112dlWarning});
  Heard heard(comm);
  comm.SetCommPort("A1");
  EXPECT_EQ(comm.Kind(), CleverCommKind::kCP2112);
  ASSERT_NE(comm.CP2112Component(), nullptr);
  EXPECT_EQ(comm.CP2112Component()->Protocol(), cp2112pSPA9);
  ASSERT_TRUE(RunUntil([&] { return comm.Connected(); }));
  ASSERT_TRUE(RunUntil([&] { return !heard.states.empty(); }));
  EXPECT_EQ(heard.states.back(), CommStateConnected);
  EXPECT_EQ(comm.GetConfigAsString(), comm.CP2112Component()->GetConfigAsString());

  sim.Reply(0, ":\x05hello");
  ASSERT_TRUE(RunUntil([&] { return heard.received == "hello"; })) << heard.received;
  for (Object* sender : heard.data_senders) EXPECT_EQ(sender, &comm);

  sim.FailTransfers(0, 0, 1);
  ASSERT_TRUE(comm.WriteCommData("w"));
  ASSERT_TRUE(RunUntil([&] { return !heard.by_channel[ChannelKey::Pseudo(513)].empty(); }));
  EXPECT_NE(heard.by_channel[ChannelKey::Pseudo(513)].find("write transfer failed"),
            std::string::npos);

  // Away to a serial name and back: the same bridge component, reopened.
  VMurCommCP2112* bridge = comm.CP2112Component();
  comm.SetCommPort("MUR-1");
  EXPECT_FALSE(bridge->Connected());
  comm.SetCommPort("A1");
  EXPECT_EQ(comm.CP2112Component(), bridge);
  EXPECT_TRUE(RunUntil([&] { return comm.Connected(); }));
}

TEST_F(CleverCommTest, ABridgeComponentFreedElsewhereIsForgotten) {
  sim.AddDevice("A1", "Maker", "Bridge");
  TMurCleverComm comm(nullptr);
  comm.SetCommPort("A1");
  ASSERT_TRUE(RunUntil([&] { return comm.Connected(); }));
  comm.CP2112Component()->WantFree();
  EXPECT_EQ(comm.CP2112Component(), nullptr);
  EXPECT_EQ(comm.Kind(), CleverCommKind::kCP2112);
  EXPECT_FALSE(comm.Connected());
  EXPECT_FALSE(comm.StartComm());
  EXPECT_FALSE(comm.WriteCommData("x"));
  EXPECT_EQ(comm.GetCommState(), CommStateDisconnected);
  comm.StopComm();
  comm.SetCommPort("A1");
  ASSERT_NE(comm.CP2112Component(), nullptr);
  EXPECT_TRUE(RunUntil([&] { return comm.Connected(); }));
}

TEST_F(CleverCommTest, ASecondPeerOfTheServerIsNoCloseOfTheFirst) {
  const int port = testing::FreePort();
  TMurCleverComm comm(nullptr);
  comm.SetTreatMainChannelAsNil(false);
  Heard heard(comm);
  comm.SetCommPort("tcp://" + std::to_string(port));
  Fd first = testing::ConnectLoopback(port);
  ASSERT_TRUE(RunUntil([&] { return comm.TcpComponent()->ClientCount() == 1; }));
  Fd second = testing::ConnectLoopback(port);
  ASSERT_TRUE(RunUntil([&] { return comm.TcpComponent()->ClientCount() == 2; }));
  Settle();
  for (const auto& [channel, state] : heard.advanced_states) {
    if (channel == ChannelKey(comm.TcpComponent()->GetClient(0)) ||
        channel == ChannelKey(comm.TcpComponent()->GetClient(1))) {
      EXPECT_NE(state, CommStateDisconnected);
    }
    // Nothing arrives as nil: the main channel is the wrapper itself here.
    EXPECT_FALSE(channel.IsNil());
  }
}

TEST_F(CleverCommTest, MainChannelIsNamedAsTheWrapperNamesIt) {
  testing::PtyPair pty;
  TMurCleverComm comm(nullptr);
  comm.SetTreatMainChannelAsNil(false);
  Heard heard(comm);
  comm.SetCommPort(pty.slave_path());
  ASSERT_TRUE(comm.Connected());
  pty.Write("m");
  ASSERT_TRUE(RunUntil([&] { return heard.by_channel[ChannelKey(&comm)] == "m"; }));
  EXPECT_EQ(heard.by_channel.count(ChannelKey()), 0u);
  ASSERT_FALSE(heard.advanced_states.empty());
  for (const auto& seen : heard.advanced_states) EXPECT_EQ(seen.first, ChannelKey(&comm));
}

TEST_F(CleverCommTest, DeleteChannelsForgetsTheMainAndDiagnosticChannels) {
  VMurTopDistributor distributor(nullptr);
  TMurCleverComm comm(nullptr);
  comm.DeleteChannels(nullptr);
  const int main_only = distributor.BufferCount();
  for (int number = 512; number <= 516; ++number) {
    distributor.ComReceive(&comm, ChannelKey::Pseudo(number), "d");
  }
  ASSERT_EQ(distributor.BufferCount(), main_only + 10);
  comm.DeleteChannels(&distributor);
  EXPECT_EQ(distributor.BufferCount(), main_only);
}

TEST_F(CleverCommTest, CopyingTakesTheSettingsEventsAndPort) {
  Fd listener = testing::ListenLoopback();
  const int port = testing::PortOf(listener.get());
  TMurCleverComm source(nullptr);
  source.SetAutoReconnect(false);
  source.SetBaudRate(TBaudRate::_57600);
  source.SetParity(TParity::Even);
  source.SetStopBits(TStopBits::_2);
  source.SetDataBits(TDataBits::_7);
  source.SetProtocolCP2112(cp2112pAutoRead);
  source.SetCP2112DebugLevels({cp2112dlRawData});
  int rings = 0;
  source.SetOnRing([&](Object*, bool) { ++rings; });
  source.SetConfigAsString("tcp://127.0.0.1:" + std::to_string(port));

  TMurCleverComm copy(nullptr);
  copy.Assign(source);
  EXPECT_EQ(copy.BaudRate(), TBaudRate::_57600);
  EXPECT_EQ(copy.Parity(), TParity::Even);
  EXPECT_EQ(copy.StopBits(), TStopBits::_2);
  EXPECT_EQ(copy.DataBits(), TDataBits::_7);
  EXPECT_EQ(copy.ProtocolCP2112(), cp2112pAutoRead);
  EXPECT_EQ(copy.CP2112DebugLevelSet(), CP2112DebugLevels({cp2112dlRawData}));
  EXPECT_FALSE(copy.AutoReconnect());
  EXPECT_EQ(copy.CommPort(), source.CommPort());
  EXPECT_EQ(copy.Kind(), CleverCommKind::kTcpClient);
  ASSERT_TRUE(copy.OnRing());
  copy.OnRing()(nullptr, true);
  EXPECT_EQ(rings, 1);
  EXPECT_EQ(copy.SerialComponent()->BaudRate(), TBaudRate::_57600);
}

}  // namespace
}  // namespace kestrova
