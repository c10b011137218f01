// Qt's compose input method reads the X compose table at the first key press, which holds up
// that key and the GUI thread by a few milliseconds (more on a busy machine). This has it read
// as soon as a text field first has the focus, before anyone types.
#pragma once

namespace kestrova {

// Once, when the application's focus first goes to an object that takes typed text, sends our
// own window a key press and release of a key that has no symbol: the input method wakes up
// for it, and no widget sees a character. Does nothing off X11.
void WarmUpInputMethodAtFirstFocus();

}  // namespace kestrova
