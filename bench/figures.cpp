// The device's figures side by side with their host floors, in one run: each figure is taken in
// several rounds and printed as min/median/max with the ratio to its floor and the goal.
//
//   bench_figures [ROUNDS] [FIGURE...]   (default 3 rounds and every figure: hour, launches,
//                                        decoder, latency, idle, regfiles, window-idle,
//                                        window-latency; the handheld program is the one
//                                        built with it; the window's on Xvfb)
//
// Idle CPU is read from the kernel's per-thread run time (/proc/PID/task/*/schedstat), so it is
// exact to the nanosecond; the machine's load average is printed before and after, and a
// figure taken while it was above the number of cores is marked as not to be judged.
#include "measure.h"
#include "window_figures.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
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
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using bench::cpuNs;
using bench::p99;

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

struct Stats {
    double min, median, max;
};

Stats stats(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return Stats{v.front(), v[v.size() / 2], v.back()};
}

double loadAverage() {
    double l[1] = {0};
    getloadavg(l, 1);
    return l[0];
}

int cores() {
    return int(std::thread::hardware_concurrency());
}

// A child process with its standard input, output and error as pipes.
struct Child {
    pid_t pid = -1;
    int in = -1, out = -1, err = -1;
    std::string outSeen, errSeen;

    bool start(const std::vector<std::string> &argv) {
        int i[2], o[2], e[2];
        if (pipe(i) || pipe(o) || pipe(e))
            return false;
        pid = fork();
        if (pid == 0) {
            dup2(i[0], 0);
            dup2(o[1], 1);
            dup2(e[1], 2);
            for (int fd : {i[0], i[1], o[0], o[1], e[0], e[1]})
                close(fd);
            std::vector<char *> args;
            for (auto &a : argv)
                args.push_back(const_cast<char *>(a.c_str()));
            args.push_back(nullptr);
            execv(args[0], args.data());
            _exit(127);
        }
        close(i[0]);
        close(o[1]);
        close(e[1]);
        in = i[1];
        out = o[0];
        err = e[0];
        return pid > 0;
    }
    // Reads `fd` into `seen` until `want` appears after `from`; false on time-out or end.
    static bool waitFor(int fd, std::string &seen, const std::string &want, size_t from,
                        double limit) {
        auto end = Clock::now() + std::chrono::milliseconds(int(limit * 1000));
        while (seen.find(want, from) == std::string::npos) {
            int left = int(
                std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count());
            if (left <= 0)
                return false;
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, left) <= 0)
                continue;
            char buf[4096];
            ssize_t n = read(fd, buf, sizeof buf);
            if (n <= 0)
                return false;
            seen.append(buf, size_t(n));
        }
        return true;
    }
    int finish(rusage *ru) {
        if (in >= 0)
            close(in);
        in = -1;
        int status = 0;
        auto end = Clock::now() + std::chrono::seconds(10);
        while (wait4(pid, &status, WNOHANG, ru) == 0) {
            // Keep the pipes drained so the child never blocks on a full one.
            for (int fd : {out, err}) {
                pollfd p{fd, POLLIN, 0};
                char buf[65536];
                if (poll(&p, 1, 0) > 0 && read(fd, buf, sizeof buf) <= 0) {
                }
            }
            if (Clock::now() > end) {
                kill(pid, SIGKILL);
                wait4(pid, &status, 0, ru);
                break;
            }
            usleep(2000);
        }
        for (int fd : {out, err})
            if (fd >= 0)
                close(fd);
        return status;
    }
};

// A bare loop of poll time-outs: what waiting costs at its least.
pid_t pollLoop(int periodMs) {
    pid_t pid = fork();
    if (pid == 0) {
        for (;;)
            poll(nullptr, 0, periodMs);
    }
    return pid;
}

const std::string kHandheld = HANDHELD_EXE;

std::string tempPath(const char *name) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "/tmp/bench-%d-%s", int(getpid()), name);
    return buf;
}

// A state folder whose hive has the keyboard enabled or not: a first live run installs the
// device, the registry tool changes the setting.
std::string hiveWith(bool enabled) {
    std::string state = tempPath(enabled ? "on" : "off");
    std::string hive = state + "/registry.db";
    std::string cmd = "rm -rf " + state + " && mkdir -p " + state + " && " + kHandheld +
                      " live --hive " + hive + " </dev/null >/dev/null 2>&1 && " + kHandheld +
                      " --state " + state + " reg set 'Drivers\\BuiltIn\\Norvel' " +
                      "'Enable Keyboard' dword " + (enabled ? "1" : "0") + " >/dev/null";
    if (std::system(cmd.c_str()) != 0) {
        std::printf("(could not prepare the hive: %s)\n", cmd.c_str());
        return "";
    }
    return hive;
}

// Idle CPU of `handheld live` next to a bare poll loop, over the same interval.
void idleCpu(int rounds, bool enabled, double seconds_) {
    std::vector<double> dev, floor;
    std::string hive = hiveWith(enabled);
    for (int r = 0; r < rounds; ++r) {
        Child c;
        std::vector<std::string> argv{kHandheld, "live"};
        if (!hive.empty()) {
            argv.push_back("--hive");
            argv.push_back(hive);
        }
        c.start(argv);
        Child::waitFor(c.out, c.outSeen, "notes:", 0, 20);
        pid_t f = pollLoop(enabled ? 20 : 1000);
        usleep(500000);
        uint64_t d0 = cpuNs(c.pid), f0 = cpuNs(f);
        auto t0 = Clock::now();
        usleep(useconds_t(seconds_ * 1e6));
        uint64_t d1 = cpuNs(c.pid), f1 = cpuNs(f);
        double wall = seconds(Clock::now() - t0);
        dev.push_back((d1 - d0) / 1e9 / wall * 100);
        floor.push_back((f1 - f0) / 1e9 / wall * 100);
        kill(f, SIGKILL);
        waitpid(f, nullptr, 0);
        rusage ru;
        c.finish(&ru);
    }
    Stats d = stats(dev), fl = stats(floor);
    if (enabled)
        std::printf("| idle CPU, keyboard enabled | %.3f/%.3f/%.3f %% | 20 ms poll loop: "
                    "%.4f/%.4f/%.4f %% | %.1f | <= 1.3 |\n",
                    d.min, d.median, d.max, fl.min, fl.median, fl.max, d.median / fl.median);
    else
        std::printf("| idle CPU, \"Enable Keyboard\" 0 | %.4f/%.4f/%.4f %% | 1 s poll loop: "
                    "%.5f/%.5f/%.5f %% | %.1f | <= 0.02 %% of a core |\n",
                    d.min, d.median, d.max, fl.min, fl.median, fl.max, d.median / fl.median);
    std::fflush(stdout);
}

// The floor of the latency: a process that polls a pseudo-terminal, reads the byte and writes
// a line to its standard output, as the device writes its journal.
pid_t ptyEcho(std::string *slave, int *out) {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(master);
    unlockpt(master);
    *slave = ptsname(master);
    int keep = open(slave->c_str(), O_RDWR | O_NOCTTY);
    termios t;
    tcgetattr(keep, &t);
    cfmakeraw(&t);
    tcsetattr(keep, TCSANOW, &t);
    int p[2];
    if (pipe(p) != 0)
        return -1;
    pid_t pid = fork();
    if (pid == 0) {
        close(p[0]);
        for (;;) {
            pollfd f{master, POLLIN, 0};
            if (poll(&f, 1, -1) <= 0)
                continue;
            unsigned char b[64];
            ssize_t n = read(master, b, sizeof b);
            for (ssize_t i = 0; i < n; ++i) {
                char line[64];
                int len =
                    std::snprintf(line, sizeof line, "{\"call\":\"keybd_event\",\"b\":%d}\n", b[i]);
                if (write(p[1], line, size_t(len)) < 0)
                    _exit(1);
            }
        }
    }
    close(p[1]);
    close(master);
    close(keep);
    *out = p[0];
    return pid;
}

// One side of the latency figure: a pseudo-terminal the key bytes are written to and the pipe
// on which a `keybd_event` line comes back for each.
struct KeyEcho {
    int pty = -1, out = -1;
    std::string seen;
    size_t from = 0;

    // Milliseconds from writing `b` to its line, or -1 when none came within 5 s.
    double round(unsigned char b) {
        auto t0 = Clock::now();
        if (write(pty, &b, 1) != 1 || !Child::waitFor(out, seen, "keybd_event", from, 5))
            return -1;
        double ms = seconds(Clock::now() - t0) * 1000;
        size_t at = seen.find("keybd_event", from);
        size_t eol = seen.find('\n', at);
        from = eol == std::string::npos ? at + 1 : eol + 1;
        if (from > 65536) {
            seen.erase(0, from);
            from = 0;
        }
        return ms;
    }
};

// A byte written on `live`'s pseudo-terminal to its keybd_event line read from the journal's
// pipe, beside the floor's. The two take turns byte by byte, so a busy moment of the machine
// falls on both; the first bytes are not counted (pages and caches still cold), and the gaps
// vary so that the bytes do not keep one phase of the device's idle pass.
void latency(int rounds, int keys) {
    constexpr int kWarmUp = 20;
    std::vector<double> dev, floor, ratio, devMedian, floorMedian;
    unsigned seed = 12345;
    auto gap = [&seed] {
        seed = seed * 1103515245 + 12345;
        usleep(useconds_t(8000 + (seed >> 16) % 8000));
    };
    for (int r = 0; r < rounds; ++r) {
        Child c;
        c.start({kHandheld, "live", "--journal"});
        if (!Child::waitFor(c.err, c.errSeen, "notes:", 0, 20)) {
            std::printf("latency: the live device did not come up\n");
            return;
        }
        size_t at = c.errSeen.find("infrared line: ") + 15;
        std::string path = c.errSeen.substr(at, c.errSeen.find('\n', at) - at);
        KeyEcho d{open(path.c_str(), O_RDWR | O_NOCTTY), c.out, c.outSeen, c.outSeen.size()};
        unsigned char hello[] = {0x05, 0x02};
        if (write(d.pty, hello, 2) != 2)
            return;
        usleep(300000);
        std::string slave;
        KeyEcho f;
        pid_t echo = ptyEcho(&slave, &f.out);
        f.pty = open(slave.c_str(), O_RDWR | O_NOCTTY);
        std::vector<double> ds, fs;
        for (int i = -kWarmUp; i < 2 * keys; ++i) {
            unsigned char b = (i & 1) ? 0x6E : 0xEE; // A down, A up
            double a = d.round(b);
            gap();
            double e = f.round(b);
            gap();
            if (a < 0 || e < 0)
                break;
            if (i >= 0) {
                ds.push_back(a);
                fs.push_back(e);
            }
        }
        kill(echo, SIGKILL);
        waitpid(echo, nullptr, 0);
        close(f.pty);
        close(f.out);
        close(d.pty);
        rusage ru;
        c.finish(&ru);
        if (ds.size() < size_t(keys))
            continue;
        dev.push_back(p99(ds));
        floor.push_back(p99(fs));
        ratio.push_back(dev.back() / floor.back());
        devMedian.push_back(stats(ds).median);
        floorMedian.push_back(stats(fs).median);
    }
    if (dev.empty()) {
        std::printf("latency: no round completed\n");
        return;
    }
    Stats d = stats(dev), fl = stats(floor), q = stats(ratio);
    std::printf("| byte on the pty to `keybd_event`, p99 of %d bytes a round, `live` | "
                "%.2f/%.2f/%.2f ms (median byte %.3f ms) | pty poll+read in C, same pipe hop, "
                "taking turns with the device: %.2f/%.2f/%.2f ms (median byte %.3f ms) | "
                "%.1f (worst round %.1f) | <= 2.0 |\n",
                2 * keys, d.min, d.median, d.max, stats(devMedian).median, fl.min, fl.median,
                fl.max, stats(floorMedian).median, q.median, q.max);
    std::fflush(stdout);
}

// Plays a scenario; wall time, peak memory and CPU time (user and system: what does not depend
// on how long the run waited for a core on a shared machine) of the run.
bool play(const std::string &file, double *wall, double *peakMb, std::string *journal = nullptr,
          double *cpu = nullptr) {
    Child c;
    auto t0 = Clock::now();
    c.start({kHandheld, "play", file});
    std::string sink;
    for (;;) {
        pollfd p{c.out, POLLIN, 0};
        if (poll(&p, 1, 60000) <= 0)
            break;
        char buf[65536];
        ssize_t n = read(c.out, buf, sizeof buf);
        if (n <= 0)
            break;
        if (journal)
            journal->append(buf, size_t(n));
    }
    rusage ru{};
    int status = c.finish(&ru);
    *wall = seconds(Clock::now() - t0);
    *peakMb = ru.ru_maxrss / 1024.0;
    if (cpu)
        *cpu = ru.ru_utime.tv_sec + ru.ru_stime.tv_sec +
               (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string writeScenario(const char *name, const std::function<void(FILE *)> &body) {
    std::string path = tempPath(name);
    FILE *f = std::fopen(path.c_str(), "w");
    body(f);
    std::fclose(f);
    return path;
}

// An hour of typing in device time: a key every 40 ms (make, 20 ms, break, 20 ms); with
// `notes`, into Notes, which paints every key on the screen.
void typedHour(int rounds, bool notes = false) {
    std::string hour = writeScenario("hour.scn", [notes](FILE *f) {
        std::fputs("boot\nwait 1000\nrx 05 02\nwait 40\n", f);
        if (notes)
            std::fputs("run notes\n", f);
        for (int i = 0; i < 3600 * 25; ++i)
            std::fputs("rx EE\nwait 20\nrx 6E\nwait 20\n", f);
    });
    std::string empty = writeScenario("empty.scn", [](FILE *f) { std::fputs("wait 1\n", f); });
    std::vector<double> speed, peak, emptyPeak, walls, cpus;
    for (int r = 0; r < rounds; ++r) {
        double wall, mb, w2, mb2, cpu = 0;
        if (!play(hour, &wall, &mb, nullptr, &cpu) || !play(empty, &w2, &mb2)) {
            std::printf("typed hour: the scenario failed\n");
            return;
        }
        walls.push_back(wall);
        cpus.push_back(cpu);
        speed.push_back(3601.04 / cpu);
        peak.push_back(mb);
        emptyPeak.push_back(mb2);
    }
    Stats w = stats(walls), c = stats(cpus), s = stats(speed), p = stats(peak),
          e = stats(emptyPeak);
    std::printf("| one hour of typing in device time (`handheld play`, key every 40 ms%s) | "
                "CPU %.2f/%.2f/%.2f s (wall %.2f/%.2f/%.2f s) | - | %.0fx real time per CPU "
                "second | >= 1000x |\n",
                notes ? ", into Notes, painted" : "", c.min, c.median, c.max, w.min, w.median,
                w.max, s.median);
    if (notes) {
        std::remove(hour.c_str());
        std::remove(empty.c_str());
        std::fflush(stdout);
        return;
    }
    std::printf("| peak memory, one typed hour in `play` | %.1f/%.1f/%.1f MB | empty scenario "
                "%.1f MB | %.2f | flat (bounded journal) |\n",
                p.min, p.median, p.max, e.median, p.median / e.median);
    std::remove(hour.c_str());
    std::remove(empty.c_str());
    std::fflush(stdout);
}

// Hot-key launches: time per launch (wall and CPU, which a loaded machine disturbs less) and
// peak memory for 10,000 and 100,000 of them.
void launches() {
    double wall[2], mb[2], cpu[2];
    int counts[2] = {10000, 100000};
    for (int k = 0; k < 2; ++k) {
        std::string scn = writeScenario("launch.scn", [&](FILE *f) {
            std::fputs("boot\nwait 1000\nrx 05 02\nwait 40\n", f);
            for (int i = 0; i < counts[k]; ++i)
                std::fputs("rx CC 4C\nwait 40\n", f); // first application key, make and break
        });
        if (!play(scn, &wall[k], &mb[k], nullptr, &cpu[k])) {
            std::printf("launches: the scenario failed\n");
            return;
        }
        std::remove(scn.c_str());
    }
    std::printf("| hot-key launches | %.1f us per launch at 100,000 (%.1f at 10,000), CPU %.1f us "
                "(%.1f); peak %.1f MB (%.1f MB at 10,000) | - | %.2f | flat, constant |\n",
                wall[1] / counts[1] * 1e6, wall[0] / counts[0] * 1e6, cpu[1] / counts[1] * 1e6,
                cpu[0] / counts[0] * 1e6, mb[1], mb[0], mb[1] / mb[0]);
    std::fflush(stdout);
}

// Million codes a second through the decoder: on the platform with the journal on, and on
// no-op platform calls.
double runNumber(const std::string &exe) {
    FILE *p = popen(exe.c_str(), "r");
    double v = 0;
    if (!p || std::fscanf(p, "%lf", &v) != 1)
        v = 0;
    if (p)
        pclose(p);
    return v;
}

// Every stream of bench_decoder: character keys, typed text, the Symbol layer, uniform bytes.
void decoder(int rounds) {
    const char *const streams[][2] = {{"chars", "random make/break pairs of character keys"},
                                      {"text", "a sentence typed with Shift"},
                                      {"symbols", "Symbol layer, characters posted"},
                                      {"bytes", "uniform bytes 0-255"}};
    for (const auto &stream : streams) {
        std::string args = std::string(" 2000000 ") + stream[0];
        std::vector<double> dev, floor;
        for (int r = 0; r < rounds; ++r) {
            dev.push_back(runNumber(std::string(BENCH_DIR) + "/bench_decoder" + args));
            floor.push_back(runNumber(std::string(BENCH_DIR) + "/bench_decoder_floor" + args));
        }
        Stats d = stats(dev), fl = stats(floor);
        std::printf("| decoder through the platform, journal on (%s) | %.2f/%.2f/%.2f M codes/s "
                    "| decoder alone, no-op platform calls: %.1f/%.1f/%.1f M codes/s | %.3f | "
                    ">= 10 M codes/s |\n",
                    stream[1], d.min, d.median, d.max, fl.min, fl.median, fl.max,
                    d.median / fl.median);
        std::fflush(stdout);
    }
}

// Runs the handheld program with standard output to `out`; wall and CPU seconds and peak
// memory (MB) of the run.
bool runTool(const std::vector<std::string> &args, const std::string &out, double *wall,
             double *cpu, double *peakMb) {
    auto t0 = Clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 1);
        std::vector<char *> argv{const_cast<char *>(kHandheld.c_str())};
        for (auto &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage ru{};
    wait4(pid, &status, 0, &ru);
    *wall = seconds(Clock::now() - t0);
    *cpu =
        ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    *peakMb = ru.ru_maxrss / 1024.0;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Registry files: 50,000 keys (500 groups of 100, three values each) imported into a new
// device's hive and exported again; and the memory that one 10 MB string line takes.
void registryFiles(int rounds) {
    std::string file = writeScenario("keys.reg", [](FILE *f) {
        std::fputs("REGEDIT4\n\n", f);
        for (int i = 0; i < 50000; ++i)
            std::fprintf(f,
                         "[HKEY_LOCAL_MACHINE\\Software\\Bench\\Group%d\\Key%d]\n\"Name\"=\"value "
                         "%d\"\n\"Number\"=dword:%08x\n\"Data\"=hex:01,02,03,04,05,06,07,08\n\n",
                         i / 100, i, i, unsigned(i));
    });
    std::string line = writeScenario("line.reg", [](FILE *f) {
        std::fputs("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Big]\n\"s\"=\"", f);
        std::string chunk(1 << 20, 's');
        for (int i = 0; i < 10; ++i)
            std::fputs(chunk.c_str(), f);
        std::fputs("\"\n", f);
    });
    std::string state = tempPath("regfiles");
    std::vector<double> inWall, inCpu, outWall, outCpu, inMb, outMb, lineMb, emptyMb;
    for (int r = 0; r < rounds; ++r) {
        std::string fresh = "rm -rf " + state + " && mkdir -p " + state + " && " + kHandheld +
                            " live --hive " + state + "/registry.db </dev/null >/dev/null 2>&1";
        double w, c, mb, w2, c2, mb2;
        if (std::system(fresh.c_str()) != 0 ||
            !runTool({"--state", state, "reg", "import", file}, "/dev/null", &w, &c, &mb) ||
            !runTool({"--state", state, "reg", "export"}, "/dev/null", &w2, &c2, &mb2)) {
            std::printf("registry files: the tool failed\n");
            return;
        }
        inWall.push_back(w), inCpu.push_back(c), inMb.push_back(mb);
        outWall.push_back(w2), outCpu.push_back(c2), outMb.push_back(mb2);
        if (std::system(fresh.c_str()) != 0 ||
            !runTool({"--state", state, "reg", "query", "Drivers"}, "/dev/null", &w, &c, &mb) ||
            !runTool({"--state", state, "reg", "import", line}, "/dev/null", &w2, &c2, &mb2)) {
            std::printf("registry files: the tool failed on the long line\n");
            return;
        }
        emptyMb.push_back(mb), lineMb.push_back(mb2);
    }
    Stats iw = stats(inWall), ic = stats(inCpu), ow = stats(outWall), oc = stats(outCpu),
          im = stats(inMb), om = stats(outMb), lm = stats(lineMb), em = stats(emptyMb);
    std::printf("| `reg import` of 50,000 keys, 150,000 values (6.7 MB REGEDIT4) into a new "
                "device's hive | wall %.2f/%.2f/%.2f s, CPU %.2f/%.2f/%.2f s; peak %.0f MB | - | "
                "- | < 3 s |\n",
                iw.min, iw.median, iw.max, ic.min, ic.median, ic.max, im.median);
    std::printf("| `reg export` of those 50,000 keys | wall %.2f/%.2f/%.2f s, CPU %.2f/%.2f/%.2f "
                "s; peak %.0f MB | - | - | < 1 s |\n",
                ow.min, ow.median, ow.max, oc.min, oc.median, oc.max, om.median);
    std::printf("| peak memory, `reg import` of one 10 MB string line | %.0f/%.0f/%.0f MB | the "
                "tool on an empty hive %.0f MB | %.1fx the file above the tool's own | small "
                "multiple |\n",
                lm.min, lm.median, lm.max, em.median, (lm.median - em.median) / 10.0);
    std::system(("rm -rf " + state).c_str());
    std::remove(file.c_str());
    std::remove(line.c_str());
    std::fflush(stdout);
}

} // namespace

// A full repaint of the settings program's Config page, in CPU microseconds.
void configRepaint(int rounds) {
    std::vector<double> us;
    for (int r = 0; r < rounds; ++r)
        us.push_back(runNumber(std::string(BENCH_DIR) + "/bench_paint"));
    Stats u = stats(us);
    std::printf("| full repaint of the settings program's Config page (every window painted "
                "again) | CPU %.0f/%.0f/%.0f us | - | %.2f of the goal | < 2000 us |\n",
                u.min, u.median, u.max, u.median / 2000);
    std::fflush(stdout);
}

const char *const kFigures[] = {"hour",     "launches",    "decoder",        "latency", "idle",
                                "regfiles", "window-idle", "window-latency", "paint",   "notes"};

int usage(FILE *to) {
    std::fprintf(to, "usage: bench_figures [ROUNDS] [FIGURE...]\n"
                     "  ROUNDS  rounds of each figure, 1 or more (default 3)\n"
                     "  FIGURE  hour, launches, decoder, latency, idle, regfiles, window-idle, "
                     "window-latency, paint or notes (default all)\n");
    return to == stdout ? 0 : 2;
}

int main(int argc, char **argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0)
            return usage(stdout);
        bool known = false;
        for (const char *f : kFigures)
            known = known || std::strcmp(argv[i], f) == 0;
        char *end = nullptr;
        long n = std::strtol(argv[i], &end, 10);
        bool count = i == 1 && *argv[i] && *end == 0 && n >= 1;
        if (!known && !count) {
            std::fprintf(stderr, "bench_figures: not a round count or a figure: %s\n", argv[i]);
            return usage(stderr);
        }
    }
    // A first argument that is a number is the round count; the figures follow it.
    bool counted = argc > 1 && std::isdigit(static_cast<unsigned char>(argv[1][0]));
    int rounds = counted ? int(std::min(100L, std::strtol(argv[1], nullptr, 10))) : 3;
    int firstFigure = counted ? 2 : 1;
    double before = loadAverage();
    std::printf("bench_figures: %d rounds, %d cores, load average %.2f at the start\n\n", rounds,
                cores(), before);
    std::printf(
        "| figure | now (min/median/max) | floor | ratio | goal |\n|---|---|---|---|---|\n");
    std::fflush(stdout);
    auto want = [&](const char *figure) {
        if (argc <= firstFigure)
            return true;
        for (int i = firstFigure; i < argc; ++i)
            if (std::strcmp(argv[i], figure) == 0)
                return true;
        return false;
    };
    if (want("hour"))
        typedHour(rounds);
    if (want("notes"))
        typedHour(rounds, true);
    if (want("paint"))
        configRepaint(rounds);
    if (want("launches"))
        launches();
    if (want("decoder"))
        decoder(rounds);
    if (want("latency"))
        latency(rounds, 200);
    if (want("idle")) {
        idleCpu(rounds, true, 5);
        idleCpu(rounds, false, 5);
    }
    if (want("regfiles"))
        registryFiles(rounds);
    if (want("window-idle") || want("window-latency"))
        windowFigures(rounds, kHandheld, want("window-idle"), want("window-latency"));
    double after = loadAverage();
    std::printf("\nload average %.2f at the start, %.2f at the end", before, after);
    if (std::max(before, after) > cores())
        std::printf(": the machine was too loaded to judge (more runnable work than cores)");
    std::printf("\n");
    return 0;
}
