// Where the terminal window's controls sit: the designed positions, moved and stretched with
// the window by their anchors, with the send lines and the mode group laid out on top. Controls
// whose font needs more room than the design gave get it; the others move aside.
#pragma once

#include "util/screen_fit.h"

namespace kestrova {

// The client size the designed positions are given for; the window starts at this size.
inline constexpr int kTerminalDesignWidth = 400;
inline constexpr int kTerminalDesignHeight = 450;

// What the controls need in the font at hand; the design's sizes are the least they get.
struct TerminalControlSizes {
  int line_height = 0;  // the send line, the hex line and the timing fields
  int button_width = 0;
  int button_height = 0;
  int mode_group_width = 0;
  int mode_group_height = 0;
};

struct TerminalLayout {
  Rect rich_edit;
  Rect manual_line;
  Rect hex_manual_line;
  Rect send_button;
  Rect direct_button;
  Rect clear_button;
  Rect undock_button;
  Rect mode_group;
  Rect debug_in_time;
  Rect debug_out_time;
};

// One column for up to three modes, two from four on.
int ModeGroupColumns(int mode_count);

// With the hex line shown the send line sits 2 pixels above it, else in its place; the view
// ends 2 pixels above the send line.
TerminalLayout LayOutTerminal(int client_width, int client_height, bool show_hex_edit,
                              int mode_count, const TerminalControlSizes& needs = {});

struct TerminalSize {
  int width = 0;
  int height = 0;

  friend bool operator==(const TerminalSize&, const TerminalSize&) = default;
};

// The smallest client size that keeps every control whole and some of the view.
TerminalSize TerminalMinimumSize(bool show_hex_edit, int mode_count,
                                 const TerminalControlSizes& needs);

}  // namespace kestrova
