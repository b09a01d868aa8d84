// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the built sarvex-cli (SARVEX_CLI) as a separate process with its output caught in files.
#pragma once

#include "support/TempDir.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

struct TRunResult
{
    int Exit = -1;
    std::string Out;
    std::string Err;
};

struct TSpawnOptions
{
    rlim_t FileSizeLimit = RLIM_INFINITY;
    std::vector<std::string> Environment; // NAME=value, added to ours
    rlim_t OpenFilesLimit = RLIM_INFINITY;
    std::string Folder{}; // the working folder, when not ours
};

// fork + exec with stdout and stderr going to files in logDir.
inline pid_t Spawn(const std::vector<std::string>& args, const TTempDir& logDir, const TSpawnOptions& options = {})
{
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    const int out = ::open(logDir.File("stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(logDir.File("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out, STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    if (options.FileSizeLimit != RLIM_INFINITY)
    {
        const rlimit limit{options.FileSizeLimit, options.FileSizeLimit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, SIG_DFL); // as a shell's ulimit leaves it: the program must turn it into EFBIG
    }
    if (!options.Folder.empty() && ::chdir(options.Folder.c_str()) != 0)
        ::_exit(127);
    if (options.OpenFilesLimit != RLIM_INFINITY)
    {
        const rlimit limit{options.OpenFilesLimit, options.OpenFilesLimit};
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
    for (const std::string& entry : options.Environment)
        ::putenv(const_cast<char*>(entry.c_str()));
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
}

inline TRunResult Finish(pid_t pid, const TTempDir& logDir)
{
    int status = 0;
    ::waitpid(pid, &status, 0);
    TRunResult result;
    result.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.Out = TTempDir::ReadAll(logDir.File("stdout"));
    result.Err = TTempDir::ReadAll(logDir.File("stderr"));
    return result;
}

inline TRunResult RunCli(std::vector<std::string> args, const TSpawnOptions& options = {})
{
    TTempDir logDir;
    args.insert(args.begin(), SARVEX_CLI);
    return Finish(Spawn(args, logDir, options), logDir);
}
