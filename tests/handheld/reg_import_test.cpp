// `handheld reg` on a hive that a device uses: an import is one change, seen whole by the running
// driver, and an importer killed half-way leaves the hive as it was; the command's faults.
#include "handheld/frontends/reg_cmd.h"
#include "handheld/image/install.h"
#include "handheld/scenario/scenario.h"

#include "emul/device.h"
#include "emul/registry.h"
#include "emul/serial.h"
#include "support/temp_hive.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using testing_support::RemoveHive;
using testing_support::TempHivePath;

const std::u16string kKey = u"Drivers\\BuiltIn\\Norvel";

// Switches the keyboard off and the delay to 900, replaces a key, adds a key without values.
const char *const kImport = "REGEDIT4\n\n"
                            "[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\Norvel]\n"
                            "\"Enable Keyboard\"=dword:00000000\n"
                            "\"Delay Time\"=dword:00000384\n"
                            "[-HKEY_LOCAL_MACHINE\\Software\\Old]\n"
                            "[HKEY_LOCAL_MACHINE\\Software\\New]\n"
                            "\"a\"=\"one\"\n\"b\"=hex:01,02\n"
                            "[HKEY_LOCAL_MACHINE\\Software\\Empty]\n";
constexpr int kImportWrites = 7; // calls that write: 4 values, a key deleted, 2 keys made

// A hive connection whose process dies (SIGKILL) right after its `n`th write.
class KilledAfter : public emul::Registry {
  public:
    KilledAfter(emul::Registry &r, int n) : r_(r), left_(n) {}
    bool keyExists(const std::u16string &p) override { return r_.keyExists(p); }
    void createKey(const std::u16string &p) override {
        r_.createKey(p);
        wrote();
    }
    bool deleteKey(const std::u16string &p) override { return wrote(r_.deleteKey(p)); }
    std::optional<emul::RegValue> getValue(const std::u16string &p,
                                           const std::u16string &n) override {
        return r_.getValue(p, n);
    }
    void setValue(const std::u16string &p, const std::u16string &n,
                  const emul::RegValue &v) override {
        r_.setValue(p, n, v);
        wrote();
    }
    bool deleteValue(const std::u16string &p, const std::u16string &n) override {
        return wrote(r_.deleteValue(p, n));
    }
    std::vector<std::pair<std::u16string, emul::RegValue>>
    values(const std::u16string &p) override {
        return r_.values(p);
    }
    std::vector<std::u16string> subkeys(const std::u16string &p) override { return r_.subkeys(p); }
    bool batch(const std::function<bool()> &changes) override { return r_.batch(changes); }
    size_t openHandles() const override { return r_.openHandles(); }
    uint64_t hiveStatements() const override { return r_.hiveStatements(); }

  private:
    bool wrote(bool result = true) {
        if (--left_ == 0)
            raise(SIGKILL);
        return result;
    }
    emul::Registry &r_;
    int left_;
};

class RegImport : public ::testing::Test {
  protected:
    RegImport() : hive(TempHivePath("reg-import")) {}
    ~RegImport() override {
        runner.reset();
        device.reset();
        RemoveHive(hive);
    }

    // A device on the hive, installed, its driver running with the port open.
    void StartDevice() {
        emul::DeviceOptions options;
        options.hivePath = hive;
        device = std::make_unique<emul::Device>(options);
        handheld::InstallOptions io;
        io.withPort = false;
        handheld::install(*device, io);
        device->registry().setValue(u"Software\\Old", u"x", emul::regDword(1));
        runner = std::make_unique<handheld::ScenarioRunner>(*device);
        Play("boot\nwait 100\n");
        ASSERT_TRUE(Port().isOpen());
    }
    void Play(const std::string &text) {
        handheld::ScnError err;
        ASSERT_TRUE(runner->playText(text, &err)) << err.line << ": " << err.message;
    }
    emul::SerialPort &Port() { return *device->serial().find(u"COM2:"); }
    std::optional<uint32_t> Dword(const std::u16string &name) {
        return emul::regDwordOf(device->registry().getValue(kKey, name));
    }

    std::string hive;
    std::unique_ptr<emul::Device> device;
    std::unique_ptr<handheld::ScenarioRunner> runner;
};

} // namespace

// The tool on its own connection, as from another process: it sees what the driver wrote, and
// the driver takes the whole import on its next pass.
TEST_F(RegImport, ARunningDriverTakesTheWholeFileOnItsNextPass) {
    StartDevice();
    auto tool = emul::Registry::open(hive);
    handheld::RegOptions q;
    q.action = "query";
    q.key = "HKLM\\Drivers\\BuiltIn\\Norvel";
    q.name = "init";
    q.hasName = true;
    std::string out, err;
    ASSERT_EQ(handheld::runReg(*tool, q, out, err), 0) << err;
    EXPECT_EQ(out, "init    REG_DWORD    0x1 (1)\n");

    std::vector<std::string> changes;
    std::string error;
    ASSERT_TRUE(handheld::regImport(*tool, kImport, &error, &changes)) << error;
    Play("wait 1000\n");
    EXPECT_FALSE(Port().isOpen());
    EXPECT_EQ(Dword(u"Delay Time"), 900u);
    EXPECT_FALSE(device->registry().keyExists(u"Software\\Old"));
    EXPECT_TRUE(device->registry().keyExists(u"Software\\Empty"));
    EXPECT_EQ(device->registry().values(u"Software\\New").size(), 2u);
    // The key without values is a change of its own in the recording.
    EXPECT_EQ(changes.back(), "key \"Software\\\\Empty\"");

    // A single value set by the tool: the driver opens its port again.
    handheld::RegOptions on;
    on.action = "set";
    on.key = "Drivers\\BuiltIn\\Norvel";
    on.name = "Enable Keyboard";
    on.hasName = true;
    on.type = "dword";
    on.data = {"1"};
    ASSERT_EQ(handheld::runReg(*tool, on, out, err), 0) << err;
    Play("wait 1000\n");
    EXPECT_TRUE(Port().isOpen());
}

// Killed after any of its writes, before the end, the importer leaves every value as it was:
// the running driver reads the old settings and keeps its port.
TEST_F(RegImport, AnImporterKilledHalfWayChangesNothing) {
    {
        // The hive as the device will find it, written before any process is forked.
        auto reg = emul::Registry::open(hive);
        reg->setValue(kKey, u"Delay Time", emul::regDword(500));
        reg->setValue(u"Software\\Old", u"x", emul::regDword(1));
    }
    for (int n = 1; n <= kImportWrites; ++n) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            auto reg = emul::Registry::open(hive);
            KilledAfter dying(*reg, n);
            std::string error;
            handheld::regImport(dying, kImport, &error);
            _exit(3); // the import ended without the kill
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "after write " << n;
    }
    StartDevice();
    Play("wait 1000\n");
    EXPECT_TRUE(Port().isOpen());
    EXPECT_EQ(Dword(u"Enable Keyboard"), 1u);
    EXPECT_EQ(Dword(u"Delay Time"), 500u);
    EXPECT_TRUE(device->registry().keyExists(u"Software\\Old"));
    EXPECT_FALSE(device->registry().keyExists(u"Software\\New"));
    EXPECT_FALSE(device->registry().keyExists(u"Software\\Empty"));

    // The same file, not killed, is all there.
    auto tool = emul::Registry::open(hive);
    std::string error;
    ASSERT_TRUE(handheld::regImport(*tool, kImport, &error)) << error;
    EXPECT_EQ(Dword(u"Enable Keyboard"), 0u);
    EXPECT_TRUE(device->registry().keyExists(u"Software\\Empty"));
}

// A batch that gives up leaves nothing of what it wrote; batches do not nest.
TEST_F(RegImport, ABatchThatGivesUpLeavesNothing) {
    auto reg = emul::Registry::open("");
    reg->setValue(u"Software\\Old", u"x", emul::regDword(1));
    EXPECT_FALSE(reg->batch([&] {
        reg->setValue(u"Software\\New", u"a", emul::regDword(1));
        reg->deleteKey(u"Software\\Old");
        EXPECT_FALSE(reg->batch([] { return true; }));
        return false;
    }));
    EXPECT_FALSE(reg->keyExists(u"Software\\New"));
    EXPECT_TRUE(reg->getValue(u"Software\\Old", u"x"));
    EXPECT_TRUE(reg->batch([&] {
        reg->createKey(u"Software\\Made");
        return true;
    }));
    EXPECT_TRUE(reg->keyExists(u"Software\\Made"));
}

namespace {

// `handheld --state DIR reg ARGS` with standard output to `out`: exit status and what it said.
std::pair<int, std::string> regCommand(const std::string &dir, const std::string &args,
                                       const std::string &out = "/dev/null") {
    std::string errFile = dir + "/stderr";
    std::string cmd = std::string(HANDHELD_EXE) + " --state " + dir + " reg " + args + " >" + out +
                      " 2>" + errFile;
    int status = std::system(cmd.c_str());
    std::ifstream in(errFile);
    std::string said((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, said};
}

} // namespace

// Every fault of the command line is named, with status 2 for a bad argument or file and 1 for
// what is missing or could not be written; nothing aborts.
TEST(RegCommand, FaultsAreNamedWithTheirExitStatus) {
    char tmpl[] = "/tmp/reg-cmd-XXXXXX";
    ASSERT_TRUE(mkdtemp(tmpl));
    std::string dir = tmpl;
    emul::Registry::open(dir + "/registry.db")->setValue(kKey, u"Dll", emul::regSz(u"x.dll"));
    std::ofstream(dir + "/bad.reg") << "REGEDIT4\n[HKLM\\A]\n\"x\"=dword:zz\n";
    std::ofstream(dir + "/empty.reg");

    struct Case {
        const char *args;
        int status;
        const char *said;
    } cases[] = {
        {"", 2, "query, set, delete, export or import"},
        {"frob", 2, "frob"},
        {"query", 2, "KEY is required"},
        {"query Nowhere", 1, "no such key: HKEY_LOCAL_MACHINE\\Nowhere"},
        {"query 'HKCU\\X'", 2, "only keys under HKEY_LOCAL_MACHINE"},
        {"set A v dword 12x", 2, "not a 32-bit number: 12x"},
        {"set A v float 1", 2, "unknown type float"},
        {"delete ''", 2, "the root itself cannot be deleted"},
        {"delete A v", 1, "no value \"v\" in HKEY_LOCAL_MACHINE\\A"},
        {"import /nonexistent/x.reg", 2, "cannot read /nonexistent/x.reg"},
        {"import /tmp", 2, "/tmp: it is a folder"},
        {"import bad.reg", 2, "line 3: not a dword: dword:zz"},
        {"import empty.reg", 2, "empty: not REGEDIT4 text"},
    };
    for (const Case &c : cases) {
        std::string args = c.args;
        for (const char *f : {"bad.reg", "empty.reg"})
            if (args.find(f) != std::string::npos)
                args.replace(args.find(f), std::strlen(f), dir + "/" + f);
        auto [status, said] = regCommand(dir, args);
        EXPECT_EQ(status, c.status) << c.args << ": " << said;
        EXPECT_NE(said.find(c.said), std::string::npos) << c.args << ": " << said;
    }
    auto [status, said] = regCommand(dir, "export", "/dev/full");
    EXPECT_EQ(status, 1);
    EXPECT_NE(said.find("cannot write the output"), std::string::npos) << said;
    std::filesystem::remove_all(dir);
}
