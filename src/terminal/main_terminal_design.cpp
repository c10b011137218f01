#include "terminal/main_terminal_design.h"

#include <string>

#include "util/file_stream.h"

namespace kestrova {

void SetMainTerminalDesignValues(VMurTerminal& terminal) {
  terminal.SetName(std::string(kMainTerminalName));
  terminal.SetCaption("Terminal");
  terminal.SetVisible(true);
  terminal.SetModeIndex(-1);
  terminal.SetMaxLines(2100);
  terminal.SetMaxChars(6553500);
  terminal.SetTermCloseAction(trmcaMinimize);
  terminal.SetShowHexEdit(true);
  terminal.SetShowOptions(vstsoShowTimes);
  terminal.SetLoggerOpenFlags(kFileFlagWriteThrough);
}

void MainTerminalFormCreate(VMurTerminal& terminal, TerminalWindow& form) {
  form.SetViewFont(std::string(kMainTerminalFont));
  terminal.SetShowOptions(vstsoShowLineCounts | vstsoShowTimes);
}

}  // namespace kestrova
