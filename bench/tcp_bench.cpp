// Loopback throughput through the TCP component: bytes a peer sends arriving on an accepted
// channel, and bytes written to a channel arriving at the peer, on the poll loop.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "net/mur_tcp.h"
#include "platform/poll_message_loop.h"
#include "platform/tick.h"

namespace kestrova {
namespace {

constexpr size_t kBlock = 4 << 20;

// A component listening on 127.0.0.1 with one plain peer connected to it.
struct LoopbackPair {
  LoopbackPair() {
    SetMainLoop(&loop);
    tcp = new VMurTcp(nullptr, &loop);
    tcp->SetServerLocalAddress("127.0.0.1");
    tcp->SetServerPort(0);
    if (!tcp->StartServer()) return;
    poll = loop.StartTimer(std::chrono::milliseconds(20), [this] { tcp->Poll(TickCount()); });
    peer = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(tcp->ServerPort()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(peer, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) return;
    ok = loop.RunUntil([this] { return tcp->ClientCount() == 1; }, std::chrono::seconds(10));
  }
  ~LoopbackPair() {
    poll.reset();
    if (peer >= 0) close(peer);
    delete tcp;
    SetMainLoop(nullptr);
  }

  PollMessageLoop loop;
  VMurTcp* tcp = nullptr;
  LoopHandle poll;
  int peer = -1;
  bool ok = false;
};

void BM_TcpReceiveThroughput(benchmark::State& state) {
  LoopbackPair pair;
  if (!pair.ok) {
    state.SkipWithError("no loopback connection");
    return;
  }
  size_t received = 0;
  pair.tcp->SetOnAdvancedReceiveData([&](VMurCommunicationComponent*, ChannelKey,
                                         std::string_view data) { received += data.size(); });
  const std::string block(kBlock, 'r');
  for (auto _ : state) {
    received = 0;
    std::thread sender([&] {
      size_t done = 0;
      while (done < block.size()) {
        const ssize_t n = send(pair.peer, block.data() + done, block.size() - done, 0);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
      }
    });
    pair.loop.RunUntil([&] { return received >= kBlock; }, std::chrono::seconds(30));
    sender.join();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlock));
  pair.tcp->SetOnAdvancedReceiveData(nullptr);
}
BENCHMARK(BM_TcpReceiveThroughput)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TcpSendThroughput(benchmark::State& state) {
  LoopbackPair pair;
  if (!pair.ok) {
    state.SkipWithError("no loopback connection");
    return;
  }
  VMurTcpClient* client = pair.tcp->GetClient(0);
  const std::string block(kBlock, 's');
  const size_t piece = static_cast<size_t>(state.range(0));
  for (auto _ : state) {
    size_t got = 0;
    std::thread reader([&] {
      char buffer[65536];
      while (got < kBlock) {
        const ssize_t n = recv(pair.peer, buffer, sizeof(buffer), 0);
        if (n <= 0) break;
        got += static_cast<size_t>(n);
      }
    });
    for (size_t at = 0; at < kBlock; at += piece) {
      pair.tcp->WriteCommDataTo(client, std::string_view(block).substr(at, piece));
    }
    pair.loop.RunUntil([&] { return client->PendingOut().empty(); }, std::chrono::seconds(30));
    reader.join();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlock));
}
BENCHMARK(BM_TcpSendThroughput)
    ->Arg(64)
    ->Arg(4096)
    ->Arg(kBlock)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace kestrova
