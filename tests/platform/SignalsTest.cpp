#include <gtest/gtest.h>

#include <signal.h>

#include <csignal>

#include "platform/Signals.h"
#include "support/Child.h"

namespace {

// Signal actions are the process's: each case runs in one of its own.
using testsupport::InChild;

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
