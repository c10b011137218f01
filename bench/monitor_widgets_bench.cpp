// The whole receive path as the main window runs it: distributor, Text framer, display
// handler, the terminal's traffic view offscreen and the traffic log.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "distribution/top_distributor.h"
#include "monitor/framers.h"
#include "monitor/traffic_display.h"
#include "shown_terminal_view.h"

namespace kestrova {
namespace {

constexpr size_t kBlockSize = 2048;

void BM_ReceivePathTextLines(benchmark::State& state) {
  bench::ShownView shown;
  char folder[] = "/tmp/kestrova-bench-XXXXXX";
  const std::string log_folder = mkdtemp(folder);
  VMurLogger logger(nullptr);
  logger.SetNewFileStyle(vslnfExact);
  logger.SetNewFileOpenFlags(0);
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
  for (auto _ : state) {
    top.ComReceive(nullptr, &port1, block);
    QApplication::processEvents();  // the loop turns between receive events
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * lines_per_block));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * block.size()));
  top.DeleteChannel(&port1);
  logger.Close();
  std::filesystem::remove_all(log_folder);
}
BENCHMARK(BM_ReceivePathTextLines)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kestrova
