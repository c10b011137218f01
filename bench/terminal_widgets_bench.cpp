// The terminal's traffic view under a stream of traffic lines: speed, and that its memory
// stays flat once the line limit is reached.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QWidget>
#include <string>

#include "shown_terminal_view.h"
#include "terminal/terminal_output.h"
#include "terminal/widgets/traffic_view.h"

namespace kestrova {
namespace {

using bench::ShownView;

std::string TrafficLine() {
  std::string line;
  for (int i = 0; i < 64; ++i) line += static_cast<char>('0' + i % 64);
  return line;
}

// Lines arrive in receive events of range(0) lines each; the event loop turns between them,
// which is when the widget lays out and paints.
void BM_TrafficViewLines(benchmark::State& state) {
  const int64_t lines_per_turn = state.range(0);
  ShownView shown;
  const std::string line = TrafficLine();
  int64_t lines = 0;
  for (auto _ : state) {
    shown.output.AddText(line, VMurTerminal_ltInLine);
    shown.output.EndLine();
    if (++lines % lines_per_turn == 0) QApplication::processEvents();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TrafficViewLines)
    ->ArgName("lines_per_turn")
    ->Arg(1)
    ->Arg(10)
    ->Unit(benchmark::kMicrosecond);

// The same while someone reads the view: it has the focus and shows older lines, which each
// insertion must leave in place, also when the oldest lines are deleted.
void BM_TrafficViewLinesWhileReading(benchmark::State& state) {
  ShownView shown;
  const std::string line = TrafficLine();
  for (int i = 0; i < 1000; ++i) shown.output.AddLine(line, VMurTerminal_ltInLine);
  shown.view->setFocus();
  shown.view->ScrollLines(-500);
  int64_t lines = 0;
  for (auto _ : state) {
    shown.output.AddText(line, VMurTerminal_ltInLine);
    shown.output.EndLine();
    if (++lines % 10 == 0) QApplication::processEvents();
  }
  if (!shown.view->hasFocus()) state.SkipWithError("the view lost the focus");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TrafficViewLinesWhileReading)->Unit(benchmark::kMicrosecond);

// One run of a million lines; the counters are the measurement.
void BM_TrafficViewMemory(benchmark::State& state) {
  constexpr int kEarlyLines = 10000;
  constexpr int kAllLines = 1000000;
  ShownView shown;
  const std::string line = TrafficLine();
  long early = 0;
  for (auto _ : state) {
    for (int i = 1; i <= kAllLines; ++i) {
      shown.output.AddText(line, VMurTerminal_ltInLine);
      shown.output.EndLine();
      if (i % 1000 == 0) QApplication::processEvents();
      if (i == kEarlyLines) early = bench::ResidentKib();
    }
  }
  const long late = bench::ResidentKib();
  state.counters["rss_10k_lines_KiB"] = static_cast<double>(early);
  state.counters["rss_1M_lines_KiB"] = static_cast<double>(late);
  state.counters["rss_growth"] = static_cast<double>(late) / static_cast<double>(early);
  state.counters["view_lines"] = shown.view->LineCount();
  state.SetItemsProcessed(state.iterations() * kAllLines);
}
BENCHMARK(BM_TrafficViewMemory)->Iterations(1)->Unit(benchmark::kSecond);

// One screenful drawn from a full store, as every frame of a busy port draws it.
void BM_TrafficViewPaint(benchmark::State& state) {
  ShownView shown;
  const std::string line = TrafficLine();
  for (int i = 0; i < 2100; ++i) shown.output.AddLine(line + "\r\n", VMurTerminal_ltInText);
  QApplication::processEvents();
  for (auto _ : state) shown.view->viewport()->repaint();
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TrafficViewPaint)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kestrova
