// The port box's colour, set by the main window for every block a port receives: a block costs
// tens of microseconds on the whole receive path, so this call must stay small beside it.
#include <benchmark/benchmark.h>

#include <QComboBox>

#include "shown_terminal_view.h"
#include "util/widgets/combo_text.h"

namespace kestrova {
namespace {

// Range(0) 1: every block finds the box green already, as under steady traffic; 0: the colour
// alternates, as when a server's state and its peers' data take turns.
void BM_PortBoxColourPerBlock(benchmark::State& state) {
  bench::App();
  QComboBox box;
  box.setEditable(true);
  box.show();
  const bool steady = state.range(0) == 1;
  bool green = false;
  for (auto _ : state) {
    green = steady || !green;
    SetComboFontColor(&box, green ? clGreen : clBlue);
  }
  QApplication::processEvents();
}
BENCHMARK(BM_PortBoxColourPerBlock)->Arg(1)->Arg(0)->Unit(benchmark::kNanosecond);

}  // namespace
}  // namespace kestrova
