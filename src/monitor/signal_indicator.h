// One modem status line indicator of the main window (CTS, DSR, Ring or DCD of a port): what
// a change of the line shows and reports, and the reporting flags the user picks.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "util/color.h"

namespace kestrova {

enum SignalReportFlag : int {
  kReportToTerminal = 1 << 0,
  kReportToLog = 1 << 1,
};

// The eight indicators in the order "LogCom1CTS" ... "LogCom2DCD" store their flags.
inline constexpr int kSignalIndicatorCount = 8;
inline constexpr std::array<std::string_view, kSignalIndicatorCount> kSignalNames = {
    "CTS1", "DSR1", "Ring1", "DCD1", "CTS2", "DSR2", "Ring2", "DCD2"};

struct SignalIndicator {
  std::string_view name;  // one of kSignalNames
  int flags = 0;          // SignalReportFlag bits
};

// The outline shows the flags: none black, terminal green, log blue, both white.
TColor SignalOutlineColor(int flags);
// The fill shows the level: lime when active, red when low.
TColor SignalFillColor(bool active);
// "CTS1 = Active" / "CTS1 = Low".
std::string SignalHint(std::string_view name, bool active);
// "CTS1 <- Active" / "CTS1 <- Low": the line a change reports.
std::string SignalReport(std::string_view name, bool active);
// A left click: anything but both reports becomes both; both become none.
int ToggledSignalFlags(int flags);

}  // namespace kestrova
