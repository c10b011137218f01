// The main loop a fuzz target's components post to: made once and never freed, so
// that nothing a component leaves queued outlives it.
#pragma once

#include "platform/poll_message_loop.h"

namespace kestrova::fuzzing {

inline PollMessageLoop& MainLoop() {
  static PollMessageLoop* loop = [] {
    auto* made = new PollMessageLoop;
    SetMainLoop(made);
    return made;
  }();
  return *loop;
}

}  // namespace kestrova::fuzzing
