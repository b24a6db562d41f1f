// Plays one scenario with the handheld and compares its journal with the expected one, byte for
// byte. On a mismatch it prints both journals side by side. With UPDATE_JOURNALS=1 in the
// environment it rewrites the expected files instead (review the diff before committing).
//
//   scenario_check [--no-update] HANDHELD DIR/NAME.scn   expects DIR/NAME.jsonl, and exit status
//                                                        2 with DIR/NAME.stderr when that exists
//   scenario_check [--no-update] HANDHELD DIR/NAME.out   runs HANDHELD without arguments
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Outcome {
    std::string out, err;
    int status = -1; // exit status, or -1 when killed by a signal
};

std::string readAll(const std::string &path, bool *ok = nullptr) {
    std::ifstream in(path, std::ios::binary);
    if (ok)
        *ok = bool(in);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool writeAll(const std::string &path, const std::string &text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return bool(out);
}

int tempFile(std::string *path) {
    char tmpl[] = "/tmp/scenario_check-XXXXXX";
    int fd = mkstemp(tmpl);
    *path = tmpl;
    return fd;
}

// Runs argv in `dir` with stdout and stderr captured.
Outcome run(const std::vector<std::string> &argv, const std::string &dir) {
    Outcome o;
    std::string outPath, errPath;
    int outFd = tempFile(&outPath), errFd = tempFile(&errPath);
    if (outFd < 0 || errFd < 0) {
        std::perror("mkstemp");
        std::exit(1);
    }
    pid_t pid = fork();
    if (pid == 0) {
        if (!dir.empty() && chdir(dir.c_str()) != 0)
            _exit(126);
        int in = open("/dev/null", O_RDONLY);
        dup2(in, 0);
        dup2(outFd, 1);
        dup2(errFd, 2);
        std::vector<char *> args;
        for (auto &a : argv)
            args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    int st = 0;
    waitpid(pid, &st, 0);
    o.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    close(outFd);
    close(errFd);
    o.out = readAll(outPath);
    o.err = readAll(errPath);
    unlink(outPath.c_str());
    unlink(errPath.c_str());
    return o;
}

std::vector<std::string> lines(const std::string &text) {
    std::vector<std::string> v;
    std::string cur;
    for (char c : text) {
        if (c == '\n') {
            v.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty())
        v.push_back(cur + "  (no newline at end)");
    return v;
}

// One row of the side-by-side listing: line indexes into both sides, -1 for a gap.
struct Row {
    int e, a;
};

// Aligns the two journals on their longest common subsequence (common ends trimmed first), so
// that one missing line shows as one gap instead of shifting everything after it.
std::vector<Row> align(const std::vector<std::string> &e, const std::vector<std::string> &a) {
    size_t pre = 0;
    while (pre < e.size() && pre < a.size() && e[pre] == a[pre])
        ++pre;
    size_t suf = 0;
    while (suf < e.size() - pre && suf < a.size() - pre &&
           e[e.size() - 1 - suf] == a[a.size() - 1 - suf])
        ++suf;
    size_t n = e.size() - pre - suf, m = a.size() - pre - suf;
    std::vector<Row> rows;
    for (size_t i = 0; i < pre; ++i)
        rows.push_back({int(i), int(i)});
    if (n * m <= 4000000) {
        std::vector<std::vector<int>> L(n + 1, std::vector<int>(m + 1, 0));
        for (size_t i = n; i-- > 0;)
            for (size_t j = m; j-- > 0;)
                L[i][j] = e[pre + i] == a[pre + j] ? L[i + 1][j + 1] + 1
                                                   : std::max(L[i + 1][j], L[i][j + 1]);
        size_t i = 0, j = 0;
        while (i < n || j < m) {
            if (i < n && j < m && e[pre + i] == a[pre + j]) {
                rows.push_back({int(pre + i), int(pre + j)});
                ++i, ++j;
            } else if (i < n && j < m && L[i + 1][j] == L[i][j + 1]) {
                // Neither side is favoured: pair the two lines up as a change.
                rows.push_back({int(pre + i), int(pre + j)});
                ++i, ++j;
            } else if (j >= m || (i < n && L[i + 1][j] >= L[i][j + 1])) {
                rows.push_back({int(pre + i), -1});
                ++i;
            } else {
                rows.push_back({-1, int(pre + j)});
                ++j;
            }
        }
    } else {
        for (size_t k = 0; k < std::max(n, m); ++k)
            rows.push_back({k < n ? int(pre + k) : -1, k < m ? int(pre + k) : -1});
    }
    for (size_t k = 0; k < suf; ++k)
        rows.push_back({int(e.size() - suf + k), int(a.size() - suf + k)});
    return rows;
}

std::string cell(const std::vector<std::string> &v, int i, size_t width) {
    std::string s = i < 0 ? "" : v[size_t(i)];
    if (s.size() > width)
        s = s.substr(0, width - 1) + "~";
    return s + std::string(width - s.size(), ' ');
}

// Prints the differing rows with three rows of context around each (when `print`); returns the
// first differing line of the expected journal (1-based).
int printSideBySide(const std::string &expected, const std::string &actual, bool print) {
    std::vector<std::string> e = lines(expected), a = lines(actual);
    std::vector<Row> rows = align(e, a);
    size_t total = 200;
    if (const char *c = std::getenv("COLUMNS"))
        total = std::max<size_t>(80, size_t(std::atoi(c)));
    size_t width = (total - 12) / 2;
    std::vector<bool> differs(rows.size()), shown(rows.size());
    int first = 0;
    for (size_t r = 0; r < rows.size(); ++r) {
        differs[r] = rows[r].e < 0 || rows[r].a < 0 || e[size_t(rows[r].e)] != a[size_t(rows[r].a)];
        if (differs[r] && !first) {
            // A line only the actual journal has sits after the expected lines before it.
            first = 1;
            for (size_t k = 0; k < r; ++k)
                first += rows[k].e >= 0 ? 1 : 0;
        }
        if (differs[r])
            for (size_t k = r >= 3 ? r - 3 : 0; k < std::min(rows.size(), r + 4); ++k)
                shown[k] = true;
    }
    if (!print)
        return first;
    std::printf("%5s   %s | %s\n", "line", cell({"expected"}, 0, width).c_str(), "actual");
    bool gap = false;
    for (size_t r = 0; r < rows.size(); ++r) {
        if (!shown[r]) {
            if (!gap)
                std::printf("  ...\n");
            gap = true;
            continue;
        }
        gap = false;
        char mark = !differs[r] ? ' ' : rows[r].e < 0 ? '>' : rows[r].a < 0 ? '<' : '!';
        std::printf("%5s %c %s | %s\n", rows[r].e >= 0 ? std::to_string(rows[r].e + 1).c_str() : "",
                    mark, cell(e, rows[r].e, width).c_str(), cell(a, rows[r].a, width).c_str());
    }
    for (size_t r = 0; r < rows.size(); ++r)
        if (differs[r]) {
            std::printf("\nfirst differing row in full:\n  expected: %s\n  actual:   %s\n",
                        rows[r].e >= 0 ? e[size_t(rows[r].e)].c_str() : "(none)",
                        rows[r].a >= 0 ? a[size_t(rows[r].a)].c_str() : "(none)");
            break;
        }
    return first;
}

std::string replaceSuffix(const std::string &path, const std::string &from, const std::string &to) {
    return path.substr(0, path.size() - from.size()) + to;
}

bool endsWith(const std::string &s, const std::string &suffix) {
    return s.size() >= suffix.size() &&
           s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

} // namespace

int main(int argc, char **argv) {
    bool mayUpdate = true;
    int i = 1;
    if (i < argc && std::strcmp(argv[i], "--no-update") == 0) {
        mayUpdate = false;
        ++i;
    }
    if (argc - i != 2) {
        std::fprintf(stderr, "usage: scenario_check [--no-update] HANDHELD NAME.scn|NAME.out\n");
        return 2;
    }
    std::string handheld = argv[i], file = argv[i + 1];
    bool scenario = endsWith(file, ".scn");
    if (!scenario && !endsWith(file, ".out")) {
        std::fprintf(stderr, "scenario_check: %s is neither a .scn nor a .out file\n",
                     file.c_str());
        return 2;
    }
    std::string dir = ".", base = file;
    if (size_t slash = file.rfind('/'); slash != std::string::npos) {
        dir = file.substr(0, slash);
        base = file.substr(slash + 1);
    }
    std::string expectedOut = scenario ? replaceSuffix(file, ".scn", ".jsonl") : file;
    std::string expectedErrPath = scenario ? replaceSuffix(file, ".scn", ".stderr") : "";

    // The scenario is played from its own folder, so that error messages name it the same way
    // wherever the tree is.
    char cwd[4096];
    std::string absHandheld = handheld;
    if (handheld[0] != '/' && getcwd(cwd, sizeof cwd))
        absHandheld = std::string(cwd) + "/" + handheld;
    Outcome o = scenario ? run({absHandheld, "play", base}, dir) : run({absHandheld}, dir);

    const char *update = std::getenv("UPDATE_JOURNALS");
    if (mayUpdate && update && std::strcmp(update, "1") == 0) {
        if (o.status != 0 && o.status != 2) {
            std::printf("not updated: the handheld ended with status %d\n%s", o.status,
                        o.err.c_str());
            return 1;
        }
        writeAll(expectedOut, o.out);
        if (scenario) {
            if (o.status == 2)
                writeAll(expectedErrPath, o.err);
            else
                std::remove(expectedErrPath.c_str());
        }
        std::printf("updated %s%s\n", expectedOut.c_str(),
                    scenario && o.status == 2 ? (" and " + expectedErrPath).c_str() : "");
        return 0;
    }

    bool haveOut = false, haveErr = false;
    std::string expected = readAll(expectedOut, &haveOut);
    std::string expectedErr = scenario ? readAll(expectedErrPath, &haveErr) : "";
    if (!haveOut) {
        std::printf("%s is missing (UPDATE_JOURNALS=1 writes it)\n", expectedOut.c_str());
        return 1;
    }
    int wantStatus = haveErr ? 2 : 0;
    bool ok = true;
    if (o.status != wantStatus) {
        std::printf("exit status %d, expected %d\n", o.status, wantStatus);
        ok = false;
    }
    if (haveErr && o.err != expectedErr) {
        std::printf("standard error differs:\n  expected: %s  actual:   %s", expectedErr.c_str(),
                    o.err.c_str());
        ok = false;
    }
    if (o.out != expected) {
        std::printf("journal differs from %s (first difference at line %d)\n", expectedOut.c_str(),
                    printSideBySide(expected, o.out, false));
        printSideBySide(expected, o.out, true);
        ok = false;
    }
    if (!ok && !haveErr && !o.err.empty())
        std::printf("\nstandard error of the handheld:\n%s", o.err.c_str());
    return ok ? 0 : 1;
}
