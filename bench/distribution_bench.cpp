// Throughput of the distribution chain alone: a decode handler that keeps its scan position
// claims LF-terminated lines, so the figures are the chain's own cost.
#include <benchmark/benchmark.h>

#include <string>

#include "distribution/top_distributor.h"

namespace kestrova {
namespace {

constexpr size_t kBlockSize = 2048;

AdvancedComDecodeEvent LineClaimer(uint64_t& scanned_to) {
  return [&scanned_to](VMurGeneralDistributor*, ChannelKey, VMurDistributor_ChannelRecord* rec,
                       uint32_t) {
    const std::string_view bytes = rec->Buffer->View();
    const uint64_t base = rec->Buffer->StreamOffset();
    const size_t from = scanned_to > base ? static_cast<size_t>(scanned_to - base) : 0;
    const size_t end = bytes.find('\n', from);
    if (end == std::string_view::npos) {
      scanned_to = base + bytes.size();
      return;
    }
    scanned_to = base + end + 1;
    rec->PacketLength = static_cast<int32_t>(end + 1);
    rec->Failed = false;
  };
}

// Feeds `stream` in 2 KiB blocks through ComReceive, `repeat` times per iteration.
void Feed(benchmark::State& state, const std::string& stream, size_t packets_per_stream) {
  VMurTopDistributor top(nullptr);
  uint64_t scanned_to = 0;
  size_t transferred = 0;
  top.OnAdvancedComDecode() = LineClaimer(scanned_to);
  top.OnAdvancedRecvTransfer() = [&transferred](VMurGeneralDistributor*, ChannelKey, uint32_t&,
                                                std::string_view data, VMurGeneralDistributor*,
                                                bool) { transferred += data.size(); };
  for (auto _ : state) {
    for (size_t at = 0; at < stream.size(); at += kBlockSize) {
      top.ComReceive(nullptr, nullptr, std::string_view(stream).substr(at, kBlockSize));
    }
  }
  benchmark::DoNotOptimize(transferred);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * packets_per_stream));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
  top.DeleteChannel(nullptr);
}

void BM_DistributionLines64In2KiBBlocks(benchmark::State& state) {
  std::string line(63, 'x');
  line += '\n';
  std::string stream;
  const size_t lines = 16 * 1024;  // 1 MiB
  for (size_t i = 0; i < lines; ++i) stream += line;
  Feed(state, stream, lines);
}
BENCHMARK(BM_DistributionLines64In2KiBBlocks)->Unit(benchmark::kMillisecond);

// Without any delimiter the buffer is bounded, so cost stays linear in the stream length.
void BM_DistributionNoDelimiter(benchmark::State& state) {
  const std::string stream(static_cast<size_t>(state.range(0)) << 20, 'x');
  Feed(state, stream, 0);
}
BENCHMARK(BM_DistributionNoDelimiter)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrova
