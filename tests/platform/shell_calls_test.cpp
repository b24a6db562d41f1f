// The shell's calls as a program makes them: the file search's rules, special folders, the
// shortcut format, the menu bar and the input panel through the shell.
#include <aygshell.h>
#include <shellapi.h>
#include <shlobj.h>
#include <sipapi.h>
#include <windows.h>

#include "emul/device.h"
#include "emul/files.h"
#include "emul/shell.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::u16string> Find(const char16_t *pattern, DWORD *error = nullptr) {
    std::vector<std::u16string> names;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(pattern, &fd);
    if (h == INVALID_HANDLE_VALUE) {
        if (error)
            *error = GetLastError();
        return names;
    }
    do
        names.push_back(std::u16string(fd.cFileName) +
                        ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? u"\\" : u""));
    while (FindNextFileW(h, &fd));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(h));
    EXPECT_FALSE(FindClose(h));
    return names;
}

TEST(ShellCalls, FileSearchMatchesWildcardsWithoutCaseInAFixedOrder) {
    emul::Device d;
    d.files().writeFile(u"\\Windows\\Start Menu\\Programs\\Notes.lnk", "17#\\Windows\\Notes.exe");
    d.files().writeFile(u"\\Windows\\Start Menu\\calc.LNK", "x");
    d.files().writeFile(u"\\Windows\\Start Menu\\Read me.txt", "x");
    EXPECT_EQ(Find(u"\\Windows\\Start Menu\\*.*"),
              (std::vector<std::u16string>{u"calc.LNK", u"Programs\\", u"Read me.txt"}));
    EXPECT_EQ(Find(u"\\windows\\start menu\\*.lnk"), (std::vector<std::u16string>{u"calc.LNK"}));
    EXPECT_EQ(Find(u"\\Windows\\Start Menu\\?ead*"), (std::vector<std::u16string>{u"Read me.txt"}));
    DWORD error = 0;
    EXPECT_TRUE(Find(u"\\Windows\\Start Menu\\*.exe", &error).empty());
    EXPECT_EQ(error, DWORD(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(Find(u"\\Nowhere\\*.*", &error).empty());
    EXPECT_EQ(error, DWORD(ERROR_PATH_NOT_FOUND));
}

TEST(ShellCalls, StartMenuComesThroughItsItemList) {
    emul::Device d;
    LPITEMIDLIST pidl = nullptr;
    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_STARTMENU, &pidl), S_OK);
    WCHAR path[MAX_PATH];
    ASSERT_TRUE(SHGetPathFromIDList(pidl, path));
    EXPECT_EQ(std::u16string(path), u"\\Windows\\Start Menu");
    LocalFree(pidl);
    ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_PROGRAMS, FALSE));
    EXPECT_EQ(std::u16string(path), u"\\Windows\\Start Menu\\Programs");
    EXPECT_EQ(SHGetSpecialFolderLocation(nullptr, 0x77, &pidl), E_INVALIDARG);
    EXPECT_EQ(pidl, nullptr);
}

TEST(ShellCalls, ShortcutTargetIsTheRestOfTheFirstLineAndMustFit) {
    emul::Device d;
    d.files().writeFile(u"\\s\\plain.lnk", "21#\\Windows\\solitare.exe");
    d.files().writeFile(u"\\s\\quoted.lnk", "40#\"\\Program Files\\My App.exe\" -x\r\nmore");
    d.files().writeFile(u"\\s\\miscounted.lnk", "3#\\Windows\\pword.exe");
    d.files().writeFile(u"\\s\\empty.lnk", "");
    d.files().writeFile(u"\\s\\nohash.lnk", "\\Windows\\calc.exe");
    WCHAR t[150];
    ASSERT_TRUE(SHGetShortcutTarget(const_cast<LPWSTR>(u"\\s\\plain.lnk"), t, 150));
    EXPECT_EQ(std::u16string(t), u"\\Windows\\solitare.exe");
    ASSERT_TRUE(SHGetShortcutTarget(const_cast<LPWSTR>(u"\\s\\quoted.lnk"), t, 150));
    EXPECT_EQ(std::u16string(t), u"\"\\Program Files\\My App.exe\" -x");
    ASSERT_TRUE(SHGetShortcutTarget(const_cast<LPWSTR>(u"\\s\\miscounted.lnk"), t, 150));
    EXPECT_EQ(std::u16string(t), u"\\Windows\\pword.exe");
    for (const char16_t *bad : {u"\\s\\empty.lnk", u"\\s\\nohash.lnk", u"\\s\\missing.lnk"}) {
        t[0] = u'x';
        EXPECT_FALSE(SHGetShortcutTarget(const_cast<LPWSTR>(bad), t, 150));
        EXPECT_EQ(t[0], 0);
    }
    // A target longer than the buffer is refused, not cut into another path.
    EXPECT_FALSE(SHGetShortcutTarget(const_cast<LPWSTR>(u"\\s\\plain.lnk"), t, 21));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(t[0], 0);
    EXPECT_TRUE(SHGetShortcutTarget(const_cast<LPWSTR>(u"\\s\\plain.lnk"), t, 22));
}

TEST(ShellCalls, MenuBarSitsAtTheBottomAndLeavesTheForegroundAlone) {
    emul::Device d;
    HWND main = CreateWindowExW(WS_EX_CAPTIONOKBTN, u"Static", u"Main", WS_VISIBLE, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_EQ(GetForegroundWindow(), main);
    SHMENUBARINFO mbi{};
    mbi.cbSize = 32; // the CE 3.00 record
    mbi.hwndParent = main;
    mbi.dwFlags = SHCMBF_EMPTYBAR;
    ASSERT_TRUE(SHCreateMenuBar(&mbi));
    ASSERT_NE(mbi.hwndMB, nullptr);
    RECT r{};
    GetWindowRect(mbi.hwndMB, &r);
    EXPECT_EQ(r.bottom, 320);
    EXPECT_EQ(r.bottom - r.top, 26);
    EXPECT_TRUE(IsWindowVisible(mbi.hwndMB));
    EXPECT_EQ(GetForegroundWindow(), main);
    mbi.cbSize = 8;
    EXPECT_FALSE(SHCreateMenuBar(&mbi));
}

// A program's window of default size takes the work area below the task bar, menu bar's strip
// included; only a program that asks for the full screen gets the task bar out of the way.
TEST(ShellCalls, DefaultWindowsTakeTheWorkAreaAndFullScreenHidesTheTaskBar) {
    emul::Device d;
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"HHTaskBar";
    ASSERT_TRUE(RegisterClassW(&wc));
    HWND bar = CreateWindowExW(0, u"HHTaskBar", u"", WS_VISIBLE, 0, 0, 240, 26, nullptr, nullptr,
                               nullptr, nullptr);
    HWND main = CreateWindowExW(0, u"Static", u"Main", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
    RECT work{}, r{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    GetWindowRect(main, &r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 26);
    EXPECT_EQ(r.right, 240);
    EXPECT_EQ(r.bottom, 320);
    EXPECT_EQ(work.top, r.top);
    EXPECT_EQ(work.bottom, r.bottom);

    EXPECT_TRUE(SHFullScreen(main, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON));
    EXPECT_FALSE(IsWindowVisible(bar));
    EXPECT_EQ(GetForegroundWindow(), main);
    EXPECT_TRUE(SHFullScreen(main, SHFS_SHOWTASKBAR));
    EXPECT_TRUE(IsWindowVisible(bar));
    EXPECT_EQ(GetForegroundWindow(), main);
    EXPECT_FALSE(SHFullScreen(nullptr, SHFS_HIDETASKBAR));
    EXPECT_TRUE(IsWindowVisible(bar));
}

TEST(ShellCalls, InputPanelInfoFollowsThePanel) {
    emul::Device d;
    SIPINFO si{};
    si.cbSize = 48;
    ASSERT_TRUE(SHSipInfo(SPI_GETSIPINFO, 0, &si, 0));
    EXPECT_FALSE(si.fdwFlags & SIPF_ON);
    LONG full = si.rcVisibleDesktop.bottom;
    SipShowIM(SIPF_ON);
    ASSERT_TRUE(SHSipInfo(SPI_GETSIPINFO, 0, &si, 0));
    EXPECT_TRUE(si.fdwFlags & SIPF_ON);
    EXPECT_EQ(full - si.rcVisibleDesktop.bottom, si.rcSipRect.bottom - si.rcSipRect.top);
    si.cbSize = 12;
    EXPECT_FALSE(SHSipInfo(SPI_GETSIPINFO, 0, &si, 0));
}

// The driver asks SipGetInfo, the settings program SHSipInfo: they must see one panel.
TEST(ShellCalls, TheInputPanelReadsTheSameThroughEveryCall) {
    emul::Device d;
    auto read = [](int how) {
        SIPINFO si{};
        si.cbSize = 48;
        bool ok = how == 0   ? SipGetInfo(&si)
                  : how == 1 ? SHSipInfo(SPI_GETSIPINFO, 0, &si, 0)
                             : SystemParametersInfoW(SPI_GETSIPINFO, 0, &si, 0);
        EXPECT_TRUE(ok) << how;
        return si;
    };
    for (bool on : {false, true}) {
        SIPINFO a = read(0);
        for (int how : {1, 2}) {
            SIPINFO b = read(how);
            EXPECT_EQ(a.fdwFlags, b.fdwFlags) << "call " << how << " on " << on;
            EXPECT_EQ(std::memcmp(&a.rcVisibleDesktop, &b.rcVisibleDesktop, sizeof(RECT)), 0);
            EXPECT_EQ(std::memcmp(&a.rcSipRect, &b.rcSipRect, sizeof(RECT)), 0);
            EXPECT_EQ(a.dwImDataSize, b.dwImDataSize);
        }
        EXPECT_EQ(a.fdwFlags, DWORD(on ? SIPF_ON | SIPF_DOCKED : SIPF_DOCKED));
        EXPECT_EQ(a.rcSipRect.bottom, 320 - 26); // on the menu bar
        EXPECT_EQ(a.rcVisibleDesktop.bottom, on ? a.rcSipRect.top : a.rcSipRect.bottom);
        // Setting it through the panel's own call shows or hides it as the shell's does.
        SIPINFO set = a;
        set.fdwFlags = on ? SIPF_DOCKED : SIPF_ON | SIPF_DOCKED;
        EXPECT_TRUE(SipSetInfo(&set));
    }
    EXPECT_FALSE(read(0).fdwFlags & SIPF_ON);
    SIPINFO bad{};
    bad.cbSize = 12;
    SetLastError(0);
    EXPECT_FALSE(SipGetInfo(&bad));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(SipSetInfo(&bad));
    EXPECT_EQ(d.journal().grep("SipShowIM").size(), 2u);
}

} // namespace
