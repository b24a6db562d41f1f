// The figures of the device's screens: the CPU an idle device takes with its window (on a
// display of its own, Xvfb) or its terminal screen (on a pseudo-terminal) open, next to a bare
// 20 ms poll loop; and the time from a key byte on the infrared line to the window showing the
// frame it made, next to a process that reads the byte and writes a line.
#include "window_figures.h"
#include "measure.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

using bench::cpuNs;
using bench::p99;

using Clock = std::chrono::steady_clock;

struct Spread {
    double min, median, max;
};

Spread spread(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return Spread{v.front(), v[v.size() / 2], v.back()};
}

void stop(pid_t pid) {
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 500 && waitpid(pid, nullptr, WNOHANG) == 0; ++i)
        usleep(10000);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

bool waitUntil(const std::function<bool()> &done, double seconds) {
    auto end = Clock::now() + std::chrono::milliseconds(int(seconds * 1000));
    while (!done()) {
        if (Clock::now() > end)
            return false;
        usleep(20000);
    }
    return true;
}

// A display of its own; its number, or -1 when Xvfb is not there. It does not reset when its
// last client goes, or it could refuse the next round's device while it resets.
int startXvfb(pid_t *pid) {
    int p[2];
    if (pipe(p) != 0)
        return -1;
    *pid = fork();
    if (*pid == 0) {
        close(p[0]);
        int null = open("/dev/null", O_RDWR);
        dup2(null, 1);
        dup2(null, 2);
        std::string fd = std::to_string(p[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1400x1100x24",
               "-nolisten", "tcp", "-noreset", static_cast<char *>(nullptr));
        _exit(127);
    }
    close(p[1]);
    // The whole line, newline included: Xvfb may write it in more than one piece, and a pipe
    // closed before the last one ends the server ("Cannot write display number").
    std::string line;
    auto end = Clock::now() + std::chrono::seconds(10);
    while (line.find('\n') == std::string::npos && Clock::now() < end) {
        pollfd f{p[0], POLLIN, 0};
        char buf[16];
        ssize_t n = poll(&f, 1, 1000) > 0 ? read(p[0], buf, sizeof buf) : -1;
        if (n == 0)
            break; // Xvfb ended
        if (n > 0)
            line.append(buf, size_t(n));
    }
    close(p[0]);
    if (line.find('\n') == std::string::npos) {
        stop(*pid);
        return -1;
    }
    return std::atoi(line.c_str());
}

struct Device {
    pid_t pid = -1;
    int out = -1;    // standard output (the window's frame lines), or the terminal's master
    std::string dir; // state folder
};

// `handheld --state DIR ARGS...` with the window on `display`, or (display < 0) on a terminal.
Device startDevice(const std::string &handheld, int display, std::vector<std::string> args) {
    Device d;
    char tmpl[] = "/tmp/bench-window-XXXXXX";
    d.dir = mkdtemp(tmpl);
    args.insert(args.begin(), {handheld, "--state", d.dir + "/state"});
    std::vector<char *> argv;
    for (auto &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    if (display >= 0) {
        int p[2];
        if (pipe(p) != 0)
            return d;
        d.pid = fork();
        if (d.pid == 0) {
            setenv("DISPLAY", (":" + std::to_string(display)).c_str(), 1);
            dup2(p[1], 1);
            int null = open("/dev/null", O_RDWR);
            dup2(null, 0);
            dup2(null, 2);
            close(p[0]);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(p[1]);
        d.out = p[0];
    } else {
        winsize ws{40, 120, 0, 0};
        d.pid = forkpty(&d.out, nullptr, nullptr, &ws);
        if (d.pid == 0) {
            unsetenv("DISPLAY");
            setenv("TERM", "xterm", 1);
            execv(argv[0], argv.data());
            _exit(127);
        }
    }
    return d;
}

void finish(Device &d) {
    stop(d.pid);
    if (d.out >= 0)
        close(d.out);
    std::system(("rm -rf " + d.dir).c_str());
}

// Reads what the device wrote (so it never blocks on a full pipe); true when `want` came.
bool drain(Device &d, std::string *seen, int timeoutMs) {
    pollfd f{d.out, POLLIN, 0};
    if (poll(&f, 1, timeoutMs) <= 0)
        return false;
    char buf[4096];
    ssize_t n = read(d.out, buf, sizeof buf);
    if (n <= 0)
        return false;
    seen->append(buf, size_t(n));
    return true;
}

// Lets `seconds` pass, reading what the device writes meanwhile. This process sleeps until the
// device writes or the time is up, so that it does not wake on its own every few ms beside the
// device and the poll loop it is measured against.
void settle(Device &d, std::string *seen, double seconds) {
    auto end = Clock::now() + std::chrono::milliseconds(int(seconds * 1000));
    for (auto now = Clock::now(); now < end; now = Clock::now()) {
        int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count());
        if (!drain(d, seen, std::max(left, 1)) && Clock::now() < end)
            usleep(20000); // the device has hung up: nothing more will come
    }
}

bool running(const Device &d) {
    struct stat st {};
    return stat((d.dir + "/state/monitor").c_str(), &st) == 0;
}

// Idle CPU (% of a core) of a device with its window or terminal screen, and of a bare 20 ms
// poll loop over the same interval, while this process sleeps.
bool idleRound(const std::string &handheld, int display, double seconds, double *dev,
               double *floor) {
    Device d = startDevice(handheld, display,
                           display < 0 ? std::vector<std::string>{"--terminal"}
                                       : std::vector<std::string>{});
    std::string seen;
    bool up = waitUntil(
        [&] {
            drain(d, &seen, 0);
            return running(d);
        },
        60); // a loaded machine can take half a minute to start a device on a new display
    if (!up) {
        finish(d);
        return false;
    }
    settle(d, &seen, 1.0);
    pid_t loop = fork();
    if (loop == 0)
        for (;;)
            poll(nullptr, 0, 20);
    uint64_t d0 = cpuNs(d.pid), f0 = cpuNs(loop);
    auto t0 = Clock::now();
    settle(d, &seen, seconds);
    double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    *dev = double(cpuNs(d.pid) - d0) / 1e9 / wall * 100;
    *floor = double(cpuNs(loop) - f0) / 1e9 / wall * 100;
    stop(loop);
    finish(d);
    return true;
}

// The floor of the latency: a process that polls a pseudo-terminal, reads the byte and writes a
// line to a pipe, as the window writes its frame line.
double echoFloor(int keys) {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(master);
    unlockpt(master);
    int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    termios t;
    tcgetattr(slave, &t);
    cfmakeraw(&t);
    tcsetattr(slave, TCSANOW, &t);
    int p[2];
    if (pipe(p) != 0)
        return 0;
    pid_t pid = fork();
    if (pid == 0) {
        for (;;) {
            pollfd f{master, POLLIN, 0};
            unsigned char b[64];
            if (poll(&f, 1, -1) > 0 && read(master, b, sizeof b) > 0 && write(p[1], "frame\n", 6))
                continue;
        }
    }
    close(p[1]);
    std::vector<double> samples;
    for (int i = 0; i < keys; ++i) {
        unsigned char b = 0xEE;
        auto t0 = Clock::now();
        char buf[64];
        pollfd f{p[0], POLLIN, 0};
        if (write(slave, &b, 1) != 1 || poll(&f, 1, 5000) <= 0 || read(p[0], buf, sizeof buf) <= 0)
            break;
        samples.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        usleep(20000);
    }
    stop(pid);
    close(p[0]);
    close(slave);
    close(master);
    return samples.empty() ? 0 : p99(samples);
}

// Key byte on the line to the window's frame line: the p99 of `keys` key presses, or a
// negative value when no frame came.
double latencyRound(const std::string &handheld, int display, int keys) {
    Device d = startDevice(handheld, display, {"--trace-frames"});
    std::string seen;
    if (!waitUntil(
            [&] {
                drain(d, &seen, 0);
                return running(d);
            },
            30)) {
        finish(d);
        return -1;
    }
    int line = open((d.dir + "/state/ir-line").c_str(), O_RDWR | O_NOCTTY);
    usleep(500000);
    while (drain(d, &seen, 50)) {
    }
    std::vector<double> samples;
    for (int i = 0; i < keys && line >= 0; ++i) {
        unsigned char down = 0xEE, up = 0x6E; // A, bit-inverted, and its break
        size_t from = seen.size();
        auto t0 = Clock::now();
        if (write(line, &down, 1) != 1)
            break;
        while (seen.find("frame", from) == std::string::npos)
            if (!drain(d, &seen, 2000))
                break;
        if (seen.find("frame", from) == std::string::npos)
            break;
        samples.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        if (write(line, &up, 1) != 1)
            break;
        while (drain(d, &seen, 30)) {
        }
    }
    if (line >= 0)
        close(line);
    finish(d);
    return samples.size() < size_t(keys) / 2 ? -1 : p99(samples);
}

} // namespace

void windowFigures(int rounds, const std::string &handheld, bool idle, bool latency) {
    pid_t xvfb = -1;
    int display = startXvfb(&xvfb);
    if (display < 0)
        std::printf("| the window's figures | - | - | - | (no Xvfb: ./setup installs xvfb) |\n");
    if (idle) {
        std::vector<int> screens{-1};
        if (display >= 0)
            screens.insert(screens.begin(), display);
        for (int where : screens) {
            std::vector<double> dev, floor;
            for (int r = 0; r < rounds; ++r) {
                double a, b;
                if (idleRound(handheld, where, 5, &a, &b))
                    dev.push_back(a), floor.push_back(b);
            }
            const char *what = where >= 0 ? "window (Xvfb)" : "terminal screen (pty)";
            if (dev.empty()) {
                std::printf("| idle CPU, device with its %s | the device did not come up | - | - "
                            "| <= 1.3 |\n",
                            what);
                continue;
            }
            Spread d = spread(dev), f = spread(floor);
            // A % of a core at 50 wakes a second is 200 times the us of one wake.
            std::printf("| idle CPU, device with its %s | %.3f/%.3f/%.3f %% (%.0f us a wake) | "
                        "20 ms poll loop: %.4f/%.4f/%.4f %% (%.0f us) | %.2f | <= 1.3 |\n",
                        what, d.min, d.median, d.max, d.median * 200, f.min, f.median, f.max,
                        f.median * 200, d.median / f.median);
            std::fflush(stdout);
        }
    }
    if (latency && display >= 0) {
        std::vector<double> dev, floor;
        for (int r = 0; r < rounds; ++r) {
            double p = latencyRound(handheld, display, 50);
            if (p >= 0)
                dev.push_back(p);
            floor.push_back(echoFloor(50));
        }
        if (dev.empty()) {
            std::printf("| key byte on the line to the window's pixels, p99 | no frame came after "
                        "a key (does Notes paint?) | - | - | <= 2.0 ms |\n");
        } else {
            Spread d = spread(dev), f = spread(floor);
            std::printf("| key byte on the line to the window's pixels (frame shown), p99 | "
                        "%.2f/%.2f/%.2f ms | pty poll+read in C, a line on a pipe: %.2f/%.2f/%.2f "
                        "ms | %.1f | <= 2.0 ms |\n",
                        d.min, d.median, d.max, f.min, f.median, f.max, d.median / f.median);
        }
        std::fflush(stdout);
    }
    stop(xvfb);
}
