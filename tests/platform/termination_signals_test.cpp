#include "platform/termination_signals.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace kestrova {
namespace {

TEST(TerminationSignals, EachSignalWaitsInThePipeAndTheOldHandlerComesBack) {
  for (const int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(signal_number);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(sigaction(signal_number, &ignore, nullptr), 0);
    {
      TerminationSignals signals;
      EXPECT_EQ(signals.Take(), 0);
      ASSERT_EQ(raise(signal_number), 0);
      EXPECT_EQ(signals.Take(), signal_number);
      EXPECT_EQ(signals.Take(), 0);
    }
    struct sigaction restored {};
    ASSERT_EQ(sigaction(signal_number, nullptr, &restored), 0);
    EXPECT_EQ(restored.sa_handler, SIG_IGN);
    signal(signal_number, SIG_DFL);
  }
}

TEST(TerminationSignals, ASecondSignalEndsTheProgramAtOnce) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    TerminationSignals signals;
    raise(SIGTERM);
    raise(SIGINT);
    _exit(0);  // reached only when the second signal was swallowed
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
  EXPECT_EQ(WTERMSIG(status), SIGINT);
}

}  // namespace
}  // namespace kestrova
