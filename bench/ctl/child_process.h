// A program run by a benchmark: started with its standard output on a pipe, read until it has
// said enough, waited for; and the median of the times taken.
#pragma once

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace bench {

using Clock = std::chrono::steady_clock;

struct Child {
    pid_t pid = -1;
    int out = -1; // its standard output
};

// Starts the program with `env` (the benchmark's own when empty); its standard error goes to
// /dev/null when `quiet`.
inline Child Spawn(const std::vector<std::string> &args, const std::vector<std::string> &env = {},
                   bool quiet = false) {
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char *> envp;
    for (const std::string &e : env)
        envp.push_back(const_cast<char *>(e.c_str()));
    envp.push_back(nullptr);
    int fds[2] = {-1, -1};
    if (pipe(fds) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    if (quiet)
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    Child child;
    if (posix_spawn(&child.pid, argv[0], &actions, nullptr, argv.data(),
                    env.empty() ? environ : envp.data()) != 0)
        child.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    child.out = fds[0];
    return child;
}

// Reads until `text` holds `end` or the output closes; false after `limit`.
inline bool ReadUntil(int fd, std::string &text, const std::string &end,
                      std::chrono::seconds limit) {
    const auto deadline = Clock::now() + limit;
    while (text.find(end) == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0)
            return false;
        char buffer[4096];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return text.find(end) != std::string::npos;
        text.append(buffer, static_cast<size_t>(n));
    }
    return true;
}

inline int Wait(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline double Median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    const size_t n = times.size();
    return n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
}

} // namespace bench
