// The key map and the stand-alone keyboard.
#include "frontends/keyboard_cmd.h"

#include "keyboard/host_keys.h"

#include "emul/text.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace handheld {

int printKeyMap(const std::string &build, bool wide) {
    KeyMap map(build);
    std::fputs(map.describe(wide).c_str(), stdout);
    std::printf("\nOn the host: letters, digits and punctuation type themselves (Shift, Ctrl\n"
                "and Alt as typed); accented letters and symbols use the Cmd and Symbol layers;\n"
                "Escape is Fn+Tab; Home, End, Page Up and Page Down are Fn with the arrows.\n"
                "%s\n",
                HostKeyMapper::helpLine());
    return 0;
}

int openKeyboardLine(const std::string &path, std::string *error) {
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) {
        *error = std::strerror(errno);
        return -1;
    }
    // A terminal or serial device, or a pipe or socket to one; a file or another device (such
    // as /dev/null) would swallow the keys without a word.
    struct stat st {};
    if (!isatty(fd) && (fstat(fd, &st) != 0 || !(S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)))) {
        *error = "not a terminal or serial line";
        close(fd);
        return -1;
    }
    termios t{};
    if (isatty(fd) && tcgetattr(fd, &t) == 0) {
        // The keyboard's line: 9600 baud, 8 data bits, no parity, no translation of any byte.
        cfmakeraw(&t);
        cfsetispeed(&t, B9600);
        cfsetospeed(&t, B9600);
        tcsetattr(fd, TCSANOW, &t);
    }
    return fd;
}

namespace {

bool writeAll(int fd, const std::vector<uint8_t> &bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

} // namespace

int runKeyboard(const KeyboardOptions &options) {
    std::string error;
    int fd = openKeyboardLine(options.port, &error);
    if (fd < 0) {
        std::fprintf(stderr, "handheld keyboard: %s: %s\n", options.port.c_str(), error.c_str());
        return 1;
    }
    KeyMap map(options.build);
    bool failed = false;
    VirtualKeyboard kb(map, [&](const std::vector<uint8_t> &bytes) {
        if (!writeAll(fd, bytes))
            failed = true;
    });
    if (options.connect)
        kb.connect();
    if (!options.text.empty()) {
        std::u16string missing = kb.typeText(emul::utf16(options.text));
        close(fd);
        if (!missing.empty()) {
            std::fprintf(stderr, "handheld keyboard: no key types %s; the rest was typed\n",
                         emul::jsonQuote(emul::utf8(missing)).c_str());
            return 1;
        }
        return failed ? 1 : 0;
    }

    bool terminal = isatty(0);
    termios saved{};
    if (terminal) {
        tcgetattr(0, &saved);
        termios raw = saved;
        cfmakeraw(&raw);
        tcsetattr(0, TCSANOW, &raw);
        std::fprintf(stderr, "keyboard on %s; type to send keys, ^] to end\r\n%s\r\n",
                     options.port.c_str(), HostKeyMapper::helpLine());
    }
    HostInput input;
    HostKeyMapper driver(kb);
    std::string shown;
    std::u16string dropped; // what no key of the keyboard types, each character once
    for (;;) {
        uint8_t buf[256];
        ssize_t n = read(0, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        bool quit = false;
        for (const HostKey &k : input.feed(buf, size_t(n))) {
            if (k.type == HostKey::Char && k.ctrl && k.ch == 0x1D) {
                quit = true;
                break;
            }
            // Off a terminal the input is text: a line feed is Enter, nothing else is special.
            if (!driver.handle(k) && k.type == HostKey::Char && k.ch >= 32 &&
                dropped.find(k.ch) == std::u16string::npos)
                dropped += k.ch;
        }
        if (terminal) {
            std::string st = driver.status();
            if (!dropped.empty())
                st += (st.empty() ? "" : "  ") + std::string("no key types ") +
                      emul::jsonQuote(emul::utf8(dropped));
            if (st != shown) {
                std::fprintf(stderr, "\r\x1b[K%s", st.c_str());
                shown = st;
            }
        }
        if (quit || failed)
            break;
    }
    kb.releaseAll();
    if (terminal) {
        tcsetattr(0, TCSANOW, &saved);
        std::fputs("\n", stderr);
    }
    close(fd);
    if (failed) {
        std::fprintf(stderr, "handheld keyboard: %s: the line closed\n", options.port.c_str());
        return 1;
    }
    if (!dropped.empty() && !terminal) {
        std::fprintf(stderr, "handheld keyboard: no key types %s; the rest was typed\n",
                     emul::jsonQuote(emul::utf8(dropped)).c_str());
        return 1;
    }
    return 0;
}

} // namespace handheld
