// The task bar's Start menu: a tap on Start opens a pop-up list, right below the bar, of the
// subfolders and shortcuts in the Start menu folder and its Programs folder. A folder opens as a
// cascaded list beside its row when the pen touches or crosses it (or with Right or Enter). While
// the menu is open it holds the pen and the keys: a tap on a shortcut (or Enter on the marked
// one, or the entry's first letter when no other starts with it) starts it through
// ShellExecuteEx and closes every list; a tap anywhere off the lists, or Escape on the first,
// closes them and does nothing more. The program in front before it opened comes back in front.
#include "shell/start_menu.h"

#include <shellapi.h>
#include <windows.h>

#include "gwes/paint/look.h"

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

StartMenuData *menuData(HWND h) {
    Window *w = wins().get(h);
    return w ? dynamic_cast<StartMenuData *>(w->control.get()) : nullptr;
}

// The first list of the cascade, which holds the pen and the front.
HWND rootOf(HWND h) {
    for (StartMenuData *d = menuData(h); d && d->parent; d = menuData(h))
        h = toHwnd(d->parent);
    return h;
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

// The lists opened from `h` go; `h` has the keys again.
void closeSubmenu(HWND h) {
    StartMenuData *d = menuData(h);
    if (!d || !d->child)
        return;
    HWND child = toHwnd(d->child);
    d->child = 0;
    d->opened = -1;
    DestroyWindow(child); // the lists it opened are its own and go with it
    SetFocus(h);
}

// Every list goes. `giveBack`: the program in front before comes back in front (not when
// another window took the front from the menu).
void closeMenu(HWND h, bool giveBack = true) {
    HWND root = rootOf(h);
    StartMenuData *d = menuData(root);
    uintptr_t previous = d ? d->previous : 0;
    if (GetCapture() == root)
        ReleaseCapture();
    DestroyWindow(root);
    if (giveBack && dev().windows().view().isWindow(previous))
        dev().windows().setForeground(previous);
}

LRESULT CALLBACK StartMenuWindow(HWND h, UINT msg, WPARAM wp, LPARAM lp);

// A list at (x, y), moved in to stay on the screen below the task bar. A cascaded one does not
// take the front from the first.
HWND makeMenu(HWND owner, std::vector<StartEntry> entries, int x, int y, uintptr_t parent) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = StartMenuWindow;
    wc.lpszClassName = kMenuClass;
    RegisterClassW(&wc);
    auto data = std::make_shared<StartMenuData>();
    data->entries = std::move(entries);
    data->parent = parent;
    int room = (screen::kHeight - screen::kTaskBarHeight - 2) / kStartRowHeight;
    data->rows = std::min(int(data->entries.size()), room);
    int height = data->rows * kStartRowHeight + 2, width = startMenuWidth(*data);
    x = std::max(0, std::min(x, screen::kWidth - width));
    y = std::max(screen::kTaskBarHeight, std::min(y, screen::kHeight - height));
    HWND h = CreateWindowExW(0, kMenuClass, u"", WS_POPUP | WS_BORDER, x, y, width, height, owner,
                             nullptr, nullptr, nullptr);
    Window *w = wins().get(h);
    if (!w)
        return nullptr;
    w->control = data;
    // Above every window, the input panel's too.
    w->topmost = true;
    wins().raise(w);
    ShowWindow(h, parent ? SW_SHOWNA : SW_SHOW);
    return h;
}

// A folder's list beside its row, with the keys; `byKeys` marks its first entry.
void openSubmenu(HWND h, StartMenuData *d, int i, bool byKeys) {
    if (d->child && d->opened == i)
        return;
    closeSubmenu(h);
    Window *w = wins().get(h);
    if (!w)
        return;
    int rowTop = w->top + 1 + (i - d->top) * kStartRowHeight;
    HWND sub = makeMenu(h, startEntries({d->entries[size_t(i)].path}, u"", u"(Empty)"),
                        w->right - 1, rowTop - 1, w->h);
    if (!sub)
        return;
    d->child = reinterpret_cast<uintptr_t>(sub);
    d->opened = i;
    SetFocus(sub);
    if (byKeys)
        markEntry(sub, menuData(sub), 0);
}

// A shortcut starts and every list closes; a folder opens.
void chooseEntry(HWND h, int i, bool byKeys) {
    StartMenuData *d = menuData(h);
    if (!d || i < 0 || size_t(i) >= d->entries.size())
        return;
    if (d->entries[size_t(i)].folder)
        return openSubmenu(h, d, i, byKeys);
    std::u16string path = d->entries[size_t(i)].path, name = d->entries[size_t(i)].name;
    closeMenu(h);
    if (path.empty())
        return;
    SHELLEXECUTEINFO info{};
    info.cbSize = sizeof(info);
    info.lpFile = path.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (ShellExecuteEx(&info))
        return;
    // A tap that starts nothing says why, as the shell does, rather than nothing at all.
    std::u16string why = GetLastError() == ERROR_NO_ASSOCIATION
                             ? u"There is no program on the device that opens '" + name + u"'."
                             : u"Cannot find '" + name +
                                   u"' or one of its components. Make sure the shortcut names "
                                   u"a program that is on the device.";
    // Over the program in front again, which waits for the answer as for a box of its own.
    MessageBoxW(GetForegroundWindow(), reinterpret_cast<LPCWSTR>(why.c_str()),
                reinterpret_cast<LPCWSTR>(name.c_str()), MB_OK | MB_ICONEXCLAMATION);
}

// The entry under a point of a list's client area, or -1 (the scroll bar, the frame).
int entryAt(HWND h, const StartMenuData *d, int x, int y) {
    RECT c{};
    GetClientRect(h, &c);
    int right = c.right - 1 - (d->scrolls() ? kStartScrollWidth : 0);
    if (x < 1 || y < 1 || x >= right || y >= c.bottom - 1)
        return -1;
    int i = d->top + (y - 1) / kStartRowHeight;
    return i < int(d->entries.size()) ? i : -1;
}

// The scroll bar: its end squares move a row, the rest of it a page.
void scrollBarTap(HWND h, StartMenuData *d, int y) {
    RECT c{};
    GetClientRect(h, &c);
    int n = int(d->entries.size());
    if (y < kStartScrollWidth)
        --d->top;
    else if (y >= c.bottom - kStartScrollWidth)
        ++d->top;
    else
        d->top += y < c.bottom / 2 ? -d->rows : d->rows;
    d->top = std::clamp(d->top, 0, std::max(0, n - d->rows));
    InvalidateRect(h, nullptr, FALSE);
    wins().changed();
}

// A letter marks the next entry that starts with it, and chooses it when it is the only one.
void letter(HWND h, StartMenuData *d, char16_t c) {
    std::u16string folded = foldCase(std::u16string(1, c));
    std::vector<int> matches;
    for (size_t i = 0; i < d->entries.size(); ++i)
        if (!d->entries[i].name.empty() && foldCase(d->entries[i].name.substr(0, 1)) == folded)
            matches.push_back(int(i));
    if (matches.empty())
        return;
    if (matches.size() == 1)
        return chooseEntry(h, matches[0], true);
    auto next = std::find_if(matches.begin(), matches.end(), [&](int i) { return i > d->mark; });
    markEntry(h, d, next == matches.end() ? matches[0] : *next);
}

// The pen over a list: its entry is marked, a folder opens, another entry closes what a folder
// of this list opened.
void track(HWND h, StartMenuData *d, int x, int y) {
    int i = entryAt(h, d, x, y);
    if (i < 0)
        return;
    if (i != d->mark)
        markEntry(h, d, i);
    if (d->entries[size_t(i)].folder)
        openSubmenu(h, d, i, false);
    else
        closeSubmenu(h);
}

// The pen, which the first list holds: each point goes to the list under it, the last opened
// first.
bool penMessage(HWND root, StartMenuData *rd, UINT msg, LPARAM lp) {
    if (msg != WM_LBUTTONDOWN && msg != WM_MOUSEMOVE && msg != WM_LBUTTONUP)
        return false;
    Window *rw = wins().get(root);
    if (!rw)
        return true;
    int sx = rw->left + int16_t(LOWORD(lp)), sy = rw->top + int16_t(HIWORD(lp));
    HWND h = nullptr;
    for (HWND m = root; menuData(m); m = toHwnd(menuData(m)->child)) {
        Window *w = wins().get(m);
        if (sx >= w->left && sx < w->right && sy >= w->top && sy < w->bottom)
            h = m;
    }
    StartMenuData *d = h ? menuData(h) : nullptr;
    Window *w = h ? wins().get(h) : nullptr;
    int x = w ? sx - w->left : 0, y = w ? sy - w->top : 0;
    switch (msg) {
    case WM_LBUTTONDOWN:
        if (!d) {
            closeMenu(root);
        } else if (d->scrolls() && x >= w->right - w->left - 1 - kStartScrollWidth) {
            closeSubmenu(h);
            scrollBarTap(h, d, y);
        } else {
            rd->tracking = true;
            track(h, d, x, y);
        }
        break;
    case WM_MOUSEMOVE:
        if (rd->tracking && d)
            track(h, d, x, y);
        break;
    case WM_LBUTTONUP:
        if (rd->tracking) {
            rd->tracking = false;
            int i = d ? entryAt(h, d, x, y) : -1;
            if (i >= 0 && !d->entries[size_t(i)].folder)
                chooseEntry(h, i, false);
        }
        break;
    }
    return true;
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
    case VK_RIGHT:
        if (d->mark >= 0 && d->entries[size_t(d->mark)].folder)
            chooseEntry(h, d->mark, true);
        break;
    case VK_RETURN:
        chooseEntry(h, d->mark, true);
        break;
    case VK_LEFT:
    case VK_ESCAPE:
        // A cascaded list goes back to the one it opened from; Escape on the first closes it.
        if (d->parent)
            closeSubmenu(toHwnd(d->parent));
        else if (wp == VK_ESCAPE)
            closeMenu(h);
        break;
    }
    return true;
}

LRESULT CALLBACK StartMenuWindow(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    StartMenuData *d = menuData(h);
    if (d && ((!d->parent && penMessage(h, d, msg, lp)) || keyMessage(h, d, msg, wp)))
        return 0;
    if (msg == WM_CANCELMODE) {
        closeMenu(h, false);
        return 0;
    }
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        Window *w = wins().get(h);
        if (dc && w && d)
            paintStartMenu(w, dc, *d);
        EndPaint(h, &ps);
        return 0;
    }
    return DefWindowProcW(h, msg, wp, lp);
}

void openMenu(HWND bar) {
    if (FindWindowW(kMenuClass, nullptr))
        return;
    std::u16string folder = kStartMenuFolder;
    uintptr_t previous = dev().windows().foreground();
    // What the Programs folder holds is listed with the Start menu folder's own entries.
    HWND h =
        makeMenu(bar, startEntries({folder, folder + u"\\Programs"}, u"Programs", u"(No programs)"),
                 0, screen::kTaskBarHeight, 0);
    if (!h)
        return;
    menuData(h)->previous = previous;
    // The pen that opened it is still down: sliding it onto an entry and lifting picks it.
    menuData(h)->tracking = true;
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
    return ShellWindow(h, msg, wp, lp);
}

} // namespace emul
