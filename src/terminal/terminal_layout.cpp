#include "terminal/terminal_layout.h"

#include <algorithm>

namespace kestrova {
namespace {

constexpr int kGap = 2;
constexpr int kModeColumnWidth = 40;
// The design's sizes and spacing, at 96 dpi.
constexpr int kLineHeight = 21;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kModeGroupHeight = 61;
constexpr int kBottomMargin = 5;        // below the lower buttons
constexpr int kButtonRowGap = 7;        // between the two rows of buttons
constexpr int kLineToButtonsGap = 9;    // between the hex line and the upper buttons
constexpr int kButtonColumnGap = 5;     // between the two columns of buttons
constexpr int kLeftMargin = 8;          // left of the buttons
constexpr int kModeGroupBottomGap = 3;  // the mode group ends above the lower buttons' bottom
constexpr int kTimingFieldGap = 9;      // between the mode group and the timing fields
// Room kept for the view and the timing fields when the window is made small.
constexpr int kMinViewHeight = 60;
constexpr int kMinTimingWidth = 40;

TerminalControlSizes AtLeastDesign(const TerminalControlSizes& needs, int mode_count) {
  const int columns = ModeGroupColumns(mode_count);
  return {std::max(needs.line_height, kLineHeight), std::max(needs.button_width, kButtonWidth),
          std::max(needs.button_height, kButtonHeight),
          std::max(needs.mode_group_width, columns * kModeColumnWidth + 41),
          std::max(needs.mode_group_height, kModeGroupHeight)};
}

}  // namespace

int ModeGroupColumns(int mode_count) { return mode_count < 4 ? 1 : 2; }

TerminalLayout LayOutTerminal(int client_width, int client_height, bool show_hex_edit,
                              int mode_count, const TerminalControlSizes& needs) {
  const TerminalControlSizes sizes = AtLeastDesign(needs, mode_count);
  const int line = sizes.line_height;
  TerminalLayout layout;
  // Bottom up, as the controls are anchored to the bottom edge.
  const int lower_top = client_height - kBottomMargin - sizes.button_height;
  const int upper_top = lower_top - kButtonRowGap - sizes.button_height;
  const int second_left = kLeftMargin + sizes.button_width + kButtonColumnGap;
  layout.send_button = {kLeftMargin, upper_top, sizes.button_width, sizes.button_height};
  layout.direct_button = {second_left, upper_top, sizes.button_width, sizes.button_height};
  layout.clear_button = {kLeftMargin, lower_top, sizes.button_width, sizes.button_height};
  layout.undock_button = {second_left, lower_top, sizes.button_width, sizes.button_height};
  const int mode_bottom = lower_top + sizes.button_height - kModeGroupBottomGap;
  layout.mode_group = {second_left + sizes.button_width + kButtonColumnGap,
                       mode_bottom - sizes.mode_group_height, sizes.mode_group_width,
                       sizes.mode_group_height};

  int lines_bottom = upper_top - kLineToButtonsGap;
  if (mode_count > 0) lines_bottom = std::min(lines_bottom, layout.mode_group.top - kGap);
  layout.hex_manual_line = {2, lines_bottom - line, client_width - 4, line};
  layout.manual_line = layout.hex_manual_line;
  if (show_hex_edit) layout.manual_line.top -= kGap + line;
  layout.rich_edit = {0, 0, client_width - 2, layout.manual_line.top - kGap};

  const int debug_left = layout.mode_group.Right() + kTimingFieldGap;
  const int debug_width = client_width - 2 - debug_left;
  layout.debug_in_time = {debug_left, upper_top + 1, debug_width, line};
  layout.debug_out_time = {debug_left, lower_top + 1, debug_width, line};
  return layout;
}

TerminalSize TerminalMinimumSize(bool show_hex_edit, int mode_count,
                                 const TerminalControlSizes& needs) {
  // Laid out at height 0, the view's bottom tells how much the controls below it take.
  const TerminalLayout layout = LayOutTerminal(0, 0, show_hex_edit, mode_count, needs);
  return {layout.mode_group.Right() + kTimingFieldGap + kMinTimingWidth + 2,
          kMinViewHeight - layout.rich_edit.height};
}

}  // namespace kestrova
