// What a key does in the terminal window: typed characters feed and send the send line from
// wherever the user is reading, and paging keys scroll the view from any control.
#pragma once

#include <string_view>

namespace kestrova {

// Where the keyboard focus is, as far as the terminal's keys care.
enum class KeyPlace { kSendLine, kHexLine, kView, kSendButton, kDirectButton, kOther };

enum class CharKeyAction {
  kNone,          // left to the control that has the focus
  kSend,          // Enter: close the history list, then "Odeslat"
  kSendCtrlZ,     // "Odeslat" ended by byte 26
  kSendEscape,    // "Odeslat" ended by byte 27
  kSendDirect,    // Enter in the hex line: "Přímo"
  kClearHexLine,  // Esc in the hex line: clear it and go to the send line
  kBackspace,     // remove the send line's last character
  kAppend,        // append what was typed to the send line
};

// `typed` is what the key typed, as UTF-8: "\r" for Enter, "\x1b" for Esc, "\b" for Backspace,
// "\x1a" for Ctrl+Z. Other control characters are left to the focused control (Ctrl+C copies
// from the view rather than landing in the send line), as is a space typed on a button.
CharKeyAction DecideCharKey(KeyPlace place, std::string_view typed, bool history_dropped_down);

enum class NavKey { kPageUp, kPageDown, kUp, kDown };

enum class NavKeyAction {
  kNone,
  kScrollPageUp,
  kScrollPageDown,
  kScrollLineUp,
  kScrollLineDown,
  kDropDownHistory,
};

// Paging keys without Shift, Ctrl or Alt scroll the view; Up and Down in the send line open its
// history list instead.
NavKeyAction DecideNavKey(KeyPlace place, NavKey key, bool with_modifiers);

}  // namespace kestrova
