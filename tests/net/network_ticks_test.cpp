// The TCP and UDP components keep the distributor's timer going exactly while their polls have
// work: a wanted link or a connection left. Otherwise an idle program would never rest, or a
// wanted link would never be served.
#include <gtest/gtest.h>

#include <functional>

#include "distribution/top_distributor.h"
#include "net/mur_tcp.h"
#include "net/mur_udp.h"
#include "tcp_test_support.h"
#include "util/timer.h"

namespace kestrova {
namespace {

TEST(NetworkTicks, TheTimerRunsWhileALinkIsWantedOrAPeerIsConnected) {
  testing::NetLoopScope scope;
  VMurTopDistributor top(nullptr);
  Timer timer(nullptr, &scope.loop);
  timer.SetInterval(20);
  top.SetTimer(&timer);
  auto* tcp = new VMurTcp(nullptr);
  auto* udp = new VMurUdp(nullptr);
  tcp->SetDistributor(&top);
  udp->SetDistributor(&top);
  tcp->SetServerLocalAddress("127.0.0.1");
  tcp->SetServerPort(0);
  udp->SetServerPort(0);
  const auto settle = [&] { scope.loop.RunFor(std::chrono::milliseconds(60)); };
  settle();
  ASSERT_TRUE(timer.Resting());

  testing::Fd peer;
  struct Case {
    const char* what;
    std::function<void()> start, stop;
  };
  const Case cases[] = {
      {"a TCP server with a peer",
       [&] {
         ASSERT_TRUE(tcp->StartServer());
         peer = testing::ConnectLoopback(tcp->ServerPort());
         ASSERT_TRUE(scope.loop.RunUntil([&] { return tcp->ClientCount() > 0; },
                                         std::chrono::milliseconds(5000)));
       },
       [&] {
         tcp->StopServer();
         peer = testing::Fd();
       }},
      {"a TCP client that cannot connect yet",
       [&] {
         tcp->SetClientHost("127.0.0.1");
         tcp->SetClientPort(testing::FreePort());
         tcp->StartClient();
       },
       [&] { tcp->StopClient(); }},
      {"a UDP server", [&] { udp->StartServer(); }, [&] { udp->StopServer(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.start();
    EXPECT_FALSE(timer.Resting());
    settle();
    EXPECT_FALSE(timer.Resting());
    c.stop();
    settle();
    EXPECT_TRUE(timer.Resting());
  }
  delete tcp;
  delete udp;
  top.SetTimer(nullptr);
}

}  // namespace
}  // namespace kestrova
