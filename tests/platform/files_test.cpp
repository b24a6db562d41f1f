// The device's file system stays inside its folder: no way out through "..", host links or
// module files shared with the build, and bad paths are errors of the call, not of the device.
#include <windows.h>

#include "emul/device.h"
#include "emul/devmgr.h"
#include "emul/files.h"
#include "emul/process.h"
#include "emul/registry.h"
#include "handheld/image/install.h"
#include "handheld/scenario/scenario.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

emul::RegValue Sz(const std::u16string &s) {
    emul::RegValue r;
    r.type = REG_SZ;
    r.data.resize((s.size() + 1) * 2);
    std::memcpy(r.data.data(), s.c_str(), r.data.size());
    return r;
}

class Files : public ::testing::Test {
  protected:
    Files() {
        handheld::InstallOptions options;
        options.withPort = false;
        handheld::install(device, options);
    }
    // Plays scenario lines; the message of the line that stopped it, or "" when all ran.
    std::string Play(const std::string &text) {
        handheld::ScenarioRunner runner(device);
        handheld::ScnError err;
        return runner.playText(text, &err) ? "" : err.message;
    }
    DWORD Create(const std::u16string &name, DWORD access, DWORD disposition) {
        SetLastError(0);
        HANDLE h = CreateFileW(name.c_str(), access, 0, nullptr, disposition, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return GetLastError();
        CloseHandle(h);
        return 0;
    }
    std::string Outside() { return fs::path(device.rootDir()).parent_path().string(); }

    emul::Device device;
};

TEST_F(Files, WritesToAnInstalledModuleNeverReachTheBuild) {
    const std::string build = handheld::moduleDir() + "/irkdrv_ce420.so";
    const std::string before = slurp(build);
    ASSERT_FALSE(before.empty());
    // The program's own calls are refused: the module is a read-only file of the device.
    EXPECT_EQ(Create(u"\\Windows\\Lumakey.DLL", GENERIC_WRITE, OPEN_EXISTING),
              DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(Create(u"\\Windows\\Lumakey.DLL", GENERIC_READ, CREATE_ALWAYS),
              DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(GetFileAttributesW(u"\\Windows\\Lumakey.DLL"), DWORD(FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(DeleteFileW(u"\\Windows\\Lumakey.DLL"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    // A scenario's file replaces the device's file, not the content it shared with the build.
    EXPECT_EQ(Play("file \"\\Windows\\Lumakey.DLL\" \"x\"\n"), "");
    EXPECT_EQ(slurp(device.files().hostPath(u"\\Windows\\Lumakey.DLL")), "x");
    EXPECT_EQ(slurp(build), before);
    EXPECT_EQ(device.devices().activate(u"Drivers\\BuiltIn\\Norvel", 0), 0u);
}

TEST_F(Files, DotDotNamesNothing) {
    const std::string escape = Outside() + "/escape.txt";
    std::error_code ec;
    fs::remove(escape, ec);
    EXPECT_NE(Play("file \"\\..\\escape.txt\" x\n"), "");
    EXPECT_EQ(Create(u"\\..\\escape.txt", GENERIC_WRITE, CREATE_ALWAYS), DWORD(ERROR_INVALID_NAME));
    EXPECT_EQ(Create(u"..\\escape.txt", GENERIC_WRITE, CREATE_ALWAYS), DWORD(ERROR_INVALID_NAME));
    EXPECT_EQ(Create(u"\\Windows\\..\\..\\escape.txt", GENERIC_WRITE, CREATE_ALWAYS),
              DWORD(ERROR_INVALID_NAME));
    EXPECT_FALSE(CreateDirectoryW(u"\\..\\escape.txt", nullptr));
    EXPECT_FALSE(fs::exists(escape));
    // A path without its leading backslash still starts at the root.
    EXPECT_EQ(Create(u"inside.txt", GENERIC_WRITE, CREATE_NEW), 0u);
    EXPECT_TRUE(fs::exists(device.rootDir() + "/inside.txt"));
}

TEST_F(Files, DriversAndProgramsLoadOnlyFromTheDevice) {
    // A host library by a path that climbs out, by a host path, and through a host link.
    const std::string lib = fs::canonical("/proc/self/exe").string();
    auto &reg = device.registry();
    const std::u16string key = u"Drivers\\BuiltIn\\Norvel";
    std::u16string climb = u"..\\..\\..\\..\\..\\..\\..\\..";
    for (char c : lib)
        climb += c == '/' ? u'\\' : char16_t(c);
    fs::create_symlink(lib, device.rootDir() + "/Windows/Host.dll");
    for (const std::u16string &dll :
         {climb, std::u16string(lib.begin(), lib.end()), std::u16string(u"\\Windows\\Host.dll")}) {
        reg.setValue(key, u"Dll", Sz(dll));
        SetLastError(0);
        EXPECT_EQ(device.devices().activate(key, 0), 0u);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
        EXPECT_EQ(LoadLibraryW(dll.c_str()), nullptr);
    }
    fs::create_symlink(lib, device.rootDir() + "/Windows/host.exe");
    uint32_t error = 0;
    EXPECT_EQ(device.processes().start(u"\\Windows\\host.exe", u"", &error), nullptr);
    EXPECT_FALSE(device.processes().hasProgram(u"host.exe"));
}

TEST_F(Files, HostLinksAreNotFollowedOutOfTheFolder) {
    const std::string target =
        Outside() + "/" + fs::path(device.rootDir()).filename().string() + ".out";
    std::ofstream(target) << "host";
    fs::create_symlink(target, device.rootDir() + "/out.txt");
    fs::create_directory_symlink(Outside(), device.rootDir() + "/up");
    EXPECT_EQ(Create(u"\\out.txt", GENERIC_WRITE, OPEN_EXISTING), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(Create(u"\\out.txt", GENERIC_READ, OPEN_EXISTING), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(Create(u"\\up\\new.txt", GENERIC_WRITE, CREATE_ALWAYS), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_NE(Play("file \\out.txt changed\n"), "");
    EXPECT_EQ(slurp(target), "host");
    // A link that stays inside is an ordinary name.
    std::ofstream(device.rootDir() + "/real.txt") << "in";
    fs::create_symlink(device.rootDir() + "/real.txt", device.rootDir() + "/alias.txt");
    EXPECT_EQ(Create(u"\\alias.txt", GENERIC_READ, OPEN_EXISTING), 0u);
    fs::remove(target);
}

TEST_F(Files, BadPathsAreErrorsOfTheCommand) {
    const std::string longName(256, 'n');
    EXPECT_EQ(Play("file \\Windows\\Lumakey.htm\\under.txt x\n"),
              "file: cannot write \"\\Windows\\Lumakey.htm\\under.txt\": a name on the way "
              "is a file");
    EXPECT_NE(Play("file \\" + longName + " x\n").find("longer than 255"), std::string::npos);
    EXPECT_NE(Play("file \\Windows x\n").find("a folder is there"), std::string::npos);
    EXPECT_EQ(Create(u"\\Windows\\Lumakey.htm\\under.txt", GENERIC_WRITE, CREATE_ALWAYS),
              DWORD(ERROR_PATH_NOT_FOUND));
    std::u16string longPath = u"\\" + std::u16string(256, u'n');
    EXPECT_EQ(Create(longPath, GENERIC_WRITE, CREATE_ALWAYS), DWORD(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_EQ(Create(u"\\a?b", GENERIC_WRITE, CREATE_ALWAYS), DWORD(ERROR_INVALID_NAME));
    // The device goes on.
    EXPECT_EQ(Play("file \\Windows\\ok.txt fine\n"), "");
}

} // namespace

// The device's file systems have no links: a host link to a folder is not listed, so a walk
// through the Start menu cannot go round two links to the folder itself for ever; it still
// reaches what stands in the folder, and a link to a file is listed as that file.
TEST_F(Files, SearchesListNoHostLinkToAFolder) {
    const std::string programs = device.rootDir() + "/Windows/Start Menu/Programs";
    ASSERT_EQ(Play("file \"\\Windows\\Start Menu\\Programs\\Calculator.lnk\" "
                   "\"17#\\Windows\\calc.exe\"\n"),
              "");
    fs::create_directory_symlink(".", programs + "/loop");
    fs::create_directory_symlink(programs, programs + "/again");
    fs::create_symlink(programs + "/Calculator.lnk", programs + "/Sums.lnk");
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(u"\\Windows\\Start Menu\\Programs\\*.*", &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    std::vector<std::u16string> names;
    do
        names.push_back(std::u16string(found.cFileName) +
                        (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? u"\\" : u""));
    while (FindNextFileW(search, &found));
    FindClose(search);
    EXPECT_EQ(names, (std::vector<std::u16string>{u"Calculator.lnk", u"Sums.lnk"}));
    // Its path still reaches what a link leads to.
    EXPECT_EQ(Create(u"\\Windows\\Start Menu\\Programs\\loop\\Calculator.lnk", GENERIC_READ,
                     OPEN_EXISTING),
              0u);

    ASSERT_EQ(Play("run kbsettings\ntab 1\nshow 1009\ncancel\n"), "");
    std::vector<std::string> rows = device.journal().grep("\"control\":1009");
    ASSERT_EQ(rows.size(), 1u);
    // The row's own empty entry (no "Fn-1" yet), then each program once.
    EXPECT_NE(rows[0].find(R"("items":["Choose Data File...","","Calculator","Sums"])"),
              std::string::npos)
        << rows[0];
}
