// The socket components on real loopback sockets, driven by the poll loop.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "net/socket_components.h"
#include "tcp_test_support.h"
#include "util/unhandled_exception.h"

namespace kestrova {
namespace {

using std::chrono::milliseconds;
using testing::ConnectLoopback;
using testing::Fd;
using testing::ListenLoopback;
using testing::PortOf;

constexpr milliseconds kLimit{10000};

struct ErrorSeen {
  TErrorEvent event;
  int code;
};

// Records what a client socket component raises.
struct ClientRecorder {
  explicit ClientRecorder(TClientSocket& socket) {
    socket.OnLookup = [this](Object*, TCustomWinSocket*) { events.push_back(sekLookup); };
    socket.OnConnecting = [this](Object*, TCustomWinSocket*) { events.push_back(sekConnecting); };
    socket.OnConnect = [this](Object*, TCustomWinSocket*) { events.push_back(sekConnect); };
    socket.OnDisconnect = [this](Object*, TCustomWinSocket*) { events.push_back(sekDisconnect); };
    socket.OnWrite = [this](Object*, TCustomWinSocket*) { ++writes; };
    socket.OnRead = [this](Object*, TCustomWinSocket* s) {
      char buffer[4096];
      const int got = s->ReceiveBuf(buffer, sizeof(buffer));
      if (got > 0) received.append(buffer, static_cast<size_t>(got));
    };
    socket.OnError = [this](Object*, TCustomWinSocket*, TErrorEvent event, int& code) {
      errors.push_back({event, code});
      if (absorb) code = 0;
    };
  }
  std::vector<TSocketEvent> events;
  std::vector<ErrorSeen> errors;
  std::string received;
  int writes = 0;
  bool absorb = true;
};

class SocketLayerTest : public ::testing::Test {
 protected:
  testing::NetLoopScope scope_;
  PollMessageLoop& loop_ = scope_.loop;
};

TEST_F(SocketLayerTest, ClientConnectsExchangesAndSeesThePeerClose) {
  for (const char* host : {"127.0.0.1", "localhost"}) {
    SCOPED_TRACE(host);
    Fd listener = ListenLoopback();
    TClientSocket client(nullptr);
    ClientRecorder seen(client);
    client.SetHost(host);
    client.SetPort(PortOf(listener.get()));
    client.SetActive(true);
    EXPECT_FALSE(client.Active()) << "the connect is still pending";
    ASSERT_TRUE(loop_.RunUntil([&] { return client.Active(); }, kLimit));
    EXPECT_EQ(seen.events, (std::vector<TSocketEvent>{sekLookup, sekConnecting, sekConnect}));
    Fd peer(accept(listener.get(), nullptr, nullptr));
    ASSERT_TRUE(loop_.RunUntil([&] { return seen.writes > 0; }, kLimit));

    const std::string hello = "hello\0there";
    EXPECT_EQ(client.Socket()->SendBuf(hello.data(), static_cast<int>(hello.size())),
              static_cast<int>(hello.size()));
    std::string got(hello.size(), '\0');
    EXPECT_EQ(recv(peer.get(), got.data(), got.size(), MSG_WAITALL),
              static_cast<ssize_t>(hello.size()));
    EXPECT_EQ(got, hello);
    EXPECT_EQ(client.Socket()->RemoteAddress(), "127.0.0.1");
    EXPECT_EQ(client.Socket()->RemotePort(), PortOf(listener.get()));

    ASSERT_TRUE(testing::SendAll(peer.get(), "answer"));
    peer.Reset();
    ASSERT_TRUE(loop_.RunUntil([&] { return !client.Active(); }, kLimit));
    EXPECT_EQ(seen.received, "answer") << "input is read before the close is reported";
    EXPECT_EQ(seen.events.back(), sekDisconnect);
    EXPECT_EQ(client.Socket()->SocketHandle(), TCustomWinSocket::kInvalidHandle);
    EXPECT_TRUE(seen.errors.empty());
  }
}

TEST_F(SocketLayerTest, RefusedConnectIsAnErrorAndNoConnect) {
  const int port = testing::FreePort();
  TClientSocket client(nullptr);
  ClientRecorder seen(client);
  client.SetAddress("127.0.0.1");
  client.SetPort(port);
  client.SetActive(true);
  ASSERT_TRUE(loop_.RunUntil([&] { return !seen.errors.empty(); }, kLimit));
  loop_.RunFor(milliseconds(50));
  ASSERT_EQ(seen.errors.size(), 1u);
  EXPECT_EQ(seen.errors[0].event, eeConnect);
  EXPECT_EQ(seen.errors[0].code, ECONNREFUSED);
  EXPECT_FALSE(client.Active());
  EXPECT_FALSE(client.Socket()->Connected());
  EXPECT_NE(client.Socket()->SocketHandle(), TCustomWinSocket::kInvalidHandle)
      << "a refused connect leaves the socket to its owner";
  EXPECT_EQ(std::count(seen.events.begin(), seen.events.end(), sekConnect), 0);
}

TEST_F(SocketLayerTest, ErrorLeftUnhandledReachesTheApplicationHandler) {
  std::vector<std::string> unhandled;
  SetUnhandledExceptionHandler([&](const std::exception& e) { unhandled.push_back(e.what()); });
  TClientSocket client(nullptr);
  ClientRecorder seen(client);
  seen.absorb = false;
  client.SetAddress("127.0.0.1");
  client.SetPort(testing::FreePort());
  client.SetActive(true);
  const bool reported = loop_.RunUntil([&] { return !unhandled.empty(); }, kLimit);
  SetUnhandledExceptionHandler(nullptr);
  ASSERT_TRUE(reported);
  EXPECT_EQ(unhandled[0], "Asynchronous socket error " + std::to_string(ECONNREFUSED));
}

TEST_F(SocketLayerTest, LookupFailuresGoToTheErrorEvent) {
  TClientSocket client(nullptr);
  ClientRecorder seen(client);
  client.SetPort(1);
  // Neither host nor address.
  client.SetActive(true);
  ASSERT_EQ(seen.errors.size(), 1u);
  EXPECT_EQ(seen.errors[0].event, eeLookup);
  EXPECT_NE(seen.errors[0].code, 0);
  seen.absorb = false;
  EXPECT_THROW(
      {
        try {
          client.SetActive(true);
        } catch (const ESocketError& e) {
          EXPECT_STREQ(e.what(), "No address specified");
          throw;
        }
      },
      ESocketError);
  seen.absorb = true;
  seen.errors.clear();
  client.SetHost("no-such-host.invalid");
  client.SetActive(true);
  ASSERT_TRUE(loop_.RunUntil([&] { return !seen.errors.empty(); }, kLimit));
  EXPECT_EQ(seen.errors[0].event, eeLookup);
  EXPECT_FALSE(SocketErrorText(seen.errors[0].code).empty());
  EXPECT_EQ(client.Socket()->SocketHandle(), TCustomWinSocket::kInvalidHandle);
}

TEST_F(SocketLayerTest, SettingsAreLockedWhileActive) {
  Fd listener = ListenLoopback();
  const int port = PortOf(listener.get());
  TClientSocket client(nullptr);
  EXPECT_EQ(client.Socket()->ReceiveLength(), 0);
  EXPECT_EQ(client.Socket()->SendBuf("x", 1), 0);
  client.SetAddress("127.0.0.1");
  client.SetPort(port);
  client.SetActive(true);
  ASSERT_TRUE(loop_.RunUntil([&] { return client.Active(); }, kLimit));
  EXPECT_NO_THROW(client.SetPort(port));
  EXPECT_NO_THROW(client.SetAddress("127.0.0.1"));
  EXPECT_THROW(client.SetPort(port + 1), ESocketError);
  EXPECT_THROW(client.SetHost("localhost"), ESocketError);
  EXPECT_THROW(client.SetService("echo"), ESocketError);
  client.SetActive(false);
  EXPECT_FALSE(client.Active());
  EXPECT_NO_THROW(client.SetPort(port + 1));
  client.SetPort(70000);
  EXPECT_THROW(client.SetActive(true), ESocketError);
}

TEST_F(SocketLayerTest, ServerAcceptsAndForgetsConnections) {
  TServerSocket server(nullptr);
  std::vector<TCustomWinSocket*> connected;
  int disconnects = 0;
  std::string received;
  server.Socket()->OnClientConnect = [&](Object* sender, TCustomWinSocket* s) {
    EXPECT_EQ(sender, server.Socket());
    connected.push_back(s);
  };
  server.Socket()->OnClientDisconnect = [&](Object*, TCustomWinSocket*) { ++disconnects; };
  server.Socket()->OnClientRead = [&](Object*, TCustomWinSocket* s) {
    char buffer[256];
    const int got = s->ReceiveBuf(buffer, sizeof(buffer));
    if (got > 0) received.append(buffer, static_cast<size_t>(got));
  };
  int listens = 0;
  server.OnListen = [&](Object*, TCustomWinSocket*) { ++listens; };
  server.SetAddress("127.0.0.1");
  server.SetPort(0);
  server.SetActive(true);
  ASSERT_TRUE(server.Active());
  EXPECT_EQ(listens, 1);
  const int port = server.Socket()->LocalPort();
  ASSERT_GT(port, 0);

  Fd first = ConnectLoopback(port);
  Fd second = ConnectLoopback(port);
  ASSERT_TRUE(loop_.RunUntil([&] { return connected.size() == 2; }, kLimit));
  EXPECT_EQ(server.Socket()->ActiveConnections(), 2);
  EXPECT_EQ(connected[0]->RemotePort(), PortOf(first.get()));
  ASSERT_TRUE(testing::SendAll(second.get(), "from second"));
  ASSERT_TRUE(loop_.RunUntil([&] { return received == "from second"; }, kLimit));

  first.Reset();
  ASSERT_TRUE(loop_.RunUntil([&] { return server.Socket()->ActiveConnections() == 1; }, kLimit));
  EXPECT_EQ(disconnects, 1);
  loop_.RunFor(milliseconds(30));
  EXPECT_EQ(disconnects, 1);

  server.SetActive(false);
  EXPECT_FALSE(server.Active());
  EXPECT_EQ(server.Socket()->ActiveConnections(), 0) << "deactivation drops the connections";
  EXPECT_EQ(disconnects, 1) << "a connection destroyed with its server raises nothing";
  EXPECT_FALSE(ConnectLoopback(port).valid());
}

int hook_code = 0;
void RecordHook(int code) { hook_code = code; }

TEST_F(SocketLayerTest, ErrorHookTakesFailedCallsInsteadOfExceptions) {
  // Whatever an earlier component installed on this thread is put back at the end.
  const SocketErrorProc installed = SetSocketErrorProc(nullptr);
  Fd taken = ListenLoopback();
  const int port = PortOf(taken.get());
  {
    TServerSocket server(nullptr);
    server.SetAddress("127.0.0.1");
    server.SetPort(port);
    try {
      server.SetActive(true);
      ADD_FAILURE() << "no exception without a hook";
    } catch (const ESocketError& e) {
      EXPECT_NE(std::string(e.what()).find("on API 'bind'"), std::string::npos) << e.what();
      EXPECT_EQ(std::string(e.what()).rfind("Windows socket error: ", 0), 0u) << e.what();
    }
    EXPECT_FALSE(server.Active());
  }
  hook_code = 0;
  EXPECT_EQ(SetSocketErrorProc(RecordHook), nullptr);
  {
    TServerSocket server(nullptr);
    server.SetAddress("127.0.0.1");
    server.SetPort(port);
    EXPECT_NO_THROW(server.SetActive(true));
    EXPECT_EQ(hook_code, EADDRINUSE);
    EXPECT_FALSE(server.Active());
    EXPECT_FALSE(server.Socket()->Connected()) << "a socket that could not bind does not listen";
  }
  EXPECT_EQ(SetSocketErrorProc(installed), RecordHook);
}

TEST_F(SocketLayerTest, WriteNoticeComesBackAfterTheSendBufferFilled) {
  Fd listener = ListenLoopback();
  TClientSocket client(nullptr);
  ClientRecorder seen(client);
  client.SetAddress("127.0.0.1");
  client.SetPort(PortOf(listener.get()));
  client.SetActive(true);
  ASSERT_TRUE(loop_.RunUntil([&] { return client.Active() && seen.writes == 1; }, kLimit));
  Fd peer(accept(listener.get(), nullptr, nullptr));
  const std::string chunk(65536, 'x');
  size_t sent = 0;
  for (int i = 0; i < 1000; ++i) {
    const int n = client.Socket()->SendBuf(chunk.data(), static_cast<int>(chunk.size()));
    if (n < 0) break;
    sent += static_cast<size_t>(n);
  }
  ASSERT_LT(sent, 1000 * chunk.size()) << "the peer never reads, so sending must block";
  loop_.RunFor(milliseconds(20));
  EXPECT_EQ(seen.writes, 1) << "no write notice while the buffer is full";
  testing::SetNonBlocking(peer.get());
  std::string drained;
  ASSERT_TRUE(loop_.RunUntil(
      [&] {
        testing::ReadAvailable(peer.get(), drained);
        return seen.writes == 2;
      },
      kLimit));
}

}  // namespace
}  // namespace kestrova
