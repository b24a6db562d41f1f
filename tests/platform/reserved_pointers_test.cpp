// A small number where a window, text or shell call takes a string or a buffer fails the call
// with its usual failure value and error 87, and the platform neither reads nor writes there.
// Class names below 0x10000 are atoms and stay valid.
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <windows.h>

#include "emul/device.h"
#include "emul/journal.h"

#include <gtest/gtest.h>

#include <functional>
#include <iterator>

namespace {

LRESULT CALLBACK Remember(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_SETTEXT)
        SetWindowLongW(h, GWL_USERDATA, LONG(lp));
    return msg == WM_SETTEXT ? TRUE : DefWindowProcW(h, msg, wp, lp);
}

struct Refused {
    const char *call;
    std::function<bool()> failed; // true when the call returned its failure value
};

TEST(ReservedPointers, WindowTextAndShellCallsRefuseThemWithError87) {
    emul::Device device;
    LPCWSTR name = reinterpret_cast<LPCWSTR>(4096);
    LPWSTR buf = reinterpret_cast<LPWSTR>(32);
    LPARAM low = 16;
    RECT *rect = reinterpret_cast<RECT *>(0xFFF0);
    HWND main = CreateWindowExW(0, u"Static", u"Main", WS_VISIBLE, 0, 26, 240, 294, nullptr,
                                nullptr, nullptr, nullptr);
    HWND edit = CreateWindowExW(0, u"Edit", u"kept", WS_CHILD, 0, 0, 100, 20, main, nullptr,
                                nullptr, nullptr);
    HWND combo = CreateWindowExW(0, u"ComboBox", u"", WS_CHILD | CBS_DROPDOWNLIST, 0, 30, 100, 80,
                                 main, nullptr, nullptr, nullptr);
    HWND tab = CreateWindowExW(0, WC_TABCONTROL, u"", WS_CHILD, 0, 120, 200, 100, main, nullptr,
                               nullptr, nullptr);
    ASSERT_TRUE(edit && combo && tab);
    SendMessageW(combo, CB_ADDSTRING, 0, LPARAM(u"one"));
    HDC dc = GetDC(main);
    RECT r{0, 0, 50, 20};
    SIZE size;
    WNDCLASSW wc{};
    wc.lpszClassName = name;
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = buf;
    SHELLEXECUTEINFO sei{};
    sei.cbSize = sizeof sei;
    sei.lpFile = name;
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFile = buf;
    ofn.nMaxFile = 260;
    PROCESS_INFORMATION pi;

    const Refused calls[] = {
        {"SetWindowTextW", [&] { return !SetWindowTextW(edit, name); }},
        {"GetWindowTextW", [&] { return GetWindowTextW(edit, buf, 10) == 0; }},
        {"GetDlgItemTextW", [&] { return GetDlgItemTextW(main, 999, buf, 10) == 0; }},
        {"GetClassNameW", [&] { return GetClassNameW(edit, buf, 10) == 0; }},
        {"RegisterClassW", [&] { return RegisterClassW(&wc) == 0; }},
        {"CreateWindowExW title",
         [&] {
             return !CreateWindowExW(0, u"Static", name, 0, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                                     nullptr);
         }},
        {"FindWindowW title", [&] { return !FindWindowW(nullptr, name); }},
        {"WM_SETTEXT", [&] { return !SendMessageW(edit, WM_SETTEXT, 0, low); }},
        {"WM_GETTEXT", [&] { return SendMessageW(edit, WM_GETTEXT, 10, low) == 0; }},
        {"EM_REPLACESEL", [&] { return SendMessageW(edit, EM_REPLACESEL, 0, low) == 0; }},
        {"CB_ADDSTRING", [&] { return SendMessageW(combo, CB_ADDSTRING, 0, low) == CB_ERR; }},
        {"CB_GETLBTEXT", [&] { return SendMessageW(combo, CB_GETLBTEXT, 0, low) == CB_ERR; }},
        {"CB_FINDSTRING", [&] { return SendMessageW(combo, CB_FINDSTRING, -1, low) == CB_ERR; }},
        {"TCM_INSERTITEMW",
         [&] { return SendMessageW(tab, TCM_INSERTITEMW, 0, LPARAM(&item)) == -1; }},
        {"TCM_GETITEMRECT", [&] { return SendMessageW(tab, TCM_GETITEMRECT, 0, low) == 0; }},
        {"DrawTextW", [&] { return DrawTextW(dc, name, -1, &r, 0) == 0; }},
        {"DrawTextW rect", [&] { return DrawTextW(dc, u"x", -1, rect, 0) == 0; }},
        {"ExtTextOutW", [&] { return !ExtTextOutW(dc, 0, 0, 0, nullptr, name, 3, nullptr); }},
        {"GetTextExtentPoint32W", [&] { return !GetTextExtentPoint32W(dc, name, 3, &size); }},
        {"GetTextExtentPoint32W size",
         [&] { return !GetTextExtentPoint32W(dc, u"abc", 3, reinterpret_cast<LPSIZE>(low)); }},
        {"GetTextMetricsW",
         [&] { return !GetTextMetricsW(dc, reinterpret_cast<LPTEXTMETRICW>(low)); }},
        {"GetObjectW", [&] { return GetObjectW(GetStockObject(SYSTEM_FONT), 60, buf) == 0; }},
        {"MessageBoxW", [&] { return MessageBoxW(main, name, u"Caption", MB_OK) == 0; }},
        {"ShellExecuteEx", [&] { return !ShellExecuteEx(&sei); }},
        {"GetOpenFileNameW", [&] { return !GetOpenFileNameW(&ofn); }},
        {"SHGetSpecialFolderPath",
         [&] { return !SHGetSpecialFolderPath(nullptr, buf, CSIDL_PERSONAL, FALSE); }},
        {"CreateProcessW",
         [&] {
             return !CreateProcessW(name, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                    nullptr, &pi);
         }},
        {"LoadStringW", [&] { return LoadStringW(nullptr, 1, buf, 10) == 0; }},
        {"LoadLibraryW", [&] { return !LoadLibraryW(name); }},
        {"GetModuleFileNameW", [&] { return GetModuleFileNameW(nullptr, buf, 10) == 0; }},
        {"CreateEventW", [&] { return !CreateEventW(nullptr, FALSE, FALSE, name); }},
    };
    for (const Refused &c : calls) {
        SetLastError(0);
        EXPECT_TRUE(c.failed()) << c.call;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << c.call;
    }
    ReleaseDC(main, dc);

    // Nothing was taken in: the texts and lists are as they were, and no refused call was
    // journaled as made.
    WCHAR text[16];
    EXPECT_EQ(GetWindowTextW(edit, text, 16), 4);
    EXPECT_EQ(std::u16string(text), u"kept");
    EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 1);
    EXPECT_EQ(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0), 0);
    EXPECT_TRUE(device.journal().grep("MessageBoxW").empty());
    EXPECT_TRUE(device.journal().grep("ShellExecuteEx").empty());
    EXPECT_TRUE(device.journal().grep("GetOpenFileNameW").empty());
}

// Only the platform's own procedures refuse: a program's window gets whatever its caller sends,
// and a class is reached by its atom as well as by its name.
TEST(ReservedPointers, AtomsAndAProgramsOwnMessagesPassThrough) {
    emul::Device device;
    WNDCLASSW wc{};
    wc.lpfnWndProc = Remember;
    wc.lpszClassName = u"Rememberer";
    ATOM atom = RegisterClassW(&wc);
    ASSERT_NE(atom, 0);
    HWND w = CreateWindowExW(0, MAKEINTATOM(atom), u"By atom", 0, 0, 0, 10, 10, nullptr, nullptr,
                             nullptr, nullptr);
    ASSERT_NE(w, nullptr);
    WCHAR cls[16];
    ASSERT_EQ(GetClassNameW(w, cls, 16), 10);
    EXPECT_EQ(std::u16string(cls), u"Rememberer");
    EXPECT_EQ(FindWindowW(MAKEINTATOM(atom), nullptr), w);
    EXPECT_EQ(SendMessageW(w, WM_SETTEXT, 0, 5), TRUE);
    EXPECT_EQ(GetWindowLongW(w, GWL_USERDATA), 5);

    // Another class's atom is another class; one never registered names none.
    wc.lpszClassName = u"Second";
    ATOM second = RegisterClassW(&wc);
    EXPECT_NE(second, atom);
    DestroyWindow(w);
    EXPECT_TRUE(UnregisterClassW(MAKEINTATOM(atom), nullptr));
    EXPECT_EQ(RegisterClassW(&wc), 0); // "Second" is still there
    wc.lpszClassName = u"Third";
    EXPECT_NE(RegisterClassW(&wc), second); // atoms stay unique after an unregistration
    SetLastError(0);
    EXPECT_EQ(CreateWindowExW(0, MAKEINTATOM(atom), u"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), 1407u); // ERROR_CANNOT_FIND_WND_CLASS
}

} // namespace
