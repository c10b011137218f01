// Costs of the settings hive: reading and writing its text, and one stored setting (lock,
// read, parse, write, fsync, rename) on a real file.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/hive_file.h"
#include "platform/reg_text_reader.h"
#include "platform/reg_text_writer.h"

namespace kestrova {
namespace {

constexpr std::string_view kKey = "HKEY_CURRENT_USER\\Software\\MUR s.r.o.\\KestTerminal\\Options";

// A hive of `values` settings, as many texts as numbers, like the program's own.
RegHive SampleHive(int values) {
  RegHive hive;
  for (int i = 0; i < values; ++i) {
    std::string name = "Value" + std::to_string(i);
    if (i % 2 == 0) {
      hive.SetValue(kKey, name, RegValue::String("C:\\Data\\Pokusy_%1.rtf \"" + name + "\""));
    } else {
      hive.SetValue(kKey, name, RegValue::Dword(static_cast<uint32_t>(i)));
    }
  }
  return hive;
}

void BM_RegTextRead(benchmark::State& state) {
  const std::string text = FormatRegText(SampleHive(static_cast<int>(state.range(0))));
  for (auto _ : state) {
    RegHive hive;
    benchmark::DoNotOptimize(ReadRegText(text, hive));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_RegTextRead)->Arg(30)->Arg(1000);

void BM_RegTextWrite(benchmark::State& state) {
  const RegHive hive = SampleHive(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(FormatRegText(hive));
}
BENCHMARK(BM_RegTextWrite)->Arg(30)->Arg(1000);

// One changed setting in a hive of 30 values, in the temporary folder ($TMPDIR or /tmp).
void BM_HiveFileUpdate(benchmark::State& state) {
  std::string folder = (std::filesystem::temp_directory_path() / "kestrova-bench-XXXXXX").string();
  if (mkdtemp(folder.data()) == nullptr) {
    state.SkipWithError("mkdtemp failed");
    return;
  }
  HiveFile file(folder + "/kestrova.reg");
  file.Update([](RegHive& hive) {
    hive = SampleHive(30);
    return true;
  });
  uint32_t n = 0;
  for (auto _ : state) {
    HiveResult result = file.Update(
        [&](RegHive& hive) { return hive.SetValue(kKey, "Counter", RegValue::Dword(++n)); });
    if (!result.ok) state.SkipWithError(result.error.c_str());
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_HiveFileUpdate)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kestrova
