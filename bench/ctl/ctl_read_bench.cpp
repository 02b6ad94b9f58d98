// Time from `dccd-ctl read` starting to the whole tune on its standard output, against a
// simulated controller that answers at once. Prints every run and the median.
//
// Usage: ctl_read_bench <dccd-ctl> <dccd-sim> [runs]
#include "bench/ctl/child_process.h"

#include <cstdio>
#include <cstdlib>
#include <signal.h>

using namespace bench;

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

    const auto [least, most] = std::minmax_element(times.begin(), times.end());
    std::printf("dccd-ctl read, start to tune on stdout: median %.1f ms over %zu runs "
                "(min %.1f, max %.1f)\n",
                Median(times), times.size(), *least, *most);
    return 0;
}
