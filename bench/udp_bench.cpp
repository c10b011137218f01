// The UDP component on loopback: how many datagrams per second it takes in from a peer and
// delivers as events, and how many it sends to a peer.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "net/mur_udp.h"
#include "platform/poll_message_loop.h"

namespace kestrova {
namespace {

// Datagrams sent before waiting for them, well inside the socket's receive buffer.
constexpr int kBatch = 64;

struct UdpOnLoopback {
  UdpOnLoopback() {
    udp.SetOnAdvancedReceiveData(
        [this](VMurCommunicationComponent*, ChannelKey, std::string_view data) {
          ++received;
          bytes += data.size();
        });
    udp.SetServerPort(0);
    udp.StartServer();
    peer = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(peer, reinterpret_cast<sockaddr*>(&local), sizeof local);
    socklen_t length = sizeof local;
    getsockname(peer, reinterpret_cast<sockaddr*>(&local), &length);
    peer_port = ntohs(local.sin_port);
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    target.sin_port = htons(static_cast<uint16_t>(udp.LocalPort()));
  }
  ~UdpOnLoopback() { close(peer); }

  PollMessageLoop loop;
  VMurUdp udp{nullptr, &loop};
  int peer = -1;
  int peer_port = 0;
  sockaddr_in target{};
  int64_t received = 0;
  int64_t bytes = 0;
};

void BM_UdpReceive(benchmark::State& state) {
  UdpOnLoopback bed;
  const std::string datagram(static_cast<size_t>(state.range(0)), 'u');
  for (auto _ : state) {
    const int64_t goal = bed.received + kBatch;
    for (int i = 0; i < kBatch; ++i) {
      sendto(bed.peer, datagram.data(), datagram.size(), 0,
             reinterpret_cast<const sockaddr*>(&bed.target), sizeof bed.target);
    }
    if (!bed.loop.RunUntil([&] { return bed.received >= goal; }, std::chrono::seconds(5))) {
      state.SkipWithError("datagrams lost on loopback");
      break;
    }
  }
  state.SetItemsProcessed(bed.received);
  state.SetBytesProcessed(bed.bytes);
}
BENCHMARK(BM_UdpReceive)->Arg(16)->Arg(1024)->Arg(8192);

void BM_UdpSendToPeer(benchmark::State& state) {
  UdpOnLoopback bed;
  bed.udp.SetClientHost("127.0.0.1:" + std::to_string(bed.peer_port));
  bed.udp.StartClient();
  const std::string datagram(static_cast<size_t>(state.range(0)), 's');
  std::string buffer(65536, '\0');
  int64_t sent = 0;
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) bed.udp.WriteCommData(datagram);
    for (int i = 0; i < kBatch; ++i) {
      pollfd entry{bed.peer, POLLIN, 0};
      if (poll(&entry, 1, 5000) != 1) {
        state.SkipWithError("datagrams lost on loopback");
        return;
      }
      recv(bed.peer, buffer.data(), buffer.size(), 0);
    }
    sent += kBatch;
  }
  state.SetItemsProcessed(sent);
  state.SetBytesProcessed(sent * state.range(0));
}
BENCHMARK(BM_UdpSendToPeer)->Arg(16)->Arg(1024);

}  // namespace
}  // namespace kestrova
