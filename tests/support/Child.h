#pragma once
// Running part of a test in a process of its own, for what stays with a
// process once done (signal actions, a system call filter, another user).
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

namespace testsupport {

// The body's exit code in a forked process; 99 when it did not exit.
inline int InChild(const std::function<int()>& body) {
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}

} // namespace testsupport
