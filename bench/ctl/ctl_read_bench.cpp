// Time from `dccd-ctl read` starting to the whole tune on its standard output, against a
// simulated controller that answers at once. Prints every run and the median.
//
// Usage: ctl_read_bench <dccd-ctl> <dccd-sim> [runs]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Child {
    pid_t pid = -1;
    int out = -1; // its standard output
};

Child Spawn(const std::vector<std::string> &args) {
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    int fds[2] = {-1, -1};
    if (pipe(fds) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    Child child;
    if (posix_spawn(&child.pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        child.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    child.out = fds[0];
    return child;
}

// Reads until `text` holds `end` or the output closes; false after `limit`.
bool ReadUntil(int fd, std::string &text, const std::string &end, std::chrono::seconds limit) {
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

int Wait(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <dccd-ctl> <dccd-sim> [runs]\n", argv[0]);
        return 2;
    }
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 20;

    Child sim = Spawn({argv[2]});
    std::string line;
    if (sim.pid <= 0 || !ReadUntil(sim.out, line, "\n", std::chrono::seconds(5))) {
        std::fprintf(stderr, "the simulator did not start\n");
        return 1;
    }
    const std::string device = line.substr(0, line.find('\n'));
    // The simulator logs about 150 bytes a run into its pipe, which holds far more than that.
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        Child ctl = Spawn({argv[1], "read", "--port", "1=" + device});
        std::string tune;
        const bool complete =
            ctl.pid > 0 && ReadUntil(ctl.out, tune, "}\n", std::chrono::seconds(10));
        const auto end = Clock::now();
        close(ctl.out);
        const int code = ctl.pid > 0 ? Wait(ctl.pid) : -1;
        if (!complete || code != 0) {
            std::fprintf(stderr, "run %d: no tune (exit %d)\n", i + 1, code);
            kill(sim.pid, SIGTERM);
            Wait(sim.pid);
            return 1;
        }
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        std::printf("run %2d: %.1f ms\n", i + 1, times.back());
    }
    kill(sim.pid, SIGTERM);
    Wait(sim.pid);

    std::sort(times.begin(), times.end());
    const size_t n = times.size();
    const double median = n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
    std::printf("dccd-ctl read, start to tune on stdout: median %.1f ms over %zu runs "
                "(min %.1f, max %.1f)\n",
                median, n, times.front(), times.back());
    return 0;
}
