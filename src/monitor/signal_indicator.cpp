#include "monitor/signal_indicator.h"

namespace kestrova {

TColor SignalOutlineColor(int flags) {
  static constexpr TColor kOutlines[] = {clBlack, 0x00FF80, clBlue, clWhite};
  return kOutlines[flags & (kReportToTerminal | kReportToLog)];
}

TColor SignalFillColor(bool active) { return active ? clLime : clRed; }

std::string SignalHint(std::string_view name, bool active) {
  return std::string(name) + (active ? " = Active" : " = Low");
}

std::string SignalReport(std::string_view name, bool active) {
  return std::string(name) + (active ? " <- Active" : " <- Low");
}

int ToggledSignalFlags(int flags) {
  constexpr int kBoth = kReportToTerminal | kReportToLog;
  return flags == kBoth ? 0 : kBoth;
}

}  // namespace kestrova
