// A pseudo-terminal pair for serial tests: the program under test opens the slave by its
// path like a serial device; the test plays the peer on the master.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace kestrova::testing {

class PtyPair {
 public:
  // Raw on both sides (8-bit clean, no echo). Fails the current test when no pty can be had.
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  const std::string& slave_path() const { return slave_path_; }
  int master() const { return master_; }
  // The pair's own slave descriptor, kept open so that the line stays up between opens.
  int slave() const { return slave_; }

  // Writes all of `data` to the master (waiting for room as needed).
  void Write(std::string_view data);
  // Reads from the master until `count` bytes came or `timeout` ran out; returns what came.
  std::string Read(size_t count, std::chrono::milliseconds timeout);
  // The peer goes away: the slave side sees a hang-up.
  void CloseMaster();
  void CloseSlave();

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slave_path_;
};

}  // namespace kestrova::testing
