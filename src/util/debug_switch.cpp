#include "util/debug_switch.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "util/bool_text.h"

namespace kestrova {
namespace {

std::atomic<bool>& Switch() {
  static std::atomic<bool> on{[] {
    const char* value = std::getenv("KESTROVA_DEBUG");
    return value != nullptr && TextToBoolean(value, false);
  }()};
  return on;
}

}  // namespace

bool DebugSwitch() { return Switch().load(std::memory_order_relaxed); }

void SetDebugSwitch(bool on) { Switch().store(on, std::memory_order_relaxed); }

void DebugNote(std::string_view note) {
  if (!DebugSwitch()) return;
  // One write per note, so that notes from several threads do not interleave within a line.
  std::string line = "kestrova: ";
  line.append(note);
  line.push_back('\n');
  std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace kestrova
