// Diagnostic notices: texts about misuse that must not disturb the user or the data. A notice
// is raised as an Exception and caught at once, so a debugger stops on it ("catch throw");
// tests may observe notices.
#pragma once

#include <functional>
#include <string_view>

namespace kestrova {

void RaiseNotice(std::string_view text);

// Sees every notice; an empty observer removes it. For tests and the debug switch.
void SetNoticeObserver(std::function<void(std::string_view)> observer);

}  // namespace kestrova
