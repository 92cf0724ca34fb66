#pragma once

#include <sys/wait.h>
#include <unistd.h>

// Root may write anywhere, so a test of what permissions forbid means nothing when run as root.
// runUnprivileged runs work as the user "nobody" in a child process when the test runs as root,
// and in this process otherwise. work returns a small number (0 to 99), passed back as the
// result; 100 means the child could not drop its rights, 101 that it died.
template <typename Work> int runUnprivileged(Work work)
{
    if (geteuid() != 0)
        return work();
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(100);
        _exit(work());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 101;
}

inline bool runsAsRoot()
{
    return geteuid() == 0;
}
