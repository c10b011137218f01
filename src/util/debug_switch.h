// The developer's debug switch: when on, diagnostic notes (and every RaiseNotice) are written
// to standard error. Off by default; KESTROVA_DEBUG=1 in the environment turns it on at start.
#pragma once

#include <string_view>

namespace kestrova {

bool DebugSwitch();
void SetDebugSwitch(bool on);

// Writes "kestrova: <note>" and a line break to standard error when the switch is on.
void DebugNote(std::string_view note);

}  // namespace kestrova
