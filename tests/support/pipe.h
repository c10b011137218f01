// A pipe whose ends a test watches, fills and drains one byte at a time.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

namespace kestrova::testing {

class Pipe {
 public:
  Pipe() { EXPECT_EQ(pipe(fds_), 0); }
  ~Pipe() {
    close(fds_[0]);
    close(fds_[1]);
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;

  int read_end() const { return fds_[0]; }
  int write_end() const { return fds_[1]; }
  void Fill() { ASSERT_EQ(write(fds_[1], "x", 1), 1); }
  void Drain() {
    char byte = 0;
    ASSERT_EQ(read(fds_[0], &byte, 1), 1);
  }

 private:
  int fds_[2] = {-1, -1};
};

}  // namespace kestrova::testing
