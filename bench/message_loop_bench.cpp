// Posting throughput of the poll-based message loop and of message windows on it.
#include <benchmark/benchmark.h>

#include <thread>

#include "platform/message_window.h"
#include "platform/poll_message_loop.h"

namespace kestrova {
namespace {

constexpr int kBatch = 10000;
constexpr auto kPatience = std::chrono::seconds(30);

void BM_MessageLoopPostSameThread(benchmark::State& state) {
  PollMessageLoop loop;
  int ran = 0;
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) loop.Post([&ran] { ++ran; });
    while (loop.RunPending()) {
    }
  }
  benchmark::DoNotOptimize(ran);
  state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_MessageLoopPostSameThread);

void BM_MessageLoopPostCrossThread(benchmark::State& state) {
  PollMessageLoop loop;
  int ran = 0;
  for (auto _ : state) {
    ran = 0;
    std::thread poster([&loop, &ran] {
      for (int i = 0; i < kBatch; ++i) loop.Post([&ran] { ++ran; });
    });
    loop.RunUntil([&ran] { return ran == kBatch; }, kPatience);
    poster.join();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_MessageLoopPostCrossThread)->UseRealTime();

void BM_MessageWindowPostCrossThread(benchmark::State& state) {
  PollMessageLoop loop;
  size_t bytes = 0;
  MessageWindow window(loop, [&bytes](Message message) {
    bytes += PayloadValue<std::string>(message.payload.get())->size();
  });
  for (auto _ : state) {
    bytes = 0;
    std::thread poster([&window] {
      for (int i = 0; i < kBatch; ++i) window.Post(1, 0, 0, MakePayload(std::string(16, 'x')));
    });
    loop.RunUntil([&bytes] { return bytes == 16u * kBatch; }, kPatience);
    poster.join();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_MessageWindowPostCrossThread)->UseRealTime();

}  // namespace
}  // namespace kestrova
