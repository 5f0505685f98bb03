#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <functional>

#include "platform/Signals.h"

namespace {

// The body's exit code in a process of its own (signal dispositions are
// the process's); 99 when it did not exit.
int InChild(const std::function<int()>& body) {
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}

TEST(EndSignals, EachIsRecordedAndTheFirstIsKept) {
    for (const int number : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(number);
        EXPECT_EQ(InChild([number] {
                      platform::InstallEndSignals();
                      if (platform::ReceivedEndSignal() != 0) {
                          return 1;
                      }
                      ::raise(number);
                      ::raise(number == SIGTERM ? SIGHUP : SIGTERM);
                      return platform::ReceivedEndSignal();
                  }),
                  number);
    }
}

TEST(EndSignals, AnIgnoredSignalStaysIgnoredAndRestoringGivesTheOldActionsBack) {
    EXPECT_EQ(InChild([] {
                  std::signal(SIGHUP, SIG_IGN);
                  platform::InstallEndSignals();
                  ::raise(SIGHUP);
                  if (platform::ReceivedEndSignal() != 0) {
                      return 1;
                  }
                  platform::RestoreEndSignals();
                  struct sigaction action {};
                  ::sigaction(SIGTERM, nullptr, &action);
                  return action.sa_handler == SIG_DFL ? 0 : 2;
              }),
              0);
    // Not installed, the signal ends the process.
    EXPECT_EQ(InChild([] {
                  platform::InstallEndSignals();
                  platform::RestoreEndSignals();
                  ::raise(SIGTERM);
                  return 0;
              }),
              99);
}

} // namespace
