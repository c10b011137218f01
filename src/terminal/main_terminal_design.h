// The main window's terminal VMurTerminal1: its design values and what the main window does
// when the terminal's form has been created.
#pragma once

#include <string_view>

#include "terminal/mur_terminal.h"

namespace kestrova {

inline constexpr std::string_view kMainTerminalName = "VMurTerminal1";
inline constexpr std::string_view kMainTerminalFont = "Lucida Console";

// Name VMurTerminal1, caption "Terminal", visible, no mode, 2100 lines of at most 6553500
// characters, closing minimises, hex line shown, times shown, the logger's default flags.
void SetMainTerminalDesignValues(VMurTerminal& terminal);

// The view in "Lucida Console" (a fixed-pitch font where the system lacks it), line headers
// with counts and times.
void MainTerminalFormCreate(VMurTerminal& terminal, TerminalWindow& form);

}  // namespace kestrova
