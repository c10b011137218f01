// The logger writing traffic lines, with and without write-through, and the in-memory view.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "terminal/line_store_view.h"
#include "terminal/logger.h"
#include "terminal/terminal_output.h"

namespace kestrova {
namespace {

// 64 printable bytes, as a text-mode line of traffic.
std::string TrafficLine() {
  std::string line;
  for (int i = 0; i < 64; ++i) line += static_cast<char>('0' + i % 64);
  return line;
}

void BM_LoggerLines(benchmark::State& state) {
  const bool write_through = state.range(0) != 0;
  std::string folder = (std::filesystem::temp_directory_path() / "kestrova-bench-XXXXXX").string();
  if (mkdtemp(folder.data()) == nullptr) {
    state.SkipWithError("cannot make a scratch folder");
    return;
  }
  {
    VMurLogger logger(nullptr);
    logger.SetNewFileStyle(vslnfExact);
    logger.SetNewFileOpenFlags(write_through ? kFileFlagWriteThrough : 0);
    logger.SetLogPath(folder + "/traffic.log");
    const std::string line = TrafficLine();
    for (auto _ : state) {
      logger.logData(VMurTerminal_ltInLine, line, false);
      logger.logData(VMurTerminal_lt_NoType, {}, false);
    }
    if (!logger.IsOpen()) state.SkipWithError("the log file did not open");
  }
  std::filesystem::remove_all(folder);
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(write_through ? "write-through (O_DSYNC)" : "buffered by the system");
}
// Wall time: with write-through the cost is waiting for the disk, not the processor.
BENCHMARK(BM_LoggerLines)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_LineStoreViewLines(benchmark::State& state) {
  LineStoreView view;
  TerminalOutput output(&view);
  output.SetMaxLines(2100);
  output.SetMaxChars(6553500);
  output.SetShowOptions(vstsoShowLineCounts | vstsoShowTimes);
  const std::string line = TrafficLine();
  for (auto _ : state) {
    output.AddText(line, VMurTerminal_ltInLine);
    output.EndLine();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LineStoreViewLines)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kestrova
