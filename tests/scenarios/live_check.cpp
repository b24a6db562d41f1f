// End to end in real time: `handheld live` puts the infrared line on a pseudo-terminal; bytes
// written there as a keyboard sends them must turn up as text in Notes. Time limits are
// generous (a loaded machine must not fail it); no result depends on how fast it runs.
//
//   live_check HANDHELD
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSkipped = 77; // the test's SKIP_RETURN_CODE

// Reads the child's output until `want` appears or the time is up; everything read is kept.
bool waitFor(int fd, std::string &seen, const std::string &want, int seconds) {
    auto end = Clock::now() + std::chrono::seconds(seconds);
    while (seen.find(want) == std::string::npos) {
        auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, int(left)) <= 0)
            continue;
        char buf[512];
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0)
            return false;
        seen.append(buf, size_t(n));
    }
    return true;
}

// Reads the child's output until it closes it or the time is up.
void drain(int fd, std::string &seen, int seconds) {
    auto end = Clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        pollfd p{fd, POLLIN, 0};
        if (left <= 0 || poll(&p, 1, int(left)) <= 0)
            return;
        char buf[512];
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0)
            return;
        seen.append(buf, size_t(n));
    }
}

void pause(int ms) {
    timespec ts{ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&ts, nullptr);
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: live_check HANDHELD\n");
        return 2;
    }
    // A host without pseudo-terminals cannot run the live device: skipped, not passed.
    int probe = posix_openpt(O_RDWR | O_NOCTTY);
    if (probe < 0) {
        std::printf("skipped: no pseudo-terminal on this host (%s)\n", std::strerror(errno));
        return kSkipped;
    }
    close(probe);
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0)
        return 1;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        close(in[1]);
        close(out[0]);
        execl(argv[1], argv[1], "live", static_cast<char *>(nullptr));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    std::string seen;
    bool ok = waitFor(out[0], seen, "infrared line: ", 20) && waitFor(out[0], seen, "\n", 20);
    int pty = -1;
    if (ok) {
        size_t at = seen.find("infrared line: ") + 15;
        std::string path = seen.substr(at, seen.find('\n', at) - at);
        pty = open(path.c_str(), O_RDWR | O_NOCTTY);
        ok = pty >= 0;
        if (ok) {
            termios t;
            tcgetattr(pty, &t);
            cfmakeraw(&t);
            tcsetattr(pty, TCSANOW, &t);
        } else {
            std::printf("cannot open %s: %s\n", path.c_str(), std::strerror(errno));
        }
    }
    if (ok) {
        ok = waitFor(out[0], seen, "notes: \"\"", 20); // Notes is up with an empty note
        // The handshake, then h, i: make and break codes inverted as on the wire.
        const unsigned char bytes[] = {0x05, 0x02, 0xE9, 0x69, 0xC2, 0x42};
        for (unsigned char b : bytes) {
            if (write(pty, &b, 1) != 1)
                ok = false;
            pause(60); // more than one 20 ms read time-out of the driver apart
        }
        ok = ok && waitFor(out[0], seen, "notes: \"hi\"", 20);
    }
    close(in[1]); // end of input ends the session
    drain(out[0], seen, 20);
    int status = 0;
    auto end = Clock::now() + std::chrono::seconds(20);
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() > end) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            std::printf("the handheld did not end after its input closed\n");
            ok = false;
            break;
        }
        pause(20);
    }
    if (pty >= 0)
        close(pty);
    if (ok && !(WIFEXITED(status) && WEXITSTATUS(status) == 0)) {
        std::printf("the handheld ended with status %d\n", status);
        ok = false;
    }
    std::printf("%s", seen.c_str());
    std::printf(ok ? "live: the keys arrived in Notes\n" : "live: FAILED\n");
    return ok ? 0 : 1;
}
