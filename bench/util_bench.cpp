// Shared utilities on the hot paths: the colour filter's matcher on received packets, the hex
// conversions of the terminal's hex line and log, and the configuration-string token reader.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "util/hex.h"
#include "util/pattern_match.h"
#include "util/tokens.h"

namespace kestrova {
namespace {

std::string Packet(size_t size) {
  std::string packet(size, 'x');
  for (size_t i = 0; i < size; ++i) packet[i] = static_cast<char>('a' + i % 23);
  return packet;
}

void BM_MatchFilterRule(benchmark::State& state) {
  const std::string packet = Packet(static_cast<size_t>(state.range(0)));
  std::vector<int64_t> captures;
  for (auto _ : state) {
    size_t position = 0;
    benchmark::DoNotOptimize(Match(position, packet, "*?recv:", captures));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_MatchFilterRule)->Arg(64)->Arg(4096)->Arg(65536);

void BM_MatchAnchoredRule(benchmark::State& state) {
  const std::string packet = " ** data follows" + Packet(48);
  std::vector<int64_t> captures;
  for (auto _ : state) {
    size_t position = 0;
    benchmark::DoNotOptimize(Match(position, packet, R"( \*\* d)", captures));
  }
}
BENCHMARK(BM_MatchAnchoredRule);

void BM_MatchNestedStars(benchmark::State& state) {
  const std::string subject(static_cast<size_t>(state.range(0)), 'a');
  std::vector<int64_t> captures;
  for (auto _ : state) {
    size_t position = 0;
    benchmark::DoNotOptimize(Match(position, subject, "*?*?*?b", captures));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_MatchNestedStars)->Arg(4096)->Arg(65536);

void BM_BytesToHex(benchmark::State& state) {
  const std::string packet = Packet(4096);
  for (auto _ : state) benchmark::DoNotOptimize(BytesToHex(packet));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 4096);
}
BENCHMARK(BM_BytesToHex);

void BM_HexToBytes(benchmark::State& state) {
  const std::string hex = BytesToHex(Packet(4096));
  for (auto _ : state) benchmark::DoNotOptimize(HexToBytes(hex));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 4096);
}
BENCHMARK(BM_HexToBytes);

void BM_NextTokenSerialConfig(benchmark::State& state) {
  const std::string config = R"("COM1","19200","8","1","None","1/1 1/1","10 0 0 0 0")";
  std::string token;
  for (auto _ : state) {
    size_t position = 0;
    while (NextToken(config, position, kTokenSeparators, token)) benchmark::DoNotOptimize(token);
  }
}
BENCHMARK(BM_NextTokenSerialConfig);

}  // namespace
}  // namespace kestrova
