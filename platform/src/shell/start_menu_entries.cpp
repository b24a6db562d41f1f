// The Start menu's entries and their look: the folders' subfolders and shortcuts, each shortcut
// with its program's small icon when the program is a module that has one, and the rows drawn
// with that icon (else a plain window or a folder), the name, and a folder's arrow.
#include "shell/start_menu.h"

#include <shellapi.h>

#include "gwes/paint/look.h"
#include "resources/resources.h"

#include "emul/device.h"
#include "emul/files.h"
#include "emul/modules.h"
#include "emul/text.h"

#include <algorithm>

namespace emul {

namespace {

constexpr int kMinWidth = 100;
constexpr int kIconColumn = 22; // the icon and the space after it
constexpr int kArrowColumn = 12;
constexpr int kSmallIcon = 16;

bool endsWithNoCase(const std::u16string &s, const std::u16string &tail) {
    return s.size() >= tail.size() && equalsNoCase(s.substr(s.size() - tail.size()), tail);
}

// The program a shortcut starts: its command line's first word, or the quoted path.
std::u16string shortcutProgram(const std::u16string &shortcut) {
    std::u16string link = shortcut;
    WCHAR target[MAX_PATH] = {};
    if (!SHGetShortcutTarget(link.data(), target, MAX_PATH))
        return u"";
    std::u16string cmd = target;
    if (!cmd.empty() && cmd[0] == u'"')
        return cmd.substr(1, cmd.find(u'"', 1) - 1);
    return cmd.substr(0, cmd.find(u' '));
}

// A program's first icon at the small size. Only programs are opened, never libraries, whose
// entry points would run: the same as the shell asking a file for its icon.
HICON programIcon(const std::u16string &shortcut) {
    std::u16string program = shortcutProgram(shortcut);
    if (program.empty())
        return nullptr;
    std::u16string path = moduleCePath(program, u".exe");
    if (!endsWithNoCase(path, u".exe") || !dev().files().exists(path))
        return nullptr;
    uint32_t error = 0;
    Module *m = dev().modules().load(path, &error);
    if (!m)
        return nullptr;
    HMODULE h = reinterpret_cast<HMODULE>(m->handle);
    HICON icon = nullptr;
    if (const ResourceEntry *group = firstResource(h, RT_GROUP_ICON)) {
        LPCWSTR name = group->nameIsId ? MAKEINTRESOURCEW(group->nameId)
                                       : reinterpret_cast<LPCWSTR>(group->nameName.c_str());
        icon = static_cast<HICON>(LoadImageW(h, name, IMAGE_ICON, kSmallIcon, kSmallIcon, 0));
    }
    dev().modules().unload(m);
    return icon;
}

bool seen(const std::vector<StartEntry> &list, const std::u16string &name) {
    return std::any_of(list.begin(), list.end(),
                       [&](const StartEntry &e) { return equalsNoCase(e.name, name); });
}

void addFolder(const std::u16string &folder, const std::u16string &skip,
               std::vector<StartEntry> &folders, std::vector<StartEntry> &links) {
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((folder + u"\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        std::u16string file = found.cFileName;
        std::u16string path = folder + u"\\" + file;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (file == u"." || file == u".." || equalsNoCase(file, skip))
                continue;
            if (!seen(folders, file))
                folders.push_back({file, path, true, nullptr});
        } else if (file.size() > 4 && endsWithNoCase(file, u".lnk")) {
            std::u16string name = file.substr(0, file.size() - 4);
            if (!seen(links, name))
                links.push_back({name, path, false, nullptr});
        }
    } while (FindNextFileW(h, &found));
    FindClose(h);
}

void byName(std::vector<StartEntry> &list) {
    std::stable_sort(list.begin(), list.end(), [](const StartEntry &a, const StartEntry &b) {
        return foldCase(a.name) < foldCase(b.name);
    });
}

// The generic program: a small window with its caption bar.
void drawProgramGlyph(HDC dc, int x, int y) {
    using namespace look;
    RECT r{x + 1, y + 2, x + 15, y + 14};
    fill(dc, r, sys(COLOR_WINDOW));
    frame(dc, r, sys(COLOR_WINDOWFRAME));
    fill(dc, RECT{r.left + 1, r.top + 1, r.right - 1, r.top + 4}, sys(COLOR_ACTIVECAPTION));
}

// A folder: a tab on its top left and a yellow face.
void drawFolderGlyph(HDC dc, int x, int y) {
    using namespace look;
    COLORREF edge = RGB(128, 96, 0), face = RGB(255, 208, 64);
    RECT tab{x + 1, y + 3, x + 7, y + 6}, body{x + 1, y + 5, x + 15, y + 14};
    fill(dc, tab, face);
    frame(dc, tab, edge);
    fill(dc, body, face);
    frame(dc, body, edge);
}

// A folder's arrow: a small triangle pointing right, centred on the row.
void drawArrow(HDC dc, int right, int mid, COLORREF c) {
    for (int i = 0; i < 4; ++i)
        look::vline(dc, right - 8 + i, mid - 3 + i, mid + 4 - i, c);
}

} // namespace

std::vector<StartEntry> startEntries(const std::vector<std::u16string> &folders,
                                     const std::u16string &skip, const std::u16string &empty) {
    std::vector<StartEntry> subfolders, links;
    for (size_t i = 0; i < folders.size(); ++i)
        addFolder(folders[i], i == 0 ? skip : u"", subfolders, links);
    byName(subfolders);
    byName(links);
    for (StartEntry &e : links)
        e.icon = programIcon(e.path);
    subfolders.insert(subfolders.end(), links.begin(), links.end());
    if (subfolders.empty())
        subfolders.push_back({empty, u"", false, nullptr});
    return subfolders;
}

void StartMenuData::inspect(const Window &w, WindowInfo &s) const {
    std::vector<std::u16string> names;
    for (const StartEntry &e : entries)
        names.push_back(e.name);
    s.items = names;
    s.selected = mark;
    s.topIndex = top;
    int right = w.right - 1 - (scrolls() ? kStartScrollWidth : 0);
    for (int i = top; i < std::min(int(entries.size()), top + rows); ++i) {
        int y = w.top + 1 + (i - top) * kStartRowHeight;
        s.itemBoxes.push_back({w.left + 1, y, right, y + kStartRowHeight});
    }
}

int startMenuWidth(const StartMenuData &d) {
    HDC dc = GetDC(nullptr);
    int width = kMinWidth;
    bool folders = false;
    for (const StartEntry &e : d.entries) {
        width = std::max(width, kIconColumn + look::textWidth(dc, e.name) + 8);
        folders = folders || e.folder;
    }
    ReleaseDC(nullptr, dc);
    width += folders ? kArrowColumn : 0;
    return std::min(screen::kWidth, width + 2 + (d.scrolls() ? kStartScrollWidth : 0));
}

// The list's frame, marked row and scroll bar as any list has them, then each row's icon, name
// and arrow.
void paintStartMenu(Window *w, HDC dc, const StartMenuData &d) {
    using namespace look;
    RECT client{0, 0, w->right - w->left, w->bottom - w->top};
    WindowInfo info = infoOf(w);
    info.items = std::vector<std::u16string>(d.entries.size());
    paintList(w, dc, client, info);
    for (size_t i = 0; i < info.itemBoxes.size(); ++i) {
        const WindowInfo::Box &b = info.itemBoxes[i];
        size_t item = size_t(d.top) + i;
        const StartEntry &e = d.entries[item];
        RECT row{b.left - w->left, b.top - w->top, b.right - w->left, b.bottom - w->top};
        COLORREF ink = sys(int(item) == d.mark ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
        int iconY = row.top + (kStartRowHeight - kSmallIcon) / 2;
        if (e.icon)
            DrawIconEx(dc, row.left + 2, iconY, e.icon, kSmallIcon, kSmallIcon, 0, nullptr,
                       DI_NORMAL);
        else if (e.folder)
            drawFolderGlyph(dc, row.left + 2, iconY);
        else if (!e.path.empty())
            drawProgramGlyph(dc, row.left + 2, iconY);
        RECT label{row.left + kIconColumn, row.top, row.right - (e.folder ? kArrowColumn : 1),
                   row.bottom};
        text(dc, e.name, label, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX, ink);
        if (e.folder)
            drawArrow(dc, row.right, (row.top + row.bottom) / 2, ink);
    }
}

} // namespace emul
