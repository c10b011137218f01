#include "terminal/terminal_layout.h"

namespace kestrova {
namespace {

constexpr int kGap = 2;
constexpr int kModeColumnWidth = 40;

// A designed rectangle kept at its distance from the bottom edge, and from the right edge too
// when `stretch` (anchored left and right).
Rect AnchorBottom(Rect design, int dx, int dy, bool stretch) {
  design.top += dy;
  if (stretch) design.width += dx;
  return design;
}

}  // namespace

int ModeGroupColumns(int mode_count) { return mode_count < 4 ? 1 : 2; }

TerminalLayout LayOutTerminal(int client_width, int client_height, bool show_hex_edit,
                              int mode_count) {
  const int dx = client_width - kTerminalDesignWidth;
  const int dy = client_height - kTerminalDesignHeight;
  const int extra_columns = ModeGroupColumns(mode_count) - 1;
  TerminalLayout layout;
  layout.hex_manual_line = AnchorBottom({2, 358, 396, 21}, dx, dy, true);
  layout.manual_line = layout.hex_manual_line;
  if (show_hex_edit) layout.manual_line.top -= kGap + layout.manual_line.height;
  layout.rich_edit = {0, 0, 398 + dx, layout.manual_line.top - kGap};
  layout.send_button = AnchorBottom({8, 388, 75, 25}, dx, dy, false);
  layout.direct_button = AnchorBottom({88, 388, 75, 25}, dx, dy, false);
  layout.clear_button = AnchorBottom({8, 420, 75, 25}, dx, dy, false);
  layout.undock_button = AnchorBottom({88, 420, 75, 25}, dx, dy, false);
  layout.mode_group =
      AnchorBottom({168, 381, (extra_columns + 1) * kModeColumnWidth + 41, 61}, dx, dy, false);
  const int debug_left = 258 + extra_columns * kModeColumnWidth;
  const int debug_width = 140 - extra_columns * kModeColumnWidth;
  layout.debug_in_time = AnchorBottom({debug_left, 389, debug_width, 21}, dx, dy, true);
  layout.debug_out_time = AnchorBottom({debug_left, 421, debug_width, 21}, dx, dy, true);
  return layout;
}

}  // namespace kestrova
