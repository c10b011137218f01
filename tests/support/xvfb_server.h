// A private Xvfb for one test binary: no window manager, so the server honours every window
// position and stacking request exactly. Picks a free display itself (-displayfd).
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace kestrova::test {

class XvfbServer {
 public:
  // `screen` as Xvfb takes it: width x height x depth.
  explicit XvfbServer(const char* screen = "1280x1024x24") { Start(screen); }
  ~XvfbServer() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  bool Running() const { return pid_ > 0; }
  // ":<n>" while running; otherwise why it is not.
  const std::string& Display() const { return display_; }
  const std::string& Problem() const { return problem_; }

 private:
  void Start(const char* screen) {
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) {
      problem_ = "cannot make a pipe for Xvfb";
      return;
    }
    pid_ = fork();
    if (pid_ == 0) {
      dup2(ready[1], 3);  // -displayfd writes the display number here
      int null_fd = open("/dev/null", O_WRONLY);
      dup2(null_fd, STDOUT_FILENO);
      dup2(null_fd, STDERR_FILENO);
      execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", screen, "-nolisten", "tcp",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    close(ready[1]);
    std::string number;
    pollfd fd{ready[0], POLLIN, 0};
    char c;
    while (poll(&fd, 1, 10000) > 0 && read(ready[0], &c, 1) == 1 && c != '\n') number += c;
    close(ready[0]);
    if (number.empty()) {
      int status = 0;
      if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, &status, 0);
      }
      problem_ = WIFEXITED(status) && WEXITSTATUS(status) == 127 ? "Xvfb is not installed"
                                                                 : "Xvfb did not start";
      pid_ = -1;
      return;
    }
    display_ = ":" + number;
  }

  pid_t pid_ = -1;
  std::string display_;
  std::string problem_;
};

}  // namespace kestrova::test
