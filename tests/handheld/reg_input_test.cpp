// What the registry tool and the device refuse before using it: files that are not this
// device's hive or are damaged, input without end, input beyond memory. Each is one line and a
// status, never an abort or a silent success.
#include "emul/registry.h"
#include "emul/text.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class RegInput : public ::testing::Test {
  protected:
    RegInput() {
        char tmpl[] = "/tmp/reg-input-XXXXXX";
        dir = mkdtemp(tmpl);
        hive = dir + "/registry.db";
    }
    ~RegInput() override { fs::remove_all(dir); }

    // `SHELL-PREFIX handheld --state DIR ARGS`: exit status, standard output and error.
    struct Outcome {
        int status;
        std::string out, err;
    };
    Outcome Run(const std::string &args, const std::string &prefix = "") {
        std::string cmd = prefix + std::string(HANDHELD_EXE) + " --state " + dir + " " + args +
                          " >" + dir + "/out 2>" + dir + "/err";
        int status = std::system(cmd.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Read(dir + "/out"),
                Read(dir + "/err")};
    }
    static std::string Read(const std::string &file) {
        std::ifstream in(file, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    void Sql(const std::string &sql) {
        sqlite3 *db = nullptr;
        ASSERT_EQ(sqlite3_open(hive.c_str(), &db), SQLITE_OK);
        char *msg = nullptr;
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &msg), SQLITE_OK) << msg;
        sqlite3_free(msg);
        sqlite3_close(db);
    }
    int64_t ApplicationId() {
        sqlite3 *db = nullptr;
        sqlite3_stmt *s = nullptr;
        sqlite3_open(hive.c_str(), &db);
        sqlite3_prepare_v2(db, "PRAGMA application_id", -1, &s, nullptr);
        int64_t id = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : -1;
        sqlite3_finalize(s);
        sqlite3_close(db);
        return id;
    }
    static int Lines(const std::string &s) { return int(std::count(s.begin(), s.end(), '\n')); }

    std::string dir, hive;
};

const char *const kOldTables = "CREATE TABLE reg_keys(\n"
                               "  id INTEGER PRIMARY KEY AUTOINCREMENT,\n"
                               "  parent INTEGER NOT NULL,\n"
                               "  name TEXT NOT NULL COLLATE NOCASE,\n"
                               "  UNIQUE(parent, name));\n"
                               "CREATE TABLE reg_values(\n"
                               "  id INTEGER PRIMARY KEY AUTOINCREMENT,\n"
                               "  key INTEGER NOT NULL,\n"
                               "  name TEXT NOT NULL COLLATE NOCASE,\n"
                               "  type INTEGER NOT NULL,\n"
                               "  data BLOB NOT NULL,\n"
                               "  UNIQUE(key, name));\n";

} // namespace

// Files that are not this device's hive: named with what is wrong, status 1, nothing written on
// standard output (a backup is never silently empty).
TEST_F(RegInput, FilesThatAreNotThisDevicesHiveAreRefused) {
    struct Case {
        const char *what, *sql, *said;
    } cases[] = {
        {"other columns",
         "CREATE TABLE reg_keys(id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER NOT NULL,"
         " name TEXT NOT NULL COLLATE NOCASE, UNIQUE(parent, name));"
         "CREATE TABLE reg_values(id INTEGER PRIMARY KEY, key INTEGER, name TEXT, kind INTEGER,"
         " data BLOB);",
         "not a registry hive (its table reg_values has the columns id, key, name, kind, data"},
        {"no tables", "CREATE TABLE t(x);", "not a registry hive (no table reg_keys)"},
        {"another program's", "PRAGMA application_id = 4660;",
         "a database of another program, application id 0x00001234"},
        {"a newer one", "PRAGMA application_id = 1212699207; PRAGMA user_version = 9;",
         "made by a newer version of this program (hive version 9)"},
    };
    for (const Case &c : cases) {
        fs::remove(hive);
        Sql(c.sql);
        for (const char *args : {"reg export", "reg query Software", "live --hive " /* hive */}) {
            std::string a = args;
            if (a.back() == ' ')
                a += hive;
            Outcome r = Run(a, "</dev/null ");
            EXPECT_EQ(r.status, 1) << c.what << ", " << args << ": " << r.err;
            EXPECT_EQ(r.out, "") << c.what << ", " << args;
            EXPECT_EQ(r.err, "handheld: " + hive + ": cannot open the registry hive: " +
                                 r.err.substr(r.err.find("hive: ") + 6))
                << c.what;
            EXPECT_NE(r.err.find(c.said), std::string::npos) << c.what << ": " << r.err;
            EXPECT_EQ(Lines(r.err), 1) << c.what << ", " << args << ": " << r.err;
        }
    }
    // An empty file is not a new hive.
    fs::remove(hive);
    std::ofstream(hive).close();
    Outcome r = Run("reg export");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(hive + ": cannot open the registry hive: the file is empty"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(fs::file_size(hive), 0u);
}

// A hive whose pages were damaged is refused at the start, not used write after write.
TEST_F(RegInput, ADamagedHiveIsRefusedAtTheStart) {
    {
        auto reg = emul::Registry::open(hive);
        for (int i = 0; i < 400; ++i)
            reg->setValue(u"Software\\K" + emul::utf16(std::to_string(i)), u"v",
                          emul::regSz(std::u16string(100, u'x')));
    }
    ASSERT_GT(fs::file_size(hive), 40000u);
    {
        std::fstream f(hive, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(4096 * 2);
        f << std::string(4096, '\x5A');
    }
    Outcome r = Run("reg export");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("handheld: " + hive +
                              ": cannot open the registry hive: the file is "
                              "damaged (",
                          0),
              0u)
        << r.err;
    EXPECT_EQ(Lines(r.err), 1) << r.err;
}

// Hives made before the file carried this program's id open as they are, and get the id; a new
// hive is made whole, with no file left beside it.
TEST_F(RegInput, HivesOfEarlierVersionsOpenAndNewOnesAreMadeWhole) {
    Sql(std::string(kOldTables) +
        "INSERT INTO reg_keys(parent, name) VALUES(0, 'HKEY_LOCAL_MACHINE');"
        "INSERT INTO reg_keys(parent, name) VALUES(1, 'Software');"
        "INSERT INTO reg_values(key, name, type, data) VALUES(2, 'v', 4, x'2a000000');");
    EXPECT_EQ(ApplicationId(), 0);
    Outcome r = Run("reg query Software v");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "v    REG_DWORD    0x2a (42)\n");
    EXPECT_EQ(ApplicationId(), 0x48485247);

    fs::remove(hive);
    auto reg = emul::Registry::open(hive);
    EXPECT_EQ(ApplicationId(), 0x48485247);
    reg.reset();
    for (auto &e : fs::directory_iterator(dir))
        EXPECT_EQ(e.path().filename().string().find("registry.db.new"), std::string::npos)
            << e.path();
}

// Input without end, or larger than any registry file, ends with one line naming the limit;
// the hive is left as it was.
TEST_F(RegInput, EndlessAndOversizedInputIsCut) {
    emul::Registry::open(hive)->setValue(u"Software", u"v", emul::regDword(1));
    Outcome endless = Run("reg import -", "yes '\"v\"=dword:2' | ");
    EXPECT_EQ(endless.status, 2) << endless.err;
    EXPECT_EQ(endless.err, "handheld reg: -: larger than 64 MB, more than any registry file "
                           "holds\n");
    {
        std::ofstream f(dir + "/sparse.reg");
        f << "REGEDIT4\n";
    }
    fs::resize_file(dir + "/sparse.reg", 1ull << 40);
    Outcome sparse = Run("reg import " + dir + "/sparse.reg");
    EXPECT_EQ(sparse.status, 2);
    EXPECT_EQ(sparse.err, "handheld reg: " + dir +
                              "/sparse.reg: larger than 64 MB, more than "
                              "any registry file holds\n");
    Outcome q = Run("reg query Software v");
    EXPECT_EQ(q.out, "v    REG_DWORD    0x1 (1)\n");

    // A scenario line without end: the line is refused, not read whole.
    Outcome zeros = Run("play /dev/zero");
    EXPECT_EQ(zeros.status, 2);
    EXPECT_EQ(zeros.err, "/dev/zero:1: a line longer than 64 MB: not a scenario\n");
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// Under a memory limit, a file that fits the cap but not memory ends with one line and status
// 1, not an abort.
TEST_F(RegInput, RunningOutOfMemoryIsOneLineNotAnAbort) {
    emul::Registry::open(hive)->setValue(u"Software", u"v", emul::regDword(1));
    {
        std::ofstream f(dir + "/big.reg");
        f << "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software]\n\"s\"=\"" << std::string(60 << 20, 's')
          << "\"\n";
    }
    Outcome r = Run("reg import " + dir + "/big.reg", "ulimit -v 300000; ");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.err, "handheld: out of memory\n");
}
#endif
