// The TCP component against real loopback peers, driven by the poll loop.
#include "net/mur_tcp.h"

#include <gtest/gtest.h>
#include <netinet/tcp.h>

#include <atomic>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "distribution/top_distributor.h"
#include "platform/tick.h"
#include "tcp_recorder.h"
#include "tcp_test_support.h"
#include "util/timer.h"

namespace kestrova {
namespace {

using std::chrono::milliseconds;
using testing::ConnectLoopback;
using testing::Fd;
using testing::ListenLoopback;
using testing::PortOf;
using testing::TcpRecorder;

constexpr milliseconds kLimit{20000};

std::string RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

// Reads from a blocking socket until `size` bytes arrived or the peer closed.
std::string ReadExactly(int fd, size_t size) {
  std::string got;
  char buffer[65536];
  while (got.size() < size) {
    const ssize_t n = recv(fd, buffer, std::min(sizeof(buffer), size - got.size()), 0);
    if (n <= 0) break;
    got.append(buffer, static_cast<size_t>(n));
  }
  return got;
}

class MurTcpTest : public ::testing::Test {
 protected:
  MurTcpTest() {
    tcp_->SetReconnectInterval(100);
    poll_ = loop_.StartTimer(milliseconds(20), [this] {
      if (tcp_ != nullptr) tcp_->Poll(TickCount());
    });
  }
  ~MurTcpTest() override {
    poll_.reset();
    delete tcp_;
  }

  // Starts a server on 127.0.0.1 and a port the system picks.
  int StartLoopbackServer() {
    tcp_->SetServerLocalAddress("127.0.0.1");
    tcp_->SetServerPort(0);
    EXPECT_TRUE(tcp_->StartServer());
    return tcp_->ServerPort();
  }

  bool RunUntil(const std::function<bool()>& done) { return loop_.RunUntil(done, kLimit); }

  testing::NetLoopScope scope_;
  PollMessageLoop& loop_ = scope_.loop;
  VMurTcp* tcp_ = new VMurTcp(nullptr);
  LoopHandle poll_;
};

TEST_F(MurTcpTest, PeersComeAndGoAsChannels) {
  TcpRecorder seen(*tcp_);
  const int port = StartLoopbackServer();
  ASSERT_GT(port, 0);
  EXPECT_TRUE(tcp_->ServerListening());
  EXPECT_EQ(seen.LastMainState(), CommStateDisconnected) << "no outgoing connection";

  constexpr int kPeers = 12;
  std::vector<Fd> peers;
  for (int i = 0; i < kPeers; ++i) peers.push_back(ConnectLoopback(port));
  ASSERT_TRUE(RunUntil([&] { return tcp_->ClientCount() == kPeers; }));
  EXPECT_EQ(seen.Count(vsioAdd), kPeers);
  EXPECT_EQ(tcp_->GetClient(-1), nullptr);
  EXPECT_EQ(tcp_->GetClient(kPeers), nullptr);
  EXPECT_EQ(tcp_->MainClient(), nullptr);

  // Each peer's bytes arrive on its own channel, and each write reaches only its peer.
  for (int i = 0; i < kPeers; ++i) {
    ASSERT_TRUE(testing::SendAll(peers[i].get(), "peer " + std::to_string(i)));
  }
  ASSERT_TRUE(RunUntil([&] { return seen.channel_data.size() == kPeers; }));
  for (int i = 0; i < kPeers; ++i) {
    VMurTcpClient* client = tcp_->GetClient(i);
    ASSERT_NE(client, nullptr);
    const int peer_port = PortOf(peers[i].get());
    EXPECT_EQ(client->Port(), peer_port);
    EXPECT_EQ(client->AddressText(), "127.0.0.1:" + std::to_string(peer_port));
    EXPECT_TRUE(seen.HasText("Connected from 127.0.0.1:" + std::to_string(peer_port), 1));
    ASSERT_TRUE(RunUntil([&] { return seen.channel_data[client] == "peer " + std::to_string(i); }));
    EXPECT_TRUE(tcp_->WriteCommDataTo(client, "to " + std::to_string(i)));
  }
  for (int i = 0; i < kPeers; ++i) {
    const std::string expected = "to " + std::to_string(i);
    EXPECT_EQ(ReadExactly(peers[i].get(), expected.size()), expected);
  }
  EXPECT_TRUE(seen.main_data.empty()) << "peer data never reaches the main channel's event";

  // A peer leaving: its last bytes first, then the removal and its channel's state.
  VMurTcpClient* leaving = tcp_->GetClient(3);
  ASSERT_TRUE(testing::SendAll(peers[3].get(), " bye"));
  peers[3].Reset();
  ASSERT_TRUE(RunUntil([&] { return tcp_->ClientCount() == kPeers - 1; }));
  EXPECT_EQ(seen.channel_data[leaving], "peer 3 bye");
  EXPECT_EQ(seen.changes.back().op, vsioRemove);
  EXPECT_EQ(seen.changes.back().client, leaving);
  EXPECT_EQ(seen.states.back().channel, ChannelKey(leaving));
  EXPECT_EQ(seen.states.back().state, CommStateDisconnected);
  EXPECT_EQ(tcp_->GetClient(3)->Port(), PortOf(peers[4].get())) << "later slots move down";

  tcp_->StopServer();
  EXPECT_EQ(tcp_->ClientCount(), 0);
  EXPECT_EQ(seen.Count(vsioRemove), kPeers);
  EXPECT_FALSE(tcp_->ServerListening());
  EXPECT_EQ(tcp_->ServerPort(), 0) << "the stored value once no longer listening";
}

TEST_F(MurTcpTest, PeerThatSendsAndClosesAtOnceIsAddedFedAndRemoved) {
  // Objects of gone connections may be reused, so the bytes are kept per connection's life.
  std::vector<std::string> lives;
  std::unordered_map<VMurTcpClient*, size_t> current;
  int removed = 0;
  tcp_->OnClientChange = [&](VMurTcp*, VMurTcpClient* client, VMurItemOperation op) {
    if (op == vsioAdd) {
      current[client] = lives.size();
      lives.emplace_back();
    } else {
      EXPECT_TRUE(current.erase(client)) << "removed without being added";
      ++removed;
    }
  };
  tcp_->SetOnAdvancedReceiveData(
      [&](VMurCommunicationComponent*, ChannelKey channel, std::string_view data) {
        auto* client = static_cast<VMurTcpClient*>(channel.AsObject());
        ASSERT_TRUE(current.contains(client)) << "data outside the connection's life";
        lives[current[client]].append(data);
      });
  const int port = StartLoopbackServer();
  for (int round = 0; round < 5; ++round) {
    Fd peer = ConnectLoopback(port);
    ASSERT_TRUE(testing::SendAll(peer.get(), "quick " + std::to_string(round)));
  }
  ASSERT_TRUE(RunUntil([&] { return removed == 5; }));
  EXPECT_EQ(tcp_->ClientCount(), 0);
  std::sort(lives.begin(), lives.end());
  EXPECT_EQ(lives,
            (std::vector<std::string>{"quick 0", "quick 1", "quick 2", "quick 3", "quick 4"}));
}

TEST_F(MurTcpTest, ClientConnectsAndReconnectsAfterTheServerReturns) {
  TcpRecorder seen(*tcp_);
  Fd listener = ListenLoopback();
  const int port = PortOf(listener.get());
  tcp_->SetClientHost("127.0.0.1:" + std::to_string(port));
  EXPECT_EQ(tcp_->ClientPort(), port);
  ASSERT_TRUE(tcp_->StartClient());
  const std::string target = "127.0.0.1:" + std::to_string(port);
  EXPECT_TRUE(seen.HasText("Connecting to " + target, 3));
  // Written while the connect is pending: kept and sent once connected.
  EXPECT_TRUE(tcp_->WriteCommData("early "));
  ASSERT_TRUE(RunUntil([&] { return tcp_->Connected(); }));
  EXPECT_TRUE(seen.HasText("Connected to " + target, 1));
  EXPECT_EQ(seen.LastMainState(), CommStateConnected);
  EXPECT_TRUE(tcp_->ClientActive());
  Fd peer(accept(listener.get(), nullptr, nullptr));
  EXPECT_TRUE(tcp_->WriteCommData("bytes"));
  EXPECT_EQ(ReadExactly(peer.get(), 11), "early bytes");
  ASSERT_TRUE(testing::SendAll(peer.get(), "reply"));
  ASSERT_TRUE(RunUntil([&] { return seen.main_data == "reply"; }));

  // The server goes away: the connection closes and later attempts are refused.
  peer.Reset();
  listener.Reset();
  ASSERT_TRUE(RunUntil([&] { return seen.LastMainState() == CommStateDisconnected; }));
  EXPECT_EQ(tcp_->MainClient(), nullptr);
  EXPECT_FALSE(tcp_->WriteCommData("lost"));
  EXPECT_EQ(tcp_->LastWriteError(), 1);
  ASSERT_TRUE(RunUntil([&] { return seen.LastMainState() == CommStateFailed; }));
  EXPECT_TRUE(seen.HasText(SocketErrorText(ECONNREFUSED), 1));
  EXPECT_TRUE(tcp_->ClientWanted());

  // Output written while refused is carried into the next attempt.
  EXPECT_TRUE(tcp_->WriteCommData("kept"));
  listener = ListenLoopback(port);
  ASSERT_TRUE(listener.valid());
  ASSERT_TRUE(RunUntil([&] { return tcp_->Connected(); }));
  peer = Fd(accept(listener.get(), nullptr, nullptr));
  EXPECT_EQ(ReadExactly(peer.get(), 4), "kept");

  tcp_->StopClient();
  EXPECT_FALSE(tcp_->ClientWanted());
  EXPECT_EQ(seen.LastMainState(), CommStateDisconnected);
  EXPECT_EQ(ReadExactly(peer.get(), 1), "") << "the peer sees the close";
}

TEST_F(MurTcpTest, LargeTransferArrivesCompleteAndInOrderBothWays) {
  TcpRecorder seen(*tcp_);
  const int port = StartLoopbackServer();
  Fd peer = ConnectLoopback(port);
  ASSERT_TRUE(RunUntil([&] { return tcp_->ClientCount() == 1; }));
  VMurTcpClient* client = tcp_->GetClient(0);

  constexpr size_t kSize = 8 << 20;
  const std::string inbound = RandomBytes(kSize, 1);
  const std::string outbound = RandomBytes(kSize, 2);
  std::string echoed;
  std::thread peer_thread([&] {
    std::thread sender([&] { testing::SendAll(peer.get(), inbound); });
    echoed = ReadExactly(peer.get(), kSize);
    sender.join();
  });
  // Written in uneven blocks, as a terminal would.
  for (size_t at = 0, block = 1; at < kSize; at += block, block = block * 3 % 200003 + 1) {
    ASSERT_TRUE(tcp_->WriteCommDataTo(client, std::string_view(outbound).substr(at, block)));
  }
  const bool arrived = RunUntil([&] { return seen.channel_data[client].size() >= kSize; });
  const auto deadline = std::chrono::steady_clock::now() + kLimit;
  while (client->PendingOut().size() > 0 && std::chrono::steady_clock::now() < deadline) {
    loop_.RunFor(milliseconds(5));
  }
  peer_thread.join();
  ASSERT_TRUE(arrived);
  EXPECT_TRUE(seen.channel_data[client] == inbound) << "inbound bytes differ";
  EXPECT_TRUE(echoed == outbound) << "outbound bytes differ, got " << echoed.size();
}

TEST_F(MurTcpTest, SlowReaderNeitherBlocksTheLoopNorLosesBytes) {
  TcpRecorder seen(*tcp_);
  const int port = StartLoopbackServer();
  Fd peer = ConnectLoopback(port);
  ASSERT_TRUE(RunUntil([&] { return tcp_->ClientCount() == 1; }));
  VMurTcpClient* client = tcp_->GetClient(0);

  const std::string data = RandomBytes(6 << 20, 3);
  const auto before = std::chrono::steady_clock::now();
  ASSERT_TRUE(tcp_->WriteCommDataTo(client, data));
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));
  EXPECT_GT(client->PendingOut().size(), 0u) << "a reader that does not read holds output back";

  // The loop keeps serving other work meanwhile.
  int ticks = 0;
  LoopHandle counter = loop_.StartTimer(milliseconds(5), [&] { ++ticks; });
  loop_.RunFor(milliseconds(100));
  EXPECT_GT(ticks, 5);

  std::atomic<bool> done{false};
  std::string got;
  std::thread reader([&] {
    char buffer[32768];
    while (got.size() < data.size()) {
      const ssize_t n = recv(peer.get(), buffer, sizeof(buffer), 0);
      if (n <= 0) break;
      got.append(buffer, static_cast<size_t>(n));
      if (got.size() < (1 << 20)) std::this_thread::sleep_for(milliseconds(1));
    }
    done = true;
  });
  const bool finished = RunUntil([&] { return done.load(); });
  reader.join();
  ASSERT_TRUE(finished);
  EXPECT_TRUE(got == data) << "got " << got.size() << " of " << data.size();
  EXPECT_TRUE(client->PendingOut().empty());
}

TEST_F(MurTcpTest, WriteFailuresSayWhy) {
  TcpRecorder seen(*tcp_);
  VMurTcpClient stranger;
  Timer foreign(nullptr, &loop_);
  struct Case {
    const char* name;
    std::function<bool()> write;
    int last_error;
    const char* text;
    int code;
  };
  const std::vector<Case> cases = {
      {"no outgoing connection", [&] { return tcp_->WriteCommData("x"); }, 1, nullptr, 0},
      {"nil channel, no outgoing connection", [&] { return tcp_->WriteCommDataTo(nullptr, "x"); },
       2, nullptr, 0},
      {"a connection of nobody", [&] { return tcp_->WriteCommDataTo(&stranger, "x"); }, 3,
       "Writing to non-existing Client", 4},
      {"not a connection", [&] { return tcp_->WriteCommDataTo(&foreign, "x"); }, 4,
       "Writing to non-existing Client", 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    seen.texts.clear();
    EXPECT_FALSE(c.write());
    EXPECT_EQ(tcp_->LastWriteError(), c.last_error);
    if (c.text != nullptr) {
      ASSERT_EQ(seen.texts.size(), 1u);
      EXPECT_EQ(seen.texts[0].desc, c.text);
      EXPECT_EQ(seen.texts[0].code, c.code);
      EXPECT_EQ(seen.texts[0].client, c.code == 4 ? &stranger : nullptr);
    }
  }
  tcp_->SetClientHost("127.0.0.1");
  EXPECT_FALSE(tcp_->StartClient()) << "no client port";
  tcp_->SetServerPort(-1);
  EXPECT_FALSE(tcp_->StartServer()) << "no server port";
}

TEST_F(MurTcpTest, ServerRetriesUntilItsPortIsFree) {
  TcpRecorder seen(*tcp_);
  Fd taken = ListenLoopback();
  const int port = PortOf(taken.get());
  tcp_->SetServerLocalAddress("127.0.0.1");
  tcp_->SetServerPort(port);
  EXPECT_FALSE(tcp_->StartServer());
  EXPECT_TRUE(tcp_->ServerWanted());
  EXPECT_FALSE(tcp_->ServerListening());
  loop_.RunFor(milliseconds(250));
  EXPECT_FALSE(tcp_->ServerListening());
  taken.Reset();
  ASSERT_TRUE(RunUntil([&] { return tcp_->ServerListening(); }));
  EXPECT_EQ(tcp_->ServerPort(), port);
  Fd peer = ConnectLoopback(port);
  ASSERT_TRUE(RunUntil([&] { return tcp_->ClientCount() == 1; }));
}

TEST_F(MurTcpTest, AddressThatCannotBeBoundIsAFailureNotAListeningServer) {
  tcp_->SetServerLocalAddress("192.0.2.1");  // a documentation address, never local
  tcp_->SetServerPort(0);
  EXPECT_FALSE(tcp_->StartServer());
  EXPECT_FALSE(tcp_->ServerListening());
  EXPECT_FALSE(tcp_->ServerActive());
}

TEST_F(MurTcpTest, ClientHostTakesAPortBehindTheLastColon) {
  struct Case {
    const char* value;
    const char* host;
    int port;
  };
  const Case cases[] = {
      {"10.0.0.5:8080", "10.0.0.5", 8080},
      {"10.0.0.5:", "10.0.0.5:", 7},
      {"10.0.0.5:x", "10.0.0.5:x", 7},
      {"host", "host", 7},
      {":5", ":5", 7},
      {"a:b:9", "a:b", 9},
      {"", "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    tcp_->SetClientPort(7);
    tcp_->SetClientHost(c.value);
    EXPECT_EQ(tcp_->ClientHost(), c.host);
    EXPECT_EQ(tcp_->ClientPort(), c.port);
  }
}

TEST_F(MurTcpTest, TopDistributorTimerDrivesThePollAndUnlinksWhenFreed) {
  poll_.reset();
  TcpRecorder seen(*tcp_);
  auto* timer = new Timer(nullptr, &loop_);
  timer->SetInterval(20);
  auto* top = new VMurTopDistributor(nullptr);
  top->SetTimer(timer);
  tcp_->SetDistributor(top);
  EXPECT_EQ(tcp_->InternalDistributor()->Distributor(), top);

  const int port = testing::FreePort();
  tcp_->SetClientHost("127.0.0.1:" + std::to_string(port));
  ASSERT_TRUE(tcp_->StartClient());
  ASSERT_TRUE(RunUntil([&] { return seen.LastMainState() == CommStateFailed; }));
  Fd listener = ListenLoopback(port);
  ASSERT_TRUE(RunUntil([&] { return tcp_->Connected(); })) << "the timer's poll reconnects";

  delete top;
  EXPECT_EQ(tcp_->Distributor(), nullptr);
  EXPECT_EQ(tcp_->InternalDistributor()->Distributor(), nullptr);
  delete timer;
}

TEST_F(MurTcpTest, MainChannelHandlerExceptionGoesToTheDistributor) {
  VMurTopDistributor top(nullptr);
  tcp_->SetDistributor(&top);
  std::vector<int> ids;
  top.OnCallbackException() = [&](VMurGeneralDistributor*, const Exception&, int id, bool&) {
    ids.push_back(id);
  };
  std::string received;
  tcp_->SetOnReceiveData([&](VMurCommunicationComponent*, std::string_view data) {
    received.append(data);
    throw Exception("handler failed");
  });
  Fd listener = ListenLoopback();
  tcp_->SetClientHost("127.0.0.1:" + std::to_string(PortOf(listener.get())));
  ASSERT_TRUE(tcp_->StartClient());
  ASSERT_TRUE(RunUntil([&] { return tcp_->Connected(); }));
  Fd peer(accept(listener.get(), nullptr, nullptr));
  ASSERT_TRUE(testing::SendAll(peer.get(), "abc"));
  ASSERT_TRUE(RunUntil([&] { return received == "abc"; }));
  ASSERT_FALSE(ids.empty());
  EXPECT_EQ(ids[0], VMurTcp::kReadCallbackId);
  EXPECT_TRUE(tcp_->Connected()) << "the connection survives a failing handler";
  tcp_->SetDistributor(nullptr);
  tcp_->SetOnReceiveData(nullptr);
}

TEST_F(MurTcpTest, Free2InsideAHandlerWaitsForTheHandlerToFinish) {
  struct Watched : VMurTcp {
    explicit Watched(bool* gone) : VMurTcp(nullptr), gone_(gone) {}
    ~Watched() override { *gone_ = true; }
    bool* gone_;
  };
  bool gone = false;
  delete tcp_;
  tcp_ = new Watched(&gone);
  const int port = StartLoopbackServer();
  bool alive_after_free2 = false;
  tcp_->SetOnAdvancedReceiveData(
      [&](VMurCommunicationComponent* sender, ChannelKey, std::string_view) {
        sender->Free2();
        alive_after_free2 = !gone;
      });
  Fd peer = ConnectLoopback(port);
  ASSERT_TRUE(testing::SendAll(peer.get(), "x"));
  ASSERT_TRUE(RunUntil([&] { return gone; }));
  EXPECT_TRUE(alive_after_free2);
  tcp_ = nullptr;
  loop_.RunFor(milliseconds(30));
}

TEST_F(MurTcpTest, Free2OutsideHandlersDestroysAtOnce) {
  bool gone = false;
  struct Watched : VMurTcp {
    explicit Watched(bool* g) : VMurTcp(nullptr), gone_(g) {}
    ~Watched() override { *gone_ = true; }
    bool* gone_;
  };
  delete tcp_;
  tcp_ = new Watched(&gone);
  StartLoopbackServer();
  tcp_->Free2();
  tcp_ = nullptr;
  EXPECT_TRUE(gone);
}

TEST_F(MurTcpTest, ResetByThePeerRemovesTheConnection) {
  TcpRecorder seen(*tcp_);
  const int port = StartLoopbackServer();
  Fd peer = ConnectLoopback(port);
  ASSERT_TRUE(RunUntil([&] { return tcp_->ClientCount() == 1; }));
  VMurTcpClient* client = tcp_->GetClient(0);
  // Unread input makes the close a reset.
  ASSERT_TRUE(tcp_->WriteCommDataTo(client, "unread"));
  loop_.RunFor(milliseconds(20));
  const linger abort_close{1, 0};
  setsockopt(peer.get(), SOL_SOCKET, SO_LINGER, &abort_close, sizeof(abort_close));
  peer.Reset();
  ASSERT_TRUE(RunUntil([&] { return tcp_->ClientCount() == 0; }));
  EXPECT_EQ(seen.Count(vsioRemove), 1);
  EXPECT_TRUE(tcp_->ServerListening()) << "the server goes on";
  Fd next = ConnectLoopback(port);
  ASSERT_TRUE(RunUntil([&] { return tcp_->ClientCount() == 1; }));
}

TEST_F(MurTcpTest, OutgoingConnectionGetsKeepAliveAndItsReceiveBuffer) {
  Fd listener = ListenLoopback();
  tcp_->SetKeepAliveTime(5000);
  tcp_->SetKeepAliveInterval(2000);
  tcp_->SetClientHost("localhost:" + std::to_string(PortOf(listener.get())));
  ASSERT_TRUE(tcp_->StartClient());
  ASSERT_TRUE(RunUntil([&] { return tcp_->Connected(); }));
  const int fd = tcp_->MainClient()->Socket()->SocketHandle();
  int value = 0;
  socklen_t size = sizeof(value);
  ASSERT_EQ(getsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &value, &size), 0);
  EXPECT_EQ(value, 1);
  ASSERT_EQ(getsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &value, &size), 0);
  EXPECT_EQ(value, 5);
  ASSERT_EQ(getsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &value, &size), 0);
  EXPECT_EQ(value, 2);
  ASSERT_EQ(getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &value, &size), 0);
  EXPECT_EQ(value, 2 * 8192) << "the kernel reports twice what was asked";
}

}  // namespace
}  // namespace kestrova
