// The platform's other programs, small ones: each is a window on the work area, above its menu
// bar and the input panel, that shows its name and the command line it got, and the text
// programs have a text box that shows what was typed, kept as their document in \My Documents
// (read at start, written when the window closes).
// The shell's desktop and task bar come with the shell program, "explorer.exe".
#include <aygshell.h>
#include <sipapi.h>
#include <windows.h>

#include "emul/device.h"
#include "emul/files.h"
#include "emul/process.h"
#include "emul/shell.h"
#include "emul/windows_sys.h"
#include "shell/program_window.h"

#include "emul/text.h"

#include <algorithm>
#include <string>

using namespace emul;

namespace {

constexpr int kDocumentId = 100;  // the text box of every text program, Notes' document too
constexpr int kCommandLineId = 1; // the help viewer's page too
constexpr int kPageMargin = 4;

// A program's document: its title as the file name, in the user's documents folder.
std::u16string documentPath(HWND main) {
    WCHAR title[64] = {};
    GetWindowTextW(main, title, 64);
    return std::u16string(u"\\My Documents\\") + title + u".txt";
}

} // namespace

namespace emul {

void loadDocument(HWND main) {
    std::string text;
    HWND doc = GetDlgItem(main, kDocumentId);
    if (doc && dev().files().readFile(documentPath(main), &text)) {
        std::u16string document = utf16(text);
        SetWindowTextW(doc, document.c_str());
        // Typing goes on where the document ends.
        SendMessageW(doc, EM_SETSEL, document.size(), LPARAM(document.size()));
    }
}

void saveDocument(HWND main) {
    if (HWND doc = GetDlgItem(main, kDocumentId))
        dev().files().writeFile(documentPath(main), utf8(dev().windows().text(uintptr_t(doc))));
}

void fitToDesktop(HWND main) {
    SIPINFO si{};
    si.cbSize = sizeof si;
    if (!SipGetInfo(&si))
        return;
    const RECT &r = si.rcVisibleDesktop;
    MoveWindow(main, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
}

void showProgramWindow(HWND main) {
    SHMENUBARINFO bar{};
    bar.cbSize = sizeof bar;
    bar.hwndParent = main;
    bar.dwFlags = SHCMBF_EMPTYBAR;
    SHCreateMenuBar(&bar);
    fitToDesktop(main);
}

namespace {

// The children follow the window's size: the command line keeps its one line and the document
// takes the rest.
void layOut(HWND main, int width, int height) {
    int top = 0;
    if (HWND label = GetDlgItem(main, kCommandLineId)) {
        RECT r{};
        GetWindowRect(label, &r);
        top = r.bottom - r.top;
        MoveWindow(label, 0, 0, width, top, TRUE);
    }
    if (HWND doc = GetDlgItem(main, kDocumentId))
        MoveWindow(doc, 0, top, width, std::max(0, height - top), TRUE);
}

} // namespace

LRESULT CALLBACK ProgramWindow(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_SETTINGCHANGE:
        // The input panel came or went: the window takes what it leaves of the screen.
        if (wp == SPI_SETSIPINFO)
            fitToDesktop(hwnd);
        return 0;
    case WM_SIZE:
        layOut(hwnd, LOWORD(lp), HIWORD(lp));
        return 0;
    case WM_CLOSE:
        saveDocument(hwnd);
        DestroyWindow(hwnd);
        return 0;
    case kPowerBroadcast:
        if (wp == kPowerSuspend)
            saveDocument(hwnd);
        return TRUE;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK ShellWindow(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    // The desktop and the task bar keep their places whatever the input panel does.
    if (msg == WM_SETTINGCHANGE || msg == WM_SIZE)
        return DefWindowProcW(hwnd, msg, wp, lp);
    return ProgramWindow(hwnd, msg, wp, lp);
}

int programMessageLoop() {
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    return int(m.wParam);
}

} // namespace emul

namespace {

struct ProgramInfo {
    const char16_t *exe;
    const char16_t *className;
    const char16_t *title;
    bool text; // has a text box
};

const ProgramInfo kPrograms[] = {
    {u"tmail.exe", u"Inbox", u"Mail", true},
    {u"pword.exe", u"PWord", u"Word", true},
    {u"pxl.exe", u"Pxl", u"Spreadsheet", true},
    {u"tasks.exe", u"Tasks", u"Tasks", true},
    {u"calc.exe", u"Calculator", u"Calculator", true},
    {u"clock.exe", u"Clock", u"Clock", false},
    {u"iexplore.exe", u"IExplore", u"Internet Explorer", true},
    {u"fexplore.exe", u"Explore", u"File Explorer", false},
    {u"player.exe", u"MediaPlayer", u"Media Player", false},
    {u"iTask.exe", u"iTask", u"Task Manager", false},
    {u"moneyce.exe", u"Money", u"Money", true},
    {u"Qstart.exe", u"QuickStart", u"Quick Start", false},
    {u"msreader.exe", u"Reader", u"Reader", false},
};

bool registerClass(const char16_t *name, WNDPROC proc = ProgramWindow) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = proc;
    wc.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
    wc.lpszClassName = name;
    return RegisterClassW(&wc) != 0;
}

std::u16string trimmed(const std::u16string &s) {
    size_t b = s.find_first_not_of(u' ');
    if (b == std::u16string::npos)
        return u"";
    return s.substr(b, s.find_last_not_of(u' ') + 1 - b);
}

int runProgram(const ProgramInfo &info, const std::u16string &cmdLine, const char16_t *className,
               const char16_t *title) {
    // A second start brings the running one forward, as the platform's programs do.
    if (HWND running = FindWindowW(className, nullptr)) {
        dev().windows().setForeground(reinterpret_cast<uintptr_t>(running));
        return 0;
    }
    registerClass(className);
    // The work area below the task bar, as the platform gives a window of default size.
    HWND main = CreateWindowExW(0, className, title, WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
    if (!main)
        return 1;
    RECT client{};
    GetClientRect(main, &client);
    std::u16string shown = std::u16string(title) + u": " +
                           (trimmed(cmdLine).empty() ? u"(no command line)" : trimmed(cmdLine));
    CreateWindowExW(0, u"Static", shown.c_str(), WS_CHILD | WS_VISIBLE, 0, 0, client.right, 16,
                    main, reinterpret_cast<HMENU>(intptr_t(kCommandLineId)), nullptr, nullptr);
    if (info.text) {
        HWND edit = CreateWindowExW(
            0, u"Edit", u"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL, 0,
            16, client.right, client.bottom - 16, main,
            reinterpret_cast<HMENU>(intptr_t(kDocumentId)), nullptr, nullptr);
        loadDocument(main);
        SetFocus(edit);
    }
    showProgramWindow(main);
    dev().windows().setForeground(reinterpret_cast<uintptr_t>(main));
    int code = programMessageLoop();
    UnregisterClassW(className, nullptr);
    return code;
}

// Contacts and Calendar are one program; its command line chooses the part.
int OutlookMain(const std::u16string &cmdLine) {
    static const ProgramInfo contacts{u"poutlook.exe", u"Contacts", u"Contacts", true};
    static const ProgramInfo calendar{u"poutlook.exe", u"Calendar", u"Calendar", true};
    bool isCalendar = trimmed(cmdLine).find(u"calendar") == 0;
    const ProgramInfo &info = isCalendar ? calendar : contacts;
    return runProgram(info, cmdLine, info.className, info.title);
}

// A help page's text as the help viewer shows it: the body without its markup, a paragraph,
// heading or list item on a line of its own, the common entities spelled out.
std::u16string pageText(const std::u16string &html) {
    std::u16string out;
    size_t i = 0, body = html.find(u"<body");
    if (body != std::u16string::npos)
        i = body;
    while (i < html.size()) {
        if (html.compare(i, 4, u"<!--") == 0) {
            size_t end = html.find(u"-->", i);
            i = end == std::u16string::npos ? html.size() : end + 3;
            continue;
        }
        if (html[i] == u'<') {
            size_t end = html.find(u'>', i);
            std::u16string tag = html.substr(i + 1, end == std::u16string::npos ? 0 : end - i - 1);
            if (!tag.empty() && tag[0] == u'/')
                tag.erase(0, 1);
            char16_t t = tag.empty() ? 0 : char16_t(tag[0] | 0x20);
            bool block = t == u'p' || t == u'h' || t == u'l' || t == u'd' || t == u'b' ||
                         t == u't' || t == u'u' || t == u'o';
            if (block && !out.empty() && out.back() != u'\n')
                out += u'\n';
            i = end == std::u16string::npos ? html.size() : end + 1;
            continue;
        }
        static const std::pair<const char16_t *, char16_t> entities[] = {{u"&amp;", u'&'},
                                                                         {u"&lt;", u'<'},
                                                                         {u"&gt;", u'>'},
                                                                         {u"&quot;", u'"'},
                                                                         {u"&nbsp;", u' '}};
        bool entity = false;
        for (const auto &e : entities) {
            std::u16string name = e.first;
            if (html.compare(i, name.size(), name) == 0) {
                out += e.second;
                i += name.size();
                entity = true;
                break;
            }
        }
        if (entity)
            continue;
        char16_t c = html[i++];
        if (c == u'\r' || c == u'\n' || c == u'\t')
            c = u' ';
        if (c != u' ' || (!out.empty() && out.back() != u' ' && out.back() != u'\n'))
            out += c;
    }
    while (!out.empty() && (out.back() == u'\n' || out.back() == u' '))
        out.pop_back();
    return out;
}

// The help viewer's window: its page fills it within a margin, black on white as a page is.
LRESULT CALLBACK HelpWindow(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_CTLCOLORSTATIC) {
        HDC dc = reinterpret_cast<HDC>(wp);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    }
    if (msg != WM_SIZE)
        return ProgramWindow(hwnd, msg, wp, lp);
    if (HWND page = GetDlgItem(hwnd, kCommandLineId))
        MoveWindow(page, kPageMargin, kPageMargin, std::max(0, LOWORD(lp) - 2 * kPageMargin),
                   std::max(0, HIWORD(lp) - 2 * kPageMargin), TRUE);
    return 0;
}

// The help viewer: the page its command line names, as text.
int HelpMain(const std::u16string &cmdLine) {
    if (HWND running = FindWindowW(u"PegHelp", nullptr)) {
        dev().windows().setForeground(reinterpret_cast<uintptr_t>(running));
        return 0;
    }
    registerClass(u"PegHelp", HelpWindow);
    HWND main = CreateWindowExW(0, u"PegHelp", u"Help", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
    if (!main)
        return 1;
    std::u16string page = trimmed(cmdLine);
    if (page.size() >= 2 && page.front() == u'"' && page.back() == u'"')
        page = page.substr(1, page.size() - 2);
    std::string html;
    std::u16string text = dev().files().readFile(page, &html) ? pageText(utf16(html))
                          : page.empty() ? std::u16string(u"No help page was named.")
                                         : u"The help page " + page + u" is not on the device.";
    RECT client{};
    GetClientRect(main, &client);
    CreateWindowExW(0, u"Static", text.c_str(), WS_CHILD | WS_VISIBLE, kPageMargin, kPageMargin,
                    client.right - 2 * kPageMargin, client.bottom - 2 * kPageMargin, main,
                    reinterpret_cast<HMENU>(intptr_t(kCommandLineId)), nullptr, nullptr);
    showProgramWindow(main);
    dev().windows().setForeground(reinterpret_cast<uintptr_t>(main));
    int code = programMessageLoop();
    UnregisterClassW(u"PegHelp", nullptr);
    return code;
}

// The shell: the desktop and, along the top of the screen, the task bar.
int ExplorerMain(const std::u16string &) {
    if (FindWindowW(u"HHTaskBar", nullptr))
        return 0;
    registerClass(u"DesktopExplorerWindow", ShellWindow);
    registerClass(u"HHTaskBar", TaskBarWindow);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    HWND desk = CreateWindowExW(0, u"DesktopExplorerWindow", u"Desktop", WS_VISIBLE, work.left,
                                work.top, work.right - work.left, work.bottom - work.top, nullptr,
                                nullptr, nullptr, nullptr);
    HWND bar = CreateWindowExW(0, u"HHTaskBar", u"Start", WS_VISIBLE, 0, 0, work.right, work.top,
                               nullptr, nullptr, nullptr, nullptr);
    if (!desk || !bar)
        return 1;
    CreateWindowExW(0, u"Static", u"Start", WS_CHILD | WS_VISIBLE, 4, 5, 44, 16, bar, nullptr,
                    nullptr, nullptr);
    CreateWindowExW(0, u"Static", u"Desktop", WS_CHILD | WS_VISIBLE, 0, 0, work.right, 16, desk,
                    nullptr, nullptr, nullptr);
    return programMessageLoop();
}

} // namespace

namespace emul {

void registerDevicePrograms(Processes &processes) {
    for (const ProgramInfo &info : kPrograms)
        processes.registerBuiltin(info.exe, [&info](const std::u16string &cmdLine) {
            return runProgram(info, cmdLine, info.className, info.title);
        });
    processes.registerBuiltin(u"poutlook.exe", OutlookMain);
    processes.registerBuiltin(u"explorer.exe", ExplorerMain);
    processes.registerBuiltin(u"peghelp.exe", HelpMain);
}

} // namespace emul
