// The decisions of form placement that need no window: the "ZOrder" list, the names a save
// leaves out, and what a stored "WindowState" means. A never-saved form is fitted into the work
// area with FitRectToArea (util/screen_fit.h).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

// "Form1|VMurTerminal1_Form": the form names from the topmost down.
std::string JoinZOrder(const std::vector<std::string>& names_top_first);
std::vector<std::string> SplitZOrder(std::string_view text);

// The order forms are placed in, topmost first: those named in the stored "ZOrder" in that
// order, then the others with a window in their current stacking order, then those without a
// window. Names compare without regard to ASCII letter case; each form appears once.
std::vector<std::string> ZOrderForRestore(const std::vector<std::string>& stored,
                                          const std::vector<std::string>& windowed_top_first,
                                          const std::vector<std::string>& without_window);

// True when `name` stands between two "|" in `except_names`, which may be given with or
// without the "|" at its ends.
bool NameExcepted(std::string_view except_names, std::string_view name);

// The platform's show commands as stored in "WindowState".
inline constexpr int kShowNormal = 1;
inline constexpr int kShowMinimized = 2;
inline constexpr int kShowMaximized = 3;
inline constexpr int kShowMinimize = 6;

enum class PlacementState { kNormal, kMinimized, kMaximized };

// 2 and 6 minimise, 3 maximises; 1 and any other value give the normal state.
PlacementState StateOfShowCommand(int show_command);
int ShowCommandOf(PlacementState state);

}  // namespace kestrova
