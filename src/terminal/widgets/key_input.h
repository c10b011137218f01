// A Qt key press in the terms of the terminal's key handling: what it typed, or which paging
// key it is.
#pragma once

#include <QKeyEvent>
#include <optional>
#include <string>

#include "terminal/terminal_keys.h"

namespace kestrova {

// "\r" for Enter, "\x1b" for Esc, "\b" for Backspace, "\x1a" for Ctrl+Z, else the key's text as
// UTF-8 ("" for keys that type nothing).
std::string TypedText(const QKeyEvent& event);

std::optional<NavKey> NavKeyOf(const QKeyEvent& event);

// Shift, Ctrl, Alt or Meta held (the keypad flag does not count).
bool HasModifiers(const QKeyEvent& event);

}  // namespace kestrova
