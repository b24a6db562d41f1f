// Bad input to the handheld program is an error with a one-line message, never an abort, and
// the device's temporary folder goes away, also when a signal ends the program.
#include "handheld/frontends/signals.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <pty.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status = -1; // exit status, or 128 + the signal
    std::string out, err;
};

class BadInput : public ::testing::Test {
  protected:
    BadInput() {
        char tmpl[] = "/tmp/handheld-bad-XXXXXX";
        dir = mkdtemp(tmpl);
        tmp = dir + "/tmp";
        fs::create_directory(tmp);
    }
    ~BadInput() override { fs::remove_all(dir); }

    // Starts the program with its temporary folders in `tmp`; `in` and `out` are the parent's
    // ends of its standard input and output (-1 when they are files instead).
    pid_t Start(const std::vector<std::string> &args, const std::string &inFile, int *in,
                int *out) {
        int ip[2], op[2];
        EXPECT_EQ(pipe(ip), 0);
        EXPECT_EQ(pipe(op), 0);
        pid_t pid = fork();
        if (pid == 0) {
            setenv("TMPDIR", tmp.c_str(), 1);
            if (inFile.empty())
                dup2(ip[0], 0);
            else
                freopen(inFile.c_str(), "rb", stdin);
            dup2(op[1], 1);
            freopen((dir + "/stderr").c_str(), "wb", stderr);
            close(ip[0]), close(ip[1]), close(op[0]), close(op[1]);
            std::vector<char *> argv{const_cast<char *>(HANDHELD_EXE)};
            for (auto &a : args)
                argv.push_back(const_cast<char *>(a.c_str()));
            argv.push_back(nullptr);
            execv(HANDHELD_EXE, argv.data());
            _exit(127);
        }
        close(ip[0]);
        close(op[1]);
        *in = ip[1];
        *out = op[0];
        return pid;
    }
    Outcome Finish(pid_t pid, int in, int out) {
        Outcome r;
        char buf[65536];
        ssize_t n;
        while ((n = read(out, buf, sizeof buf)) > 0)
            r.out.append(buf, size_t(n));
        close(out);
        int st = 0;
        waitpid(pid, &st, 0);
        close(in);
        r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
        std::ifstream e(dir + "/stderr", std::ios::binary);
        std::stringstream ss;
        ss << e.rdbuf();
        r.err = ss.str();
        return r;
    }
    Outcome Handheld(const std::vector<std::string> &args, const std::string &input = "") {
        std::ofstream(dir + "/stdin", std::ios::binary) << input;
        int in, out;
        pid_t pid = Start(args, dir + "/stdin", &in, &out);
        close(in);
        in = open("/dev/null", O_RDONLY);
        return Finish(pid, in, out);
    }
    // The program on a terminal of its own (what it says there, both streams), as a person
    // starts the interactive device.
    Outcome OnTerminal(const std::vector<std::string> &args) {
        int master = -1;
        pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
        if (pid == 0) {
            setenv("TMPDIR", tmp.c_str(), 1);
            std::vector<char *> argv{const_cast<char *>(HANDHELD_EXE)};
            for (auto &a : args)
                argv.push_back(const_cast<char *>(a.c_str()));
            argv.push_back(nullptr);
            execv(HANDHELD_EXE, argv.data());
            _exit(127);
        }
        Outcome r;
        char buf[4096];
        ssize_t n;
        while ((n = read(master, buf, sizeof buf)) > 0) // ends with EIO once the child is gone
            r.err.append(buf, size_t(n));
        close(master);
        int st = 0;
        waitpid(pid, &st, 0);
        r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
        return r;
    }
    bool TempFoldersLeft() { return !fs::is_empty(tmp); }
    static int Lines(const std::string &s) { return int(std::count(s.begin(), s.end(), '\n')); }

    std::string dir, tmp;
};

TEST_F(BadInput, UnusableHivesAndStateFoldersEndTheDeviceWithStatusOne) {
    fs::create_directory(dir + "/folder.db");
    std::ofstream(dir + "/text.db") << std::string(4096, 'x');
    std::ofstream(dir + "/readonly.db");
    fs::permissions(dir + "/readonly.db", fs::perms::owner_read);
    std::ofstream(dir + "/file") << "a file";
    // A real hive cut short.
    Outcome made = Handheld({"live", "--hive", dir + "/good.db"});
    ASSERT_EQ(made.status, 0) << made.err;
    {
        std::ifstream in(dir + "/good.db", std::ios::binary);
        std::string head(3000, '\0');
        in.read(&head[0], 3000);
        std::ofstream(dir + "/cut.db", std::ios::binary) << head;
    }
    struct Case {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"live", "--hive", dir + "/folder.db"},
         dir + "/folder.db: cannot open the registry hive: it is a folder"},
        {{"live", "--hive", dir + "/text.db"},
         dir + "/text.db: cannot open the registry hive: file is not a database"},
        {{"live", "--hive", dir + "/readonly.db"},
         dir + "/readonly.db: cannot open the registry hive: the file is read-only"},
        {{"live", "--hive", dir + "/cut.db"}, dir + "/cut.db: cannot open the registry hive: "},
        {{"live", "--state", dir + "/file"}, dir + "/file: not a folder"},
    };
    for (auto &c : cases) {
        Outcome r = Handheld(c.args);
        EXPECT_EQ(r.status, 1) << c.args[2] << ": " << r.err;
        EXPECT_EQ(r.err.rfind("handheld: " + c.message, 0), 0u) << r.err;
        EXPECT_EQ(Lines(r.err), 1) << r.err;
        EXPECT_FALSE(TempFoldersLeft()) << c.args[2];
    }
}

// What cannot be the device's folder is named, whichever folder it is; an empty --state names
// no folder; a line that swallows bytes is no keyboard line.
TEST_F(BadInput, StateFoldersAndLinesThatCannotServeAreNamed) {
    fs::create_directories(dir + "/filed");
    std::ofstream(dir + "/filed/device") << "a file";
    fs::create_directories(dir + "/dangling");
    fs::create_symlink(dir + "/nowhere", dir + "/dangling/device");
    std::ofstream(dir + "/file") << "a file";
    const std::pair<std::string, std::string> cases[] = {
        {dir + "/filed", dir + "/filed/device: not a folder"},
        {dir + "/dangling", dir + "/dangling/device: a link to nothing, not a folder"},
        {dir + "/file", dir + "/file: not a folder"},
    };
    for (const auto &c : cases) {
        Outcome r = OnTerminal({"--state", c.first});
        EXPECT_EQ(r.status, 1) << c.first << ": " << r.err;
        EXPECT_EQ(r.err, "handheld: " + c.second + "\r\n") << c.first;
    }
    for (const auto &args : {std::vector<std::string>{"--state", "", "reg", "query", "X"},
                             std::vector<std::string>{"live", "--state", ""}}) {
        Outcome r = Handheld(args);
        EXPECT_EQ(r.status, 2) << args[0];
        EXPECT_EQ(r.err, "handheld: --state needs a folder, not an empty name\n") << args[0];
    }
    Outcome line = Handheld({"keyboard", "--port", "/dev/null", "--type", "hi"});
    EXPECT_EQ(line.status, 1);
    EXPECT_EQ(line.err, "handheld keyboard: /dev/null: not a terminal or serial line\n");
    EXPECT_FALSE(TempFoldersLeft());
}

TEST_F(BadInput, AHiveThatAnotherProgramHoldsIsAnErrorAfterABoundedWait) {
    const std::string hive = dir + "/locked.db";
    Outcome made = Handheld({"live", "--hive", hive});
    ASSERT_EQ(made.status, 0) << made.err;
    // Another program in the middle of a write: it holds the hive's write lock.
    sqlite3 *other = nullptr;
    ASSERT_EQ(sqlite3_open(hive.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    Outcome r = Handheld({"live", "--hive", hive});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "handheld: " + hive +
                         ": cannot open the registry hive: database is locked (another program "
                         "holds it)\n");
    EXPECT_FALSE(TempFoldersLeft());
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    // Once it lets go, the hive opens.
    Outcome again = Handheld({"live", "--hive", hive});
    EXPECT_EQ(again.status, 0) << again.err;
}

TEST_F(BadInput, AScenarioThatCannotBeReadIsAnErrorOfTheScenario) {
    Outcome r = Handheld({"play", dir});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, dir + ":1: cannot read the scenario: Is a directory\n");
    EXPECT_FALSE(TempFoldersLeft());
}

TEST_F(BadInput, MessagesQuoteBinaryAndHugeWordsOnOneShortLine) {
    Outcome nul = Handheld({"play", "-"}, std::string("dump \"X\"\nju\0mp\x01\xff now\n", 22));
    EXPECT_EQ(nul.status, 2);
    EXPECT_EQ(nul.err, "<stdin>:2: unknown command \"ju\\x00mp\\x01\\xFF\"\n");
    Outcome huge = Handheld({"play", "-"}, std::string(20 << 20, 'w') + "\n");
    EXPECT_EQ(huge.status, 2);
    EXPECT_EQ(Lines(huge.err), 1);
    EXPECT_LT(huge.err.size(), 200u);
    EXPECT_NE(huge.err.find("(20971520 bytes)"), std::string::npos) << huge.err;
    EXPECT_FALSE(TempFoldersLeft());
}

// The dialog font's folder hidden behind an empty one, or behind files that are no fonts, in a
// mount namespace of the test's own: the device does not start and says which package to get.
TEST_F(BadInput, AMissingOrDamagedFontStopsTheDeviceWithOneLine) {
    const std::string fonts = "/usr/share/wine/fonts";
    if (std::system("unshare -rm true 2>/dev/null") != 0)
        GTEST_SKIP() << "no mount namespaces here (unshare -rm)";
    std::ofstream(dir + "/notes.scn") << "run notes\n";
    fs::create_directory(dir + "/empty");
    fs::create_directory(dir + "/damaged");
    std::ofstream(dir + "/damaged/tahoma.ttf") << "not a font";
    std::ofstream(dir + "/damaged/tahomabd.ttf") << "";
    for (const char *folder : {"empty", "damaged"}) {
        std::string command = "unshare -rm sh -c 'mount --bind " + dir + "/" + folder + " " +
                              fonts + " && exec " + HANDHELD_EXE + " play " + dir +
                              "/notes.scn' >/dev/null 2>" + dir + "/stderr";
        int status = std::system(command.c_str());
        std::ifstream e(dir + "/stderr");
        std::string said((std::istreambuf_iterator<char>(e)), std::istreambuf_iterator<char>());
        EXPECT_EQ(WEXITSTATUS(status), 1) << folder;
        EXPECT_EQ(said, "handheld: font file " + fonts + "/tahoma.ttf is " +
                            (folder == std::string("empty")
                                 ? "missing: install the Debian package fonts-wine\n"
                                 : "damaged: reinstall the Debian package fonts-wine\n"));
    }
}

TEST_F(BadInput, SignalsRemoveTheTemporaryFolder) {
    for (int sig : {SIGTERM, SIGHUP}) {
        int in, out;
        pid_t pid = Start({"play", "-"}, "", &in, &out);
        // The journal's first line shows that the device is up.
        const std::string cmd = "dump \"X\"\n";
        ASSERT_EQ(write(in, cmd.data(), cmd.size()), ssize_t(cmd.size()));
        std::string line;
        char c;
        while (read(out, &c, 1) == 1 && c != '\n')
            line += c;
        EXPECT_EQ(line, R"({"t":0,"dump":"X","values":null})");
        EXPECT_TRUE(TempFoldersLeft());
        kill(pid, sig);
        Outcome r = Finish(pid, in, out);
        EXPECT_EQ(r.status, 128 + sig);
        EXPECT_FALSE(TempFoldersLeft()) << sig;
    }
}

// A device thread that spins without calling the platform keeps a front end from ending its
// device: a second after a signal asked for the end, the program has its last words and the
// signal its default action (here SIGURG's, which is to go on, so the test can look).
TEST(SignalDeadline, AStopThatIsNotFollowedHasItsLastWordsAndItsSignal) {
    std::promise<void> said;
    std::future<void> heard = said.get_future();
    handheld::SignalDeadline deadline([&said] { said.set_value(); });
    handheld::SignalDeadline::started(SIGURG);
    EXPECT_EQ(heard.wait_for(std::chrono::seconds(30)), std::future_status::ready);
}

} // namespace
