// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a piece of a test in a forked child, for faults that must not reach the test process
// itself: resource limits, dropped privileges, and code that might hang (a watchdog ends it).
#pragma once

#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <exception>
#include <functional>
#include <string>

struct TChildResult
{
    bool Exited = false; // false: killed by a signal (the watchdog's SIGALRM on a hang)
    int ExitCode = -1;
    int Signal = 0;
    std::string Output; // what the body returned

    bool Ok() const { return Exited && ExitCode == 0; }
    std::string Describe() const
    {
        return Exited ? "exit " + std::to_string(ExitCode) + ", output \"" + Output + "\""
                      : "killed by signal " + std::to_string(Signal) + (Signal == SIGALRM ? " (hang)" : "");
    }
};

// The body runs in the child with the watchdog armed; its result string comes back through a pipe.
// An exception in the body gives exit code 2. The child leaves through _exit, so nothing of the
// test framework runs twice.
inline TChildResult RunInChild(const std::function<std::string()>& body, unsigned watchdogSeconds = 60)
{
    TChildResult result;
    int fds[2];
    if (::pipe(fds) != 0)
        return result;
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0)
    {
        ::close(fds[0]);
        ::close(fds[1]);
        return result;
    }
    if (pid == 0)
    {
        ::close(fds[0]);
        ::signal(SIGALRM, SIG_DFL);
        ::alarm(watchdogSeconds);
        int code = 0;
        std::string out;
        try
        {
            out = body();
        }
        catch (const std::exception& e)
        {
            out = e.what();
            code = 2;
        }
        catch (...)
        {
            code = 2;
        }
        const char* p = out.data();
        std::size_t left = out.size();
        while (left > 0)
        {
            const ssize_t n = ::write(fds[1], p, left);
            if (n <= 0)
                break;
            p += n;
            left -= static_cast<std::size_t>(n);
        }
        ::_exit(code);
    }
    ::close(fds[1]);
    char buffer[4096];
    for (;;)
    {
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        result.Output.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR)
    {}
    result.Exited = WIFEXITED(status);
    result.ExitCode = result.Exited ? WEXITSTATUS(status) : -1;
    result.Signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return result;
}

// In the child: file writes stop at `bytes` with EFBIG instead of a signal, as on a full volume
// with a file size limit.
inline bool LimitFileSize(rlim_t bytes)
{
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{bytes, bytes};
    return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

// In the child: gives up root, so that permission bits count. False when that is impossible.
inline bool DropToNobody()
{
    if (::geteuid() != 0)
        return true;
    constexpr gid_t NOGROUP = 65534;
    constexpr uid_t NOBODY = 65534;
    return ::setgroups(0, nullptr) == 0 && ::setgid(NOGROUP) == 0 && ::setuid(NOBODY) == 0;
}
