// A socat pseudo-terminal pair reached through two links, as a peer that can go away and
// come back under the same name: stopping socat removes the links and hangs up the line.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>

namespace kestrova::testing {

class SocatLinkPair {
 public:
  // Links `a` and `b` are made when Start() runs; nothing runs yet.
  SocatLinkPair(std::string a, std::string b);
  // Stops socat if it still runs.
  ~SocatLinkPair();
  SocatLinkPair(const SocatLinkPair&) = delete;
  SocatLinkPair& operator=(const SocatLinkPair&) = delete;

  // Starts socat and waits (up to `timeout`) until both links are there; false otherwise.
  bool Start(std::chrono::milliseconds timeout);
  // Terminates socat (by its id) and waits until it has ended and its links are gone.
  bool Stop(std::chrono::milliseconds timeout);
  bool Running() const { return pid_ > 0; }

  const std::string& a() const { return a_; }
  const std::string& b() const { return b_; }

 private:
  std::string a_;
  std::string b_;
  pid_t pid_ = -1;
};

// Whether socat can be run here; tests that need it skip otherwise.
bool SocatAvailable();

}  // namespace kestrova::testing
