// Closes the program's main window when the program is asked to end by SIGTERM, SIGINT or
// SIGHUP (a logout, `kill`, Ctrl+C in its terminal), as its close button does.
#pragma once

#include <QSocketNotifier>
#include <functional>

#include "platform/termination_signals.h"

namespace kestrova {

class TerminationNotifier {
 public:
  // `on_signal` runs on the GUI thread with the signal's number.
  explicit TerminationNotifier(std::function<void(int)> on_signal);
  TerminationNotifier(const TerminationNotifier&) = delete;
  TerminationNotifier& operator=(const TerminationNotifier&) = delete;

 private:
  TerminationSignals signals_;
  QSocketNotifier notifier_;
  std::function<void(int)> on_signal_;
};

}  // namespace kestrova
