// The protocol framers inside the distribution chain: typical traffic of each protocol, and
// streams without any packet end (whose cost must stay linear in their length).
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "distribution/top_distributor.h"
#include "monitor/framers.h"

namespace kestrova {
namespace {

constexpr size_t kBlockSize = 2048;

// About `size` bytes of what the protocol usually carries.
std::string TypicalTraffic(Protocol protocol, size_t size) {
  std::mt19937 random(1);
  std::string packet;
  switch (protocol) {
    case Protocol::kHex:
      for (int i = 0; i < 31; ++i) packet += static_cast<char>(random() % 0x7E);
      packet += '\x7E';
      break;
    case Protocol::kBase64:
      packet = "\x80" + std::string(63, 'Q');
      break;
    case Protocol::kText:
      packet = std::string(62, 't') + "\r\n";
      break;
    case Protocol::kTextRN:
      packet = std::string(63, 't') + "\n";
      break;
    case Protocol::kFatek:
      packet =
          "\x02"
          "0140000000000000000000000000"
          "00\x03";
      break;
    case Protocol::kA4A3:
      packet = "\xA4" + std::string(30, 'a') + "\xA3";
      break;
  }
  std::string traffic;
  traffic.reserve(size + packet.size());
  while (traffic.size() < size) traffic += packet;
  return traffic;
}

void FeedFramed(benchmark::State& state, Protocol protocol, const std::string& stream) {
  VMurTopDistributor top(nullptr);
  size_t packets = 0;
  top.OnAdvancedComDecode() = [protocol](VMurGeneralDistributor*, ChannelKey,
                                         VMurDistributor_ChannelRecord* rec, uint32_t) {
    Frame(protocol, kDefaultFrameDelimiter, *rec);
  };
  top.OnAdvancedRecvPoll() = [&packets](VMurGeneralDistributor*, ChannelKey, uint32_t&,
                                        std::string_view, bool&) { ++packets; };
  for (auto _ : state) {
    for (size_t at = 0; at < stream.size(); at += kBlockSize) {
      top.ComReceive(nullptr, nullptr, std::string_view(stream).substr(at, kBlockSize));
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
  state.counters["packets"] = static_cast<double>(packets) / state.iterations();
  top.DeleteChannel(nullptr);
}

void BM_FramerTypical64MB(benchmark::State& state) {
  const auto protocol = static_cast<Protocol>(state.range(0));
  FeedFramed(state, protocol, TypicalTraffic(protocol, 64 << 20));
}
BENCHMARK(BM_FramerTypical64MB)->DenseRange(0, 5)->Unit(benchmark::kMillisecond)->Iterations(2);

// Plain letters: no protocol finds a packet end in them (Fatek and A4A3 cut them into their
// longest failed packets).
void BM_FramerNoDelimiter(benchmark::State& state) {
  const auto protocol = static_cast<Protocol>(state.range(0));
  FeedFramed(state, protocol, std::string(static_cast<size_t>(state.range(1)) << 20, 'x'));
}
BENCHMARK(BM_FramerNoDelimiter)
    ->ArgsProduct({benchmark::CreateDenseRange(0, 5, 1), {1, 10}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrova
