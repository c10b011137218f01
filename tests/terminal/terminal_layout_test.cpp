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

}  // namespace
}  // namespace kestrova::testing
