// Start-up and idle figures of a window program (the tuner, or DCCD Tunes) against a bare Qt
// window, measured side by side on a real X server: time from process start to the window
// mapped, resident memory after start, and CPU time over an idle stretch (the tuner also
// connected to the simulator).
//
// Usage: startup_bench <dccd-tuner|dccd-tunes> <bare_window> <dccd-sim> [rounds] [idle seconds]
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Child {
    pid_t pid = -1;
    int out = -1; // its stdout, when captured
};

Child Spawn(const std::vector<std::string> &args, bool captureOut) {
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int pipeFds[2] = {-1, -1};
    if (captureOut && pipe(pipeFds) == 0) {
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    }
    Child child;
    if (posix_spawn(&child.pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        child.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    if (captureOut) {
        close(pipeFds[1]);
        child.out = pipeFds[0];
    }
    return child;
}

void Stop(Child &child) {
    if (child.pid > 0) {
        kill(child.pid, SIGTERM);
        waitpid(child.pid, nullptr, 0);
    }
    if (child.out >= 0)
        close(child.out);
    child = {};
}

// Waits for the next top-level window to be mapped; gives its id.
std::optional<xcb_window_t> WaitForMap(xcb_connection_t *x, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(x)) {
            const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
            const xcb_window_t window = reinterpret_cast<xcb_map_notify_event_t *>(event)->window;
            std::free(event);
            if (mapped)
                return window;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        pollfd fd{xcb_get_file_descriptor(x), POLLIN, 0};
        poll(&fd, 1, static_cast<int>(left.count()));
    }
}

long StatusKb(pid_t pid, const char *field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0)
            return std::strtol(line.c_str() + std::strlen(field), nullptr, 10);
    }
    return -1;
}

// User plus system CPU time of a process, in clock ticks.
long CpuTicks(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::vector<std::string> fields;
    std::size_t at = close + 2;
    while (at < text.size()) {
        const std::size_t space = text.find(' ', at);
        fields.push_back(text.substr(at, space - at));
        if (space == std::string::npos)
            break;
        at = space + 1;
    }
    // After the command: state is field 3, utime 14 and stime 15 (1-based in proc(5)).
    if (fields.size() < 13)
        return -1;
    return std::stol(fields[11]) + std::stol(fields[12]);
}

double IdleCpuMs(pid_t pid, int seconds) {
    const long before = CpuTicks(pid);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const long after = CpuTicks(pid);
    return static_cast<double>(after - before) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Started {
    Child child;
    xcb_window_t window = 0;
    double ms = 0;
};

std::optional<Started> StartAndWait(xcb_connection_t *x, const std::vector<std::string> &args) {
    Started s;
    const auto begin = Clock::now();
    s.child = Spawn(args, false);
    if (s.child.pid < 0)
        return std::nullopt;
    const std::optional<xcb_window_t> window = WaitForMap(x, 20000);
    if (!window) {
        Stop(s.child);
        return std::nullopt;
    }
    s.window = *window;
    s.ms = std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
    return s;
}

std::string ReadLine(int fd) {
    std::string line;
    char c = 0;
    while (read(fd, &c, 1) == 1 && c != '\n')
        line += c;
    return line;
}

// Reads lines from fd until one starts with prefix or the time runs out.
bool WaitForLine(int fd, const std::string &prefix, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string line;
    while (Clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
            continue;
        char c = 0;
        if (read(fd, &c, 1) != 1)
            return false;
        if (c != '\n') {
            line += c;
            continue;
        }
        if (line.rfind(prefix, 0) == 0)
            return true;
        line.clear();
    }
    return false;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s <dccd-tuner> <bare_window> <dccd-sim> [rounds] [idle s]\n",
                     argv[0]);
        return 2;
    }
    const std::string tuner = argv[1];
    // The targets of each program: the tuner's window is small and fixed, DCCD Tunes an ordinary
    // desktop window measured against the bare one.
    const std::string name = tuner.substr(tuner.rfind('/') + 1);
    const bool isTunes = name == "dccd-tunes";
    const char *label = isTunes ? "DCCD Tunes" : "tuner";
    const std::string bare = argv[2];
    const std::string sim = argv[3];
    const int rounds = argc > 4 ? std::atoi(argv[4]) : 10;
    const int idleSeconds = argc > 5 ? std::atoi(argv[5]) : 10;

    xcb_connection_t *x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x)) {
        std::fprintf(stderr, "no X server (set DISPLAY)\n");
        return 1;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x, root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(x);
    setenv("QT_QPA_PLATFORM", "xcb", 1);

    // Start-up, alternating the programs so that load on the machine hits them alike. DCCD
    // Tunes opens at 800 × 500: its memory is set beside a bare window as large, for the
    // pixels; its start beside the tuner's baseline, a bare window as small as its button (a
    // window given its size maps before it has measured any text, and would flatter the bare).
    enum Program { Measured, Bare, BareAsLarge };
    std::vector<double> ms[3], rssKb[3];
    for (int i = 0; i < rounds; ++i) {
        for (const Program program : {Measured, Bare, BareAsLarge}) {
            if (program == BareAsLarge && !isTunes)
                continue;
            const std::vector<std::string> args =
                program == Measured ? std::vector<std::string>{tuner}
                : program == Bare   ? std::vector<std::string>{bare}
                                    : std::vector<std::string>{bare, "800", "500"};
            std::optional<Started> s = StartAndWait(x, args);
            if (!s) {
                std::fprintf(stderr, "%s never mapped a window\n", args[0].c_str());
                return 1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            ms[program].push_back(s->ms);
            rssKb[program].push_back(static_cast<double>(StatusKb(s->child.pid, "VmRSS:")));
            Stop(s->child);
        }
    }
    const double tunerStart = Median(ms[Measured]);
    const double bareStart = Median(ms[Bare]);
    std::printf("start to window mapped, median of %d: %s %.1f ms, bare window %.1f ms, "
                "ratio %.2f (target <= %s)\n",
                rounds, label, tunerStart, bareStart, tunerStart / bareStart,
                isTunes ? "1.20" : "1.30");
    if (isTunes)
        std::printf("resident memory after start, median: %s %.1f MB, bare window as large "
                    "%.1f MB (target: within 6 MB of it), bare window %.1f MB\n",
                    label, Median(rssKb[Measured]) / 1024.0, Median(rssKb[BareAsLarge]) / 1024.0,
                    Median(rssKb[Bare]) / 1024.0);
    else
        std::printf("resident memory after start, median: tuner %.1f MB (target <= 40), bare "
                    "window %.1f MB\n",
                    Median(rssKb[Measured]) / 1024.0, Median(rssKb[Bare]) / 1024.0);

    // Idle CPU, disconnected.
    std::optional<Started> idle = StartAndWait(x, {tuner});
    if (!idle)
        return 1;
    std::this_thread::sleep_for(std::chrono::seconds(1));
    std::printf("CPU over %d s idle, %s: %.0f ms (target 0)\n", idleSeconds,
                isTunes ? "DCCD Tunes" : "disconnected", IdleCpuMs(idle->child.pid, idleSeconds));
    Stop(idle->child);
    if (isTunes) {
        xcb_disconnect(x);
        return 0;
    }

    // Idle CPU, connected to the simulator: click Connect and let the report arrive first.
    Child simulator = Spawn({sim}, true);
    const std::string device = ReadLine(simulator.out);
    std::optional<Started> connected = StartAndWait(x, {tuner, "--port", "1=" + device});
    if (!connected) {
        Stop(simulator);
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const std::string click =
        "xdotool mousemove --window " + std::to_string(connected->window) + " 228 83 click 1";
    if (std::system(click.c_str()) != 0)
        std::fprintf(stderr, "xdotool failed\n");
    std::this_thread::sleep_for(std::chrono::seconds(1));
    // The simulator logs the read request once the tuner has connected.
    const bool answered = WaitForLine(simulator.out, "received: R", 5000);
    std::printf("CPU over %d s idle, connected%s: %.0f ms (target 0)\n", idleSeconds,
                answered ? "" : " (NOT CONNECTED: the simulator saw no read request)",
                IdleCpuMs(connected->child.pid, idleSeconds));
    Stop(connected->child);
    Stop(simulator);
    xcb_disconnect(x);
    return 0;
}
