// The terminal window's controls as the window grows, with and without the hex line and for
// mode groups of one and two columns.
#include "terminal/terminal_layout.h"

#include <gtest/gtest.h>

namespace kestrova::testing {
namespace {

TEST(TerminalLayoutTest, SendLineSitsAboveAShownHexLineElseInItsPlace) {
  const TerminalLayout hidden = LayOutTerminal(400, 450, false, 0);
  EXPECT_EQ(hidden.manual_line, (Rect{2, 358, 396, 21}));
  EXPECT_EQ(hidden.rich_edit, (Rect{0, 0, 398, 356}));
  const TerminalLayout layout = LayOutTerminal(400, 450, true, 0);
  EXPECT_EQ(layout.hex_manual_line, (Rect{2, 358, 396, 21}));
  EXPECT_EQ(layout.manual_line, (Rect{2, 335, 396, 21}));
  EXPECT_EQ(layout.rich_edit, (Rect{0, 0, 398, 333}));
}

TEST(TerminalLayoutTest, ModeGroupColumns) {
  struct Case {
    int modes;
    int columns;
    Rect group;
    Rect debug_in;
  } cases[] = {
      {0, 1, {168, 381, 81, 61}, {258, 389, 140, 21}},
      {3, 1, {168, 381, 81, 61}, {258, 389, 140, 21}},
      {4, 2, {168, 381, 121, 61}, {298, 389, 100, 21}},
      {9, 2, {168, 381, 121, 61}, {298, 389, 100, 21}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ModeGroupColumns(c.modes), c.columns) << c.modes;
    const TerminalLayout layout = LayOutTerminal(400, 450, false, c.modes);
    EXPECT_EQ(layout.mode_group, c.group) << c.modes;
    EXPECT_EQ(layout.debug_in_time, c.debug_in) << c.modes;
  }
}

TEST(TerminalLayoutTest, AnchorsFollowAGrownWindow) {
  const TerminalLayout layout = LayOutTerminal(600, 500, true, 4);
  // Bottom controls keep their distance to the bottom, stretched ones to the right edge.
  EXPECT_EQ(layout.hex_manual_line, (Rect{2, 408, 596, 21}));
  EXPECT_EQ(layout.manual_line, (Rect{2, 385, 596, 21}));
  EXPECT_EQ(layout.rich_edit, (Rect{0, 0, 598, 383}));
  EXPECT_EQ(layout.send_button, (Rect{8, 438, 75, 25}));
  EXPECT_EQ(layout.undock_button, (Rect{88, 470, 75, 25}));
  EXPECT_EQ(layout.mode_group, (Rect{168, 431, 121, 61}));
  EXPECT_EQ(layout.debug_out_time, (Rect{298, 471, 300, 21}));
}

TEST(TerminalLayoutTest, ControlsNeedingMoreRoomGetItAndPushTheOthersAside) {
  const TerminalControlSizes needs{30, 100, 34, 150, 90};
  const TerminalLayout layout = LayOutTerminal(600, 500, true, 3, needs);
  EXPECT_EQ(layout.clear_button, (Rect{8, 461, 100, 34}));
  EXPECT_EQ(layout.direct_button, (Rect{113, 420, 100, 34}));
  EXPECT_EQ(layout.mode_group, (Rect{218, 402, 150, 90}));
  // A tall mode group lifts the lines above it.
  EXPECT_EQ(layout.hex_manual_line, (Rect{2, 370, 596, 30}));
  EXPECT_EQ(layout.manual_line, (Rect{2, 338, 596, 30}));
  EXPECT_EQ(layout.debug_out_time, (Rect{377, 462, 221, 30}));

  // At its least size the window keeps some view and some room for the timing fields.
  const TerminalSize least = TerminalMinimumSize(true, 3, needs);
  const TerminalLayout small = LayOutTerminal(least.width, least.height, true, 3, needs);
  EXPECT_GE(small.rich_edit.height, 2 * needs.line_height);
  EXPECT_GT(small.debug_in_time.width, 0);
  EXPECT_EQ(TerminalMinimumSize(false, 0, {}), (TerminalSize{300, 154}));
}

}  // namespace
}  // namespace kestrova::testing
