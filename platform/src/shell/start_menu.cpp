// The task bar's Start menu: a tap on Start opens a pop-up list, right below the bar, of the
// shortcuts in the Start menu folder and its Programs folder, by name. While it is open it holds
// the pen and the keys: a tap on an entry (or Enter on the marked one, or the entry's first
// letter when no other starts with it) starts that shortcut through ShellExecuteEx; a tap
// anywhere else, or Escape, closes it and does nothing more. The program in front before it
// opened comes back in front when it closes.
#include <shellapi.h>
#include <windows.h>

#include "gwes/paint/look.h"
#include "gwes/win_internal.h"

#include "emul/device.h"
#include "emul/text.h"
#include "emul/windows_sys.h"
#include "shell/program_window.h"

#include <algorithm>

using namespace emul;

namespace {

constexpr const char16_t *kMenuClass = u"StartMenu";
constexpr const char16_t *kStartMenuFolder = u"\\Windows\\Start Menu";
constexpr int kStartButtonWidth = 48; // where a tap on the bar means Start
constexpr int kRowHeight = 18;
constexpr int kScrollWidth = 13;
constexpr int kMinWidth = 100;

struct StartMenuData : ControlData {
    struct Entry {
        std::u16string name, path; // an empty path starts nothing
    };
    std::vector<Entry> entries;
    int mark = -1, top = 0, rows = 1; // mark -1: none, as the pen opens it
    bool tracking = false;            // the pen went down on the list
    uintptr_t previous = 0;           // in front before the menu opened
    int width = 0;
    bool scrolls() const { return int(entries.size()) > rows; }
    void inspect(const Window &w, WindowInfo &s) const override {
        std::vector<std::u16string> names;
        for (const Entry &e : entries)
            names.push_back(e.name);
        s.items = names;
        s.selected = mark;
        s.topIndex = top;
        int right = w.right - 1 - (scrolls() ? kScrollWidth : 0);
        for (int i = top; i < std::min(int(entries.size()), top + rows); ++i) {
            int y = w.top + 1 + (i - top) * kRowHeight;
            s.itemBoxes.push_back({w.left + 1, y, right, y + kRowHeight});
        }
    }
};

StartMenuData *menuData(HWND h) {
    Window *w = wins().get(h);
    return w ? dynamic_cast<StartMenuData *>(w->control.get()) : nullptr;
}

// The shortcuts of one folder, "Name.lnk" as "Name", unless one of that name is there already.
void addShortcuts(const std::u16string &folder, std::vector<StartMenuData::Entry> &out) {
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((folder + u"\\*.lnk").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        std::u16string file = found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || file.size() <= 4)
            continue;
        std::u16string name = file.substr(0, file.size() - 4);
        bool seen = std::any_of(out.begin(), out.end(), [&](const StartMenuData::Entry &e) {
            return equalsNoCase(e.name, name);
        });
        if (!seen)
            out.push_back({name, folder + u"\\" + file});
    } while (FindNextFileW(h, &found));
    FindClose(h);
}

std::vector<StartMenuData::Entry> startMenuEntries() {
    std::vector<StartMenuData::Entry> entries;
    addShortcuts(kStartMenuFolder, entries);
    addShortcuts(std::u16string(kStartMenuFolder) + u"\\Programs", entries);
    std::stable_sort(entries.begin(), entries.end(), [](const auto &a, const auto &b) {
        return foldCase(a.name) < foldCase(b.name);
    });
    if (entries.empty())
        entries.push_back({u"(No programs)", u""});
    return entries;
}

void markEntry(HWND h, StartMenuData *d, int i) {
    int n = int(d->entries.size());
    d->mark = std::clamp(i, 0, n - 1);
    if (d->mark < d->top)
        d->top = d->mark;
    else if (d->mark >= d->top + d->rows)
        d->top = d->mark - d->rows + 1;
    InvalidateRect(h, nullptr, FALSE);
    wins().changed();
}

// `giveBack`: the program in front before comes back in front (not when another window took
// the front from the menu).
void closeMenu(HWND h, bool giveBack = true) {
    StartMenuData *d = menuData(h);
    uintptr_t previous = d ? d->previous : 0;
    if (GetCapture() == h)
        ReleaseCapture();
    DestroyWindow(h);
    if (giveBack && dev().windows().view().isWindow(previous))
        dev().windows().setForeground(previous);
}

void startEntry(HWND h, int i) {
    StartMenuData *d = menuData(h);
    if (!d || i < 0 || size_t(i) >= d->entries.size())
        return;
    std::u16string path = d->entries[size_t(i)].path;
    closeMenu(h);
    if (path.empty())
        return;
    SHELLEXECUTEINFO info{};
    info.cbSize = sizeof(info);
    info.lpFile = path.c_str();
    info.nShow = SW_SHOWNORMAL;
    ShellExecuteEx(&info);
}

// The entry under a point of the menu's client area, or -1 (the scroll bar, the frame).
int entryAt(HWND h, const StartMenuData *d, int x, int y) {
    RECT c{};
    GetClientRect(h, &c);
    if (x < 1 || y < 1 || x >= c.right - 1 - (d->scrolls() ? kScrollWidth : 0) || y >= c.bottom - 1)
        return -1;
    int i = d->top + (y - 1) / kRowHeight;
    return i < int(d->entries.size()) ? i : -1;
}

// The scroll bar: its end squares move a row, the rest of it a page.
void scrollBarTap(HWND h, StartMenuData *d, int y) {
    RECT c{};
    GetClientRect(h, &c);
    int n = int(d->entries.size());
    if (y < kScrollWidth)
        --d->top;
    else if (y >= c.bottom - kScrollWidth)
        ++d->top;
    else
        d->top += y < c.bottom / 2 ? -d->rows : d->rows;
    d->top = std::clamp(d->top, 0, std::max(0, n - d->rows));
    InvalidateRect(h, nullptr, FALSE);
    wins().changed();
}

// A letter marks the next entry that starts with it, and starts it when it is the only one.
void letter(HWND h, StartMenuData *d, char16_t c) {
    std::u16string folded = foldCase(std::u16string(1, c));
    std::vector<int> matches;
    for (size_t i = 0; i < d->entries.size(); ++i)
        if (!d->entries[i].name.empty() && foldCase(d->entries[i].name.substr(0, 1)) == folded)
            matches.push_back(int(i));
    if (matches.empty())
        return;
    if (matches.size() == 1)
        return startEntry(h, matches[0]);
    auto next = std::find_if(matches.begin(), matches.end(), [&](int i) { return i > d->mark; });
    markEntry(h, d, next == matches.end() ? matches[0] : *next);
}

bool penMessage(HWND h, StartMenuData *d, UINT msg, LPARAM lp) {
    int x = int16_t(LOWORD(lp)), y = int16_t(HIWORD(lp));
    RECT c{};
    GetClientRect(h, &c);
    switch (msg) {
    case WM_LBUTTONDOWN:
        if (x < 0 || y < 0 || x >= c.right || y >= c.bottom) {
            closeMenu(h);
        } else if (d->scrolls() && x >= c.right - 1 - kScrollWidth) {
            scrollBarTap(h, d, y);
        } else {
            d->tracking = true;
            if (int i = entryAt(h, d, x, y); i >= 0)
                markEntry(h, d, i);
        }
        return true;
    case WM_MOUSEMOVE:
        if (d->tracking)
            if (int i = entryAt(h, d, x, y); i >= 0 && i != d->mark)
                markEntry(h, d, i);
        return true;
    case WM_LBUTTONUP:
        if (d->tracking) {
            d->tracking = false;
            if (int i = entryAt(h, d, x, y); i >= 0)
                startEntry(h, i);
        }
        return true;
    }
    return false;
}

bool keyMessage(HWND h, StartMenuData *d, UINT msg, WPARAM wp) {
    int n = int(d->entries.size());
    if (msg == WM_CHAR) {
        if (wp > u' ')
            letter(h, d, char16_t(wp));
        return true;
    }
    if (msg != WM_KEYDOWN)
        return false;
    switch (wp) {
    case VK_UP:
        markEntry(h, d, d->mark < 0 ? n - 1 : (d->mark + n - 1) % n);
        break;
    case VK_DOWN:
        markEntry(h, d, (d->mark + 1) % n);
        break;
    case VK_HOME:
        markEntry(h, d, 0);
        break;
    case VK_END:
        markEntry(h, d, n - 1);
        break;
    case VK_RETURN:
        startEntry(h, d->mark);
        break;
    case VK_ESCAPE:
        closeMenu(h);
        break;
    }
    return true;
}

LRESULT CALLBACK StartMenuWindow(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    StartMenuData *d = menuData(h);
    if (d && (penMessage(h, d, msg, lp) || keyMessage(h, d, msg, wp)))
        return 0;
    if (msg == WM_CANCELMODE) {
        closeMenu(h, false);
        return 0;
    }
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        Window *w = wins().get(h);
        if (dc && w && d) {
            RECT client{0, 0, w->right - w->left, w->bottom - w->top};
            look::paintList(w, dc, client, look::infoOf(w));
        }
        EndPaint(h, &ps);
        return 0;
    }
    return DefWindowProcW(h, msg, wp, lp);
}

// The menu's width: its longest name, with room for the scroll bar when it scrolls.
int menuWidth(const StartMenuData &d) {
    HDC dc = GetDC(nullptr);
    int width = kMinWidth;
    for (const StartMenuData::Entry &e : d.entries)
        width = std::max(width, look::textWidth(dc, e.name) + 8);
    ReleaseDC(nullptr, dc);
    return std::min(screen::kWidth, width + 2 + (d.scrolls() ? kScrollWidth : 0));
}

void openMenu(HWND bar) {
    if (FindWindowW(kMenuClass, nullptr))
        return;
    WNDCLASSW wc{};
    wc.lpfnWndProc = StartMenuWindow;
    wc.lpszClassName = kMenuClass;
    RegisterClassW(&wc);
    auto data = std::make_shared<StartMenuData>();
    data->entries = startMenuEntries();
    data->previous = dev().windows().foreground();
    int room = (screen::kHeight - screen::kTaskBarHeight - 2) / kRowHeight;
    data->rows = std::min(int(data->entries.size()), room);
    int height = data->rows * kRowHeight + 2;
    HWND h = CreateWindowExW(0, kMenuClass, u"", WS_POPUP | WS_BORDER, 0, screen::kTaskBarHeight,
                             menuWidth(*data), height, bar, nullptr, nullptr, nullptr);
    Window *w = wins().get(h);
    if (!w)
        return;
    w->control = data;
    // Above every window, the input panel's too, with the pen and the keys while it is open.
    w->topmost = true;
    ShowWindow(h, SW_SHOW);
    SetFocus(h);
    SetCapture(h);
}

} // namespace

namespace emul {

LRESULT CALLBACK TaskBarWindow(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_LBUTTONDOWN && int16_t(LOWORD(lp)) < kStartButtonWidth) {
        openMenu(h);
        return 0;
    }
    return ProgramWindow(h, msg, wp, lp);
}

} // namespace emul
