// Which key does what, wherever the focus is.
#include "terminal/terminal_keys.h"

#include <gtest/gtest.h>

namespace kestrova::testing {
namespace {

using A = CharKeyAction;
using P = KeyPlace;

TEST(TerminalKeysTest, TypedCharacters) {
  struct Case {
    P place;
    std::string typed;
    bool dropped_down;
    A action;
  } cases[] = {
      // Enter, Ctrl+Z and Esc send from the send line, the view and both send buttons.
      {P::kSendLine, "\r", false, A::kSend},
      {P::kSendLine, "\r", true, A::kSend},
      {P::kView, "\r", false, A::kSend},
      {P::kSendButton, "\r", false, A::kSend},
      {P::kDirectButton, "\x1a", false, A::kSendCtrlZ},
      {P::kSendLine, "\x1a", false, A::kSendCtrlZ},
      {P::kSendLine, "\x1b", false, A::kSendEscape},
      {P::kView, "\x1b", false, A::kSendEscape},
      // Esc with the history list open only closes the list.
      {P::kSendLine, "\x1b", true, A::kNone},
      // In the send line itself typing and Backspace are the line's own.
      {P::kSendLine, "a", false, A::kNone},
      {P::kSendLine, "\b", false, A::kNone},
      // Elsewhere they edit the send line.
      {P::kView, "a", false, A::kAppend},
      {P::kView, "\xC5\x99", false, A::kAppend},
      {P::kSendButton, "7", false, A::kAppend},
      {P::kView, " ", false, A::kAppend},
      {P::kView, "\b", false, A::kBackspace},
      {P::kDirectButton, "\b", false, A::kBackspace},
      // A space on a button presses it; control characters stay with the control.
      {P::kSendButton, " ", false, A::kNone},
      {P::kDirectButton, " ", false, A::kNone},
      {P::kView, "\x03", false, A::kNone},
      {P::kView, "\t", false, A::kNone},
      {P::kView, "\x7f", false, A::kNone},
      {P::kView, "", false, A::kNone},
      // The hex line has its own two keys.
      {P::kHexLine, "\x1b", false, A::kClearHexLine},
      {P::kHexLine, "\r", false, A::kSendDirect},
      {P::kHexLine, "\x1a", false, A::kNone},
      {P::kHexLine, "4", false, A::kNone},
      // Other controls keep their keys.
      {P::kOther, "\r", false, A::kNone},
      {P::kOther, "a", false, A::kNone},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecideCharKey(c.place, c.typed, c.dropped_down), c.action)
        << "place " << static_cast<int>(c.place) << " typed " << ::testing::PrintToString(c.typed)
        << (c.dropped_down ? " list open" : "");
  }
}

TEST(TerminalKeysTest, PagingKeys) {
  using N = NavKeyAction;
  struct Case {
    P place;
    NavKey key;
    bool modifiers;
    N action;
  } cases[] = {
      {P::kView, NavKey::kPageUp, false, N::kScrollPageUp},
      {P::kSendLine, NavKey::kPageDown, false, N::kScrollPageDown},
      {P::kOther, NavKey::kPageDown, false, N::kScrollPageDown},
      {P::kView, NavKey::kUp, false, N::kScrollLineUp},
      {P::kHexLine, NavKey::kDown, false, N::kScrollLineDown},
      {P::kDirectButton, NavKey::kUp, false, N::kScrollLineUp},
      {P::kSendLine, NavKey::kUp, false, N::kDropDownHistory},
      {P::kSendLine, NavKey::kDown, false, N::kDropDownHistory},
      {P::kView, NavKey::kPageUp, true, N::kNone},
      {P::kSendLine, NavKey::kDown, true, N::kNone},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecideNavKey(c.place, c.key, c.modifiers), c.action)
        << "place " << static_cast<int>(c.place) << " key " << static_cast<int>(c.key);
  }
}

}  // namespace
}  // namespace kestrova::testing
