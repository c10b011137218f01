#include "support/socat_link_pair.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

namespace kestrova::testing {
namespace {

using Clock = std::chrono::steady_clock;

bool LinkThere(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

bool LinkGone(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) != 0;
}

}  // namespace

SocatLinkPair::SocatLinkPair(std::string a, std::string b) : a_(std::move(a)), b_(std::move(b)) {}

SocatLinkPair::~SocatLinkPair() {
  if (Running()) Stop(std::chrono::seconds(10));
}

bool SocatLinkPair::Start(std::chrono::milliseconds timeout) {
  if (Running()) return false;
  const std::string left = "pty,raw,echo=0,link=" + a_;
  const std::string right = "pty,raw,echo=0,link=" + b_;
  pid_ = fork();
  if (pid_ < 0) return false;
  if (pid_ == 0) {
    execlp("socat", "socat", left.c_str(), right.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  const auto deadline = Clock::now() + timeout;
  while (Clock::now() < deadline) {
    if (LinkThere(a_) && LinkThere(b_)) return true;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

bool SocatLinkPair::Stop(std::chrono::milliseconds timeout) {
  if (!Running()) return true;
  kill(pid_, SIGTERM);
  const auto deadline = Clock::now() + timeout;
  bool ended = false;
  while (Clock::now() < deadline) {
    int status = 0;
    if (!ended && waitpid(pid_, &status, WNOHANG) == pid_) ended = true;
    if (ended && LinkGone(a_) && LinkGone(b_)) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (!ended) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  pid_ = -1;
  return ended;
}

bool SocatAvailable() {
  const pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, STDOUT_FILENO);
    execlp("socat", "socat", "-V", static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace kestrova::testing
