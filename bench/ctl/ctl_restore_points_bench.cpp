// What a long history of restore points costs dccd-ctl: a whole write (read, keep, save, read
// back, prune) with one restore point in its folder against one with thousands, run in turns in
// one run against a simulated controller that answers at once; and `restore-points` listing the
// thousands. Each keeps as many as it holds, so every write also removes one. Prints the medians.
//
// Usage: ctl_restore_points_bench <dccd-ctl> <dccd-sim> [runs] [restore points]
#include "bench/ctl/child_process.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <signal.h>

using namespace bench;
namespace fs = std::filesystem;

namespace {

// Reads the output to its end; false after a minute.
bool ReadToEnd(int fd) {
    const auto deadline = Clock::now() + std::chrono::minutes(1);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0)
            return false;
        char buffer[65536];
        if (read(fd, buffer, sizeof buffer) <= 0)
            return true;
    }
}

// Runs the program to its end with its standard output read; the milliseconds it took, or a
// negative number when it failed.
double TimedRun(const std::vector<std::string> &args, const std::vector<std::string> &env) {
    const auto start = Clock::now();
    Child child = Spawn(args, env, true);
    const bool ended = child.pid > 0 && ReadToEnd(child.out);
    close(child.out);
    const int code = child.pid > 0 ? Wait(child.pid) : -1;
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    return ended && code == 0 ? ms : -1;
}

// This process's environment with the state folder and the number of restore points to keep.
std::vector<std::string> Environment(const fs::path &state, int kept) {
    std::vector<std::string> env;
    for (char **e = environ; *e != nullptr; ++e) {
        const std::string each = *e;
        if (each.rfind("XDG_STATE_HOME=", 0) != 0 &&
            each.rfind("DCCD_KEEP_RESTORE_POINTS=", 0) != 0)
            env.push_back(each);
    }
    env.push_back("XDG_STATE_HOME=" + state.string());
    env.push_back("DCCD_KEEP_RESTORE_POINTS=" + std::to_string(kept));
    return env;
}

fs::path Folder(const fs::path &state) {
    return state / "dccd-tuner" / "restore-points";
}

// Fills the folder with `count` copies of the one restore point `from` holds.
bool Fill(const fs::path &from, const fs::path &to, int count) {
    std::string text;
    for (const fs::directory_entry &entry : fs::directory_iterator(Folder(from))) {
        if (entry.path().extension() == ".json") {
            std::ifstream file(entry.path());
            text.assign(std::istreambuf_iterator<char>(file), {});
        }
    }
    fs::create_directories(Folder(to));
    for (int i = 1; i <= count && !text.empty(); ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "%06d-20261207T150412Z-port1.json", i);
        std::ofstream(Folder(to) / name) << text;
    }
    return !text.empty();
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <dccd-ctl> <dccd-sim> [runs] [restore points]\n", argv[0]);
        return 2;
    }
    const std::string ctl = argv[1];
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    const int many = argc > 4 ? std::max(2, std::atoi(argv[4])) : 10000;

    Child sim = Spawn({argv[2]});
    std::string line;
    if (sim.pid <= 0 || !ReadUntil(sim.out, line, "\n", std::chrono::seconds(5))) {
        std::fprintf(stderr, "the simulator did not start\n");
        return 1;
    }
    const std::string port = "1=" + line.substr(0, line.find('\n'));
    char scratch[] = "/tmp/dccd-restore-points-bench-XXXXXX";
    const fs::path work = mkdtemp(scratch);
    const fs::path one = work / "one", thousands = work / "many";
    const std::string tune = (work / "t.json").string();
    const std::vector<std::string> write{ctl, "write", tune, "--port", port};
    int failed = TimedRun({ctl, "defaults", "-o", tune}, {}) < 0 ||
                 TimedRun(write, Environment(one, 1)) < 0 || !Fill(one, thousands, many);
    // The simulator logs some 300 bytes a run into its pipe, which holds far more than that.
    std::vector<double> single, crowded, listing;
    for (int i = 0; i < runs && !failed; ++i) {
        single.push_back(TimedRun(write, Environment(one, 1)));
        crowded.push_back(TimedRun(write, Environment(thousands, many)));
        listing.push_back(TimedRun({ctl, "restore-points"}, Environment(thousands, many)));
        failed = *std::min_element(single.begin(), single.end()) < 0 ||
                 *std::min_element(crowded.begin(), crowded.end()) < 0 ||
                 *std::min_element(listing.begin(), listing.end()) < 0;
    }
    kill(sim.pid, SIGTERM);
    Wait(sim.pid);
    fs::remove_all(work);
    if (failed) {
        std::fprintf(stderr, "a dccd-ctl run failed\n");
        return 1;
    }
    const double ratio = Median(crowded) / Median(single);
    std::printf("dccd-ctl write, 1 restore point: median %.1f ms over %d runs\n", Median(single),
                runs);
    std::printf("dccd-ctl write, %d restore points: median %.1f ms over %d runs, %.2fx the one "
                "(goal: within 1.5x)\n",
                many, Median(crowded), runs, ratio);
    std::printf("dccd-ctl restore-points, %d restore points: median %.1f ms over %d runs (goal: "
                "within 500 ms)\n",
                many, Median(listing), runs);
    return 0;
}
