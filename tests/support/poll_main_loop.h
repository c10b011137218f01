// A poll loop installed as the main loop for as long as it lives.
#pragma once

#include "platform/message_loop.h"
#include "platform/poll_message_loop.h"

namespace kestrova::testing {

class PollMainLoop {
 public:
  PollMainLoop() { SetMainLoop(&loop); }
  ~PollMainLoop() { SetMainLoop(nullptr); }
  PollMainLoop(const PollMainLoop&) = delete;
  PollMainLoop& operator=(const PollMainLoop&) = delete;

  PollMessageLoop loop;
};

}  // namespace kestrova::testing
