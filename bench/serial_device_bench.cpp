// The serial line layer on a pseudo-terminal: how fast bytes from the peer come out of Read,
// how soon one byte does, and what an idle Wait costs.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "platform/termios_serial_device.h"

namespace kestrova {
namespace {

using Clock = std::chrono::steady_clock;

// A pty whose slave is open as a TermiosSerialDevice; the benchmark is the peer on the master.
struct OpenPty {
  OpenPty() {
    char name[128] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&master, &slave, name, &raw, nullptr) != 0) return;
    ok = device.Open(name).ok();
  }
  ~OpenPty() {
    device.Close();
    close(master);
    close(slave);
  }
  void PeerWrite(const char* data, size_t size) const {
    size_t done = 0;
    while (done < size) {
      const ssize_t n = write(master, data + done, size - done);
      if (n > 0) done += static_cast<size_t>(n);
    }
  }

  int master = -1;
  int slave = -1;
  bool ok = false;
  TermiosSerialDevice device;
};

// Bytes per second from the peer's writes to Read, 2048-byte reads with a 10 ms interval.
void BM_PtyReadThroughput(benchmark::State& state) {
  OpenPty pty;
  if (!pty.ok) return state.SkipWithError("no pty");
  SerialTimeouts timeouts;
  timeouts.read_interval = 10;
  pty.device.SetTimeouts(timeouts);
  constexpr size_t kTotal = 8 << 20;
  const std::string chunk(64 << 10, 'x');
  std::string buffer(2048, '\0');
  for (auto _ : state) {
    std::thread peer([&] {
      for (size_t sent = 0; sent < kTotal; sent += chunk.size()) {
        pty.PeerWrite(chunk.data(), chunk.size());
      }
    });
    size_t got = 0;
    while (got < kTotal) {
      pty.device.Wait(0, -1, std::chrono::milliseconds(1000));
      got += pty.device.Read(buffer, -1).value;
    }
    peer.join();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTotal));
}
BENCHMARK(BM_PtyReadThroughput)->Unit(benchmark::kMillisecond)->UseRealTime();

// Time from the peer's write of one byte to Read returning it. With read interval 10 a read
// ends 10 ms after its last byte by definition; the "first byte" mode returns at once.
void BM_PtyOneByteLatency(benchmark::State& state) {
  OpenPty pty;
  if (!pty.ok) return state.SkipWithError("no pty");
  SerialTimeouts timeouts;
  if (state.range(0) == 0) {
    timeouts.read_interval = SerialTimeouts::kMaxTimeout;
    timeouts.read_total_multiplier = SerialTimeouts::kMaxTimeout;
    timeouts.read_total_constant = 1000;
  } else {
    timeouts.read_interval = static_cast<uint32_t>(state.range(0));
  }
  pty.device.SetTimeouts(timeouts);
  std::string buffer(2048, '\0');
  for (auto _ : state) {
    const auto start = Clock::now();
    pty.PeerWrite("x", 1);
    pty.device.Wait(0, -1, std::chrono::milliseconds(1000));
    pty.device.Read(buffer, -1);
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
  }
}
BENCHMARK(BM_PtyOneByteLatency)->Arg(0)->Arg(10)->UseManualTime()->Unit(benchmark::kMicrosecond);

// CPU seconds a reader thread spends per minute waiting on a silent line for every event.
void BM_PtyIdleWaitCpu(benchmark::State& state) {
  OpenPty pty;
  if (!pty.ok) return state.SkipWithError("no pty");
  for (auto _ : state) {
    rusage before{};
    getrusage(RUSAGE_THREAD, &before);
    pty.device.Wait(kEvAll, -1, std::chrono::milliseconds(1000));
    rusage after{};
    getrusage(RUSAGE_THREAD, &after);
    const double cpu = (after.ru_utime.tv_sec - before.ru_utime.tv_sec) +
                       (after.ru_stime.tv_sec - before.ru_stime.tv_sec) +
                       (after.ru_utime.tv_usec - before.ru_utime.tv_usec) * 1e-6 +
                       (after.ru_stime.tv_usec - before.ru_stime.tv_usec) * 1e-6;
    state.counters["cpu_s_per_min"] = cpu * 60.0;
  }
}
BENCHMARK(BM_PtyIdleWaitCpu)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrova
