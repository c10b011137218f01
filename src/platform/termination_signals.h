// SIGTERM, SIGINT and SIGHUP turned into something an event loop can watch: the handler only
// writes the signal's number to a pipe, and the loop reads it when the pipe becomes readable.
// A second signal, while the first is still being handled, ends the program at once.
#pragma once

namespace kestrova {

class TerminationSignals {
 public:
  // Installs the handlers; one instance at a time. Throws std::system_error when no pipe can
  // be had.
  TerminationSignals();
  // Restores the handlers that were there before.
  ~TerminationSignals();
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

  // Readable while a signal waits to be taken.
  int fd() const;
  // The number of a signal that came, or 0 when none waits.
  int Take();
};

}  // namespace kestrova
