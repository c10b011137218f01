// The serial port component on a pseudo-terminal, on the message loop: how fast the peer's
// bytes reach OnReceiveData, how soon one byte does, and what an open, silent port costs.
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/poll_message_loop.h"
#include "serial/vss_comm32.h"

namespace kestrova {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A raw pty with a component open on its slave; the benchmark is the peer on the master.
struct CommOnPty {
  CommOnPty() {
    SetMainLoop(&loop);
    char name[128] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&master, &slave, name, &raw, nullptr) != 0) return;
    comm = std::make_unique<TVSSComm32>(nullptr);
    comm->SetOnReceiveData(
        [this](VMurCommunicationComponent*, std::string_view data) { received += data.size(); });
    comm->SetCommPort(name);
  }
  ~CommOnPty() {
    comm.reset();
    close(master);
    close(slave);
    SetMainLoop(nullptr);
  }
  bool ok() const { return comm != nullptr && comm->Connected(); }

  void PeerWrite(const char* data, size_t size) const {
    size_t done = 0;
    while (done < size) {
      const ssize_t n = write(master, data + done, size - done);
      if (n > 0) done += static_cast<size_t>(n);
    }
  }

  PollMessageLoop loop;
  int master = -1;
  int slave = -1;
  std::unique_ptr<TVSSComm32> comm;
  size_t received = 0;
};

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// Bytes per second from the peer's writes to the component's OnReceiveData on the loop.
void BM_CommPtyReceiveThroughput(benchmark::State& state) {
  CommOnPty pty;
  if (!pty.ok()) return state.SkipWithError("no pty");
  constexpr size_t kTotal = 16 << 20;
  const std::string chunk(64 << 10, 'x');
  for (auto _ : state) {
    pty.received = 0;
    std::thread peer([&] {
      for (size_t sent = 0; sent < kTotal; sent += chunk.size()) {
        pty.PeerWrite(chunk.data(), chunk.size());
      }
    });
    pty.loop.RunUntil([&] { return pty.received >= kTotal; }, milliseconds(60000));
    peer.join();
    if (pty.received < kTotal) return state.SkipWithError("bytes missing");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTotal));
}
BENCHMARK(BM_CommPtyReceiveThroughput)->Unit(benchmark::kMillisecond)->UseRealTime();

// Time from the peer's write of one byte to OnReceiveData. Arg: ReadInterval in ms (10 is
// the default; a read then ends 10 ms after its last byte by definition), or 0 for the
// "return on the first byte" limits (ReadInterval and ReadTotalMult 4294967295).
void BM_CommOneByteLatency(benchmark::State& state) {
  CommOnPty pty;
  if (!pty.ok()) return state.SkipWithError("no pty");
  VSSComm32Timeouts& timeouts = pty.comm->Timeouts();
  if (state.range(0) == 0) {
    timeouts.SetValue(VSSComm32Timeouts::kReadInterval, 0xFFFFFFFF);
    timeouts.SetValue(VSSComm32Timeouts::kReadTotalMult, 0xFFFFFFFF);
    timeouts.SetValue(VSSComm32Timeouts::kReadTotalConst, 1000);
  } else {
    timeouts.SetValue(VSSComm32Timeouts::kReadInterval, static_cast<uint32_t>(state.range(0)));
  }
  std::vector<double> samples;
  for (auto _ : state) {
    const size_t before = pty.received;
    const auto start = Clock::now();
    pty.PeerWrite("x", 1);
    pty.loop.RunUntil([&] { return pty.received > before; }, milliseconds(1000));
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    samples.push_back(seconds);
    state.SetIterationTime(seconds);
  }
  std::sort(samples.begin(), samples.end());
  state.counters["median_ms"] = samples[samples.size() / 2] * 1e3;
}
BENCHMARK(BM_CommOneByteLatency)
    ->Arg(10)
    ->Arg(1)
    ->Arg(0)
    ->Iterations(300)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

// CPU seconds per minute the whole process spends with one open port and no traffic: the
// reader's periodic wake-ups, the writer waiting, the loop.
void BM_CommIdleCpu(benchmark::State& state) {
  CommOnPty pty;
  if (!pty.ok()) return state.SkipWithError("no pty");
  constexpr milliseconds kSpan{15000};
  for (auto _ : state) {
    const double before = ProcessCpuSeconds();
    pty.loop.RunFor(kSpan);
    const double used = ProcessCpuSeconds() - before;
    state.counters["cpu_s_per_min"] = used * 60000.0 / static_cast<double>(kSpan.count());
  }
}
BENCHMARK(BM_CommIdleCpu)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrova
