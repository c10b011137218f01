// The whole receive path as the main window runs it: distributor, Text framer, display
// handler, the terminal's traffic view offscreen and the traffic log, written through as the
// program writes it: gathered per turn of the Qt loop, synced in the background.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "distribution/top_distributor.h"
#include "monitor/framers.h"
#include "monitor/traffic_display.h"
#include "platform/widgets/qt_message_loop.h"
#include "shown_terminal_view.h"

namespace kestrova {
namespace {

constexpr size_t kBlockSize = 2048;
constexpr int64_t kLinesPerBlock = kBlockSize / 64;
constexpr int64_t kMillionLines = 1000000;
constexpr int64_t kEarlyLines = 10016;  // a whole number of blocks

void BM_ReceivePathTextLines(benchmark::State& state) {
  bench::ShownView shown;
  QtMessageLoop loop([](const std::exception&) {});
  SetMainLoop(&loop);
  char folder[] = "/tmp/kestrova-bench-XXXXXX";
  const std::string log_folder = mkdtemp(folder);
  VMurLogger logger(nullptr);
  logger.SetNewFileStyle(vslnfExact);
  logger.SetLogPath(log_folder + "/traffic.log");

  VMurTopDistributor top(nullptr);
  TrafficDisplay display(
      shown.output, [](ChannelKey) { return ChannelRole::kPort1; }, 0);
  display.SetLogger(&logger);
  display.Options().log_port1 = true;
  top.OnAdvancedComDecode() = [](VMurGeneralDistributor*, ChannelKey,
                                 VMurDistributor_ChannelRecord* rec, uint32_t) {
    Frame(Protocol::kText, kDefaultFrameDelimiter, *rec);
  };
  top.OnAdvancedRecvTransfer() = [&display](VMurGeneralDistributor* sender, ChannelKey channel,
                                            uint32_t& the_time, std::string_view data,
                                            VMurGeneralDistributor* lowest, bool) {
    display.ShowReceived(*sender, channel, the_time, data, lowest != nullptr);
  };

  const std::string line = std::string(62, 'r') + "\r\n";
  std::string block;
  while (block.size() + line.size() <= kBlockSize) block += line;
  const size_t lines_per_block = block.size() / line.size();
  Object port1;
  int64_t blocks = 0;
  long early_kib = 0;
  for (auto _ : state) {
    top.ComReceive(nullptr, &port1, block);
    QApplication::processEvents();  // the loop turns between receive events
    if (++blocks * static_cast<int64_t>(lines_per_block) == kEarlyLines) {
      early_kib = bench::ResidentKib();
    }
  }
  // The view keeps its line limit: memory after a million lines is what it was early on.
  const long late_kib = bench::ResidentKib();
  state.counters["rss_10k_lines_KiB"] = static_cast<double>(early_kib);
  state.counters["rss_end_KiB"] = static_cast<double>(late_kib);
  state.counters["rss_growth"] = static_cast<double>(late_kib) / static_cast<double>(early_kib);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * lines_per_block));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * block.size()));
  top.DeleteChannel(&port1);
  logger.Close();
  SetMainLoop(nullptr);
  std::filesystem::remove_all(log_folder);
}
// A million lines, in the blocks a serial reader posts.
BENCHMARK(BM_ReceivePathTextLines)
    ->Iterations(kMillionLines / kLinesPerBlock)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kestrova
