// The handheld's tools as a person runs them: the key map fits a terminal, the stand-alone
// keyboard names what it could not type, and a device keeps the driver build it was made with.
#include "emul/graphics.h"
#include "emul/text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Ran {
    int status = -1;
    std::string out, err;
};

class HostTools : public ::testing::Test {
  protected:
    HostTools() {
        char tmpl[] = "/tmp/handheld-tools-XXXXXX";
        dir = mkdtemp(tmpl);
    }
    ~HostTools() override {
        if (master >= 0)
            close(master);
        fs::remove_all(dir);
    }

    std::string slurp(const std::string &path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    // `handheld ARGS` through the shell, standard input from `input` ("-- COMMAND": that
    // command instead).
    Ran handheld(const std::string &args, const std::string &input = "") {
        std::ofstream(dir + "/in", std::ios::binary) << input;
        std::string program =
            args.rfind("-- ", 0) == 0 ? args.substr(3) : std::string(HANDHELD_EXE) + " " + args;
        std::string cmd = program + " <" + dir + "/in >" + dir + "/out 2>" + dir + "/err";
        int st = std::system(cmd.c_str());
        return Ran{WIFEXITED(st) ? WEXITSTATUS(st) : -1, slurp(dir + "/out"), slurp(dir + "/err")};
    }
    // A pseudo-terminal for the keyboard's line; the bytes it sent are read from its master.
    std::string line() {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        EXPECT_GE(master, 0);
        EXPECT_EQ(grantpt(master), 0);
        EXPECT_EQ(unlockpt(master), 0);
        return ptsname(master);
    }
    std::string sent() {
        std::string bytes;
        char buf[256];
        ssize_t n;
        while ((n = read(master, buf, sizeof buf)) > 0)
            bytes.append(buf, size_t(n));
        return bytes;
    }

    std::string dir;
    int master = -1;
};

size_t widest(const std::string &text) {
    size_t most = 0;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        most = std::max(most, emul::utf16(l).size());
    return most;
}

TEST_F(HostTools, KeyMapFitsEightyColumnsAndWideGivesTheWireBytes) {
    for (const char *build : {"ce420", "ce400", "ce300"}) {
        Ran narrow = handheld(std::string("keys --build ") + build);
        ASSERT_EQ(narrow.status, 0) << narrow.err;
        EXPECT_LE(widest(narrow.out), 80u) << build;
        // Every layer is still there: the accented letters of Cmd and the Symbol layer.
        EXPECT_NE(narrow.out.find("A"), std::string::npos);
        EXPECT_NE(narrow.out.find("ì/Ì"), std::string::npos) << build;
        EXPECT_NE(narrow.out.find("Symbol"), std::string::npos);
    }
    Ran wide = handheld("keys --wide");
    ASSERT_EQ(wide.status, 0);
    EXPECT_GT(widest(wide.out), 80u);
    EXPECT_NE(wide.out.find("A            17   145   EE   6E  a"), std::string::npos);
}

// Characters that no key types are named and make --type fail; the rest is typed all the same.
TEST_F(HostTools, KeyboardNamesWhatItCouldNotTypeAndFails) {
    std::string port = line();
    Ran mixed = handheld("keyboard --port " + port + " --type 'a日b'");
    EXPECT_EQ(mixed.status, 1);
    EXPECT_NE(mixed.err.find("日"), std::string::npos) << mixed.err;
    std::string bytes = sent();
    EXPECT_NE(bytes.find('\xEE'), std::string::npos); // a down
    EXPECT_NE(bytes.find('\xD1'), std::string::npos); // b down

    Ran plain = handheld("keyboard --port " + port + " --type 'ab'");
    EXPECT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.err, "");

    // Text on standard input: each character that was dropped, once, at the end.
    Ran piped = handheld("keyboard --port " + port, "x日y日z\n");
    EXPECT_EQ(piped.status, 1);
    EXPECT_NE(piped.err.find("\"日\""), std::string::npos) << piped.err;
}

// The interactive device wants a terminal: `script` gives it one, and its output is the
// terminal's (standard error included).
TEST_F(HostTools, AnotherDriverBuildOnAnExistingDeviceIsRefused) {
    std::ofstream(dir + "/driver-build") << "ce420\n";
    Ran other = handheld("-- script -qec '" + std::string(HANDHELD_EXE) + " --state " + dir +
                         " --build ce300' /dev/null");
    EXPECT_EQ(other.status, 1);
    EXPECT_NE(other.out.find("ce420"), std::string::npos) << other.out;
    EXPECT_NE(other.out.find("--reset"), std::string::npos) << other.out;
    EXPECT_EQ(slurp(dir + "/driver-build"), "ce420\n");
    EXPECT_FALSE(fs::exists(dir + "/registry.db"));
}

// `play --out` takes the scenario's screenshots and `--png` the screen at its end, each into
// its own folder; a folder that is not there stops the player before it starts.
TEST_F(HostTools, PlayWritesItsPicturesIntoTheFoldersItIsGiven) {
    fs::create_directory(dir + "/shots");
    fs::create_directory(dir + "/end");
    std::ofstream(dir + "/tour.scn") << "run kbsettings\nscreenshot config.png\ntab 1\n";
    Ran r = handheld("play " + dir + "/tour.scn --out " + dir + "/shots --png " + dir + "/end");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<uint8_t> config, end;
    int w = 0, h = 0;
    std::string error;
    ASSERT_TRUE(emul::readPng(dir + "/shots/config.png", &w, &h, &config, &error)) << error;
    EXPECT_EQ(w * h, 240 * 320);
    ASSERT_TRUE(emul::readPng(dir + "/end/tour.png", &w, &h, &end, &error)) << error;
    EXPECT_NE(config, end); // the Config page, then the Hot-Key page
    EXPECT_EQ(std::distance(fs::directory_iterator(dir + "/shots"), fs::directory_iterator()), 1);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir + "/end"), fs::directory_iterator()), 1);
    // From standard input the picture is screen.png.
    r = handheld("play - --png " + dir + "/end", "run notes\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir + "/end/screen.png"));
    r = handheld("play " + dir + "/tour.scn --png " + dir + "/missing");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "handheld: --png " + dir + "/missing: No such file or directory\n");
    EXPECT_EQ(r.out, "");
}

} // namespace
