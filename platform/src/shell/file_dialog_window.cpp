// The file dialog's window: it covers the work area, as dialogs do on a screen this small. The
// caption, the folder shown with an Up button, the folder's entries (folders first, marked with
// a "\"), the name field, OK and Cancel.
//
// The pen: a tap on a folder opens it; a tap on a file puts its name in the name field, and a
// second tap on it picks it. The keys: the arrows, Home, End and the page keys move in the list,
// a letter goes to the next entry that starts with it, Backspace goes up a folder, Enter opens
// the folder or picks the file (or the name typed), Escape cancels.
#include "shell/file_dialog.h"

#include "gwes/controls/combobox.h"
#include "gwes/dialog/dialog.h"
#include "gwes/input_panel.h"
#include "gwes/paint/paint.h"
#include "gwes/win_internal.h"

#include "emul/files.h"
#include "emul/text.h"

#include <algorithm>

namespace emul {

namespace {

constexpr int kFolderId = 1100, kUpId = 1101, kListId = 1102, kNameLabelId = 1103, kNameId = 1104;
constexpr int kCaption = kDialogCaption, kPad = 4, kRow = 20;
constexpr UINT kSelChange = 1, kOpenEntry = 2; // LBN_SELCHANGE, LBN_DBLCLK

struct Entry {
    std::u16string name;
    bool folder = false;
};

struct FileList : ControlData {
    std::vector<Entry> entries;
    int sel = -1, top = 0, rows = 1;
    void inspect(const Window &w, WindowInfo &s) const override {
        std::vector<std::u16string> items;
        for (const Entry &e : entries)
            items.push_back(e.folder ? e.name + u"\\" : e.name);
        s.items = std::move(items);
        s.selected = sel;
        s.topIndex = top;
        int n = int(entries.size());
        int right = w.right - 1 - (n > rows ? kListScrollWidth : 0);
        for (int i = top; i < std::min(n, top + rows); ++i) {
            int y = w.top + 1 + (i - top) * kListItemHeight;
            s.itemBoxes.push_back({w.left + 1, y, right, y + kListItemHeight});
        }
    }
};

FileList *listOf(Window *w) {
    return w ? dynamic_cast<FileList *>(w->control.get()) : nullptr;
}

std::u16string joined(const std::u16string &folder, const std::u16string &name) {
    return (folder == u"\\" ? u"" : folder) + u"\\" + name;
}

void scrollTo(FileList *d, int i) {
    int n = int(d->entries.size());
    if (i >= 0 && i < d->top)
        d->top = i;
    else if (i >= d->top + d->rows)
        d->top = i - d->rows + 1;
    d->top = std::clamp(d->top, 0, std::max(0, n - d->rows));
}

void select(Window *w, int i, bool notify) {
    FileList *d = listOf(w);
    int n = int(d->entries.size());
    i = n ? std::clamp(i, 0, n - 1) : -1;
    bool changed = i != d->sel;
    d->sel = i;
    scrollTo(d, i);
    invalidate(w, nullptr, true);
    wins().changed();
    if (changed && notify && w->parent)
        wins().send(w->parent, WM_COMMAND, MAKEWPARAM(w->id, kSelChange), LPARAM(w->h));
}

void openSelected(Window *w) {
    if (w->parent)
        wins().send(w->parent, WM_COMMAND, MAKEWPARAM(w->id, kOpenEntry), LPARAM(w->h));
}

// A tap on the scroll bar: a row at its ends, a page above or below its thumb.
void scrollBarTap(Window *w, FileList *d, int y) {
    ListScrollBar s = listScrollBar(w, int(d->entries.size()), d->rows, d->top);
    if (y < s.up.bottom)
        --d->top;
    else if (y >= s.down.top)
        ++d->top;
    else if (y < s.thumb.top || y >= s.thumb.bottom)
        d->top += y < s.thumb.top ? -d->rows : d->rows;
    d->top = std::clamp(d->top, 0, std::max(0, int(d->entries.size()) - d->rows));
    invalidate(w, nullptr, true);
    wins().changed();
}

void listTap(Window *w, FileList *d, int x, int y) {
    int cx = w->right - w->left;
    int n = int(d->entries.size());
    if (n > d->rows && x >= cx - 1 - kListScrollWidth) {
        scrollBarTap(w, d, y);
        return;
    }
    int row = (y - 1) / kListItemHeight, i = d->top + row;
    if (y < 1 || row >= d->rows || i >= n)
        return;
    bool again = i == d->sel;
    select(w, i, true);
    if (d->entries[size_t(i)].folder || again)
        openSelected(w);
}

void listKey(Window *w, FileList *d, WPARAM vk) {
    int n = int(d->entries.size());
    switch (vk) {
    case VK_UP:
        select(w, d->sel - 1, true);
        return;
    case VK_DOWN:
        select(w, d->sel + 1, true);
        return;
    case VK_PRIOR:
        select(w, d->sel - d->rows, true);
        return;
    case VK_NEXT:
        select(w, d->sel + d->rows, true);
        return;
    case VK_HOME:
        select(w, 0, true);
        return;
    case VK_END:
        select(w, n - 1, true);
        return;
    case VK_BACK:
        if (w->parent)
            wins().send(w->parent, WM_COMMAND, MAKEWPARAM(kUpId, BN_CLICKED), 0);
        return;
    }
}

// A letter goes to the next entry whose name starts with it, round at the end.
void listLetter(Window *w, FileList *d, char16_t c) {
    int n = int(d->entries.size());
    std::u16string want = foldCase(std::u16string(1, c));
    for (int k = 1; k <= n; ++k) {
        int i = ((d->sel < 0 ? -1 : d->sel) + k) % n;
        const std::u16string &name = d->entries[size_t(i)].name;
        if (!name.empty() && foldCase(name.substr(0, 1)) == want) {
            select(w, i, true);
            return;
        }
    }
}

} // namespace

LRESULT CALLBACK fileListProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window *w = wins().get(h);
    FileList *d = listOf(w);
    if (!w || !d)
        return w ? defaultProc(w, msg, wp, lp) : 0;
    switch (msg) {
    case WM_LBUTTONDOWN:
        SetFocus(h);
        listTap(w, d, int16_t(LOWORD(lp)), int16_t(HIWORD(lp)));
        return 0;
    case WM_KEYDOWN:
        listKey(w, d, wp);
        return 0;
    case WM_CHAR:
        if (wp > u' ')
            listLetter(w, d, char16_t(wp));
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        return 0;
    }
    return defaultProc(w, msg, wp, lp);
}

namespace {

struct Dialog {
    FileDialogRequest request;
    std::u16string folder;
    std::optional<std::u16string> chosen;
    bool inFront = false; // it was the foreground window when it was answered
};

void finish(HWND dlg, Dialog *d, int id) {
    d->inFront = wins().foreground == reinterpret_cast<uintptr_t>(dlg);
    EndDialog(dlg, id);
}

Dialog *dialogOf(HWND h) {
    Window *w = wins().get(h);
    if (!w)
        return nullptr;
    auto it = w->longs.find(DWL_USER);
    return it == w->longs.end() ? nullptr : reinterpret_cast<Dialog *>(it->second);
}

bool matches(const std::u16string &name, const std::u16string &patterns) {
    if (patterns.empty())
        return true;
    size_t from = 0;
    while (from <= patterns.size()) {
        size_t semi = patterns.find(u';', from);
        std::u16string p = patterns.substr(from, semi == std::u16string::npos ? semi : semi - from);
        if (nameMatches(p, name))
            return true;
        if (semi == std::u16string::npos)
            break;
        from = semi + 1;
    }
    return false;
}

std::vector<Entry> entriesOf(const std::u16string &folder, const std::u16string &patterns) {
    std::vector<Entry> folders, files;
    WIN32_FIND_DATAW found;
    std::u16string all = joined(folder, u"*");
    HANDLE h = FindFirstFileW(all.c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            Entry e{std::u16string(found.cFileName),
                    (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0};
            if (e.folder)
                folders.push_back(e);
            else if (matches(e.name, patterns))
                files.push_back(e);
        } while (FindNextFileW(h, &found));
        FindClose(h);
    }
    folders.insert(folders.end(), files.begin(), files.end());
    return folders;
}

bool isFolder(const std::u16string &path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != 0xFFFFFFFF && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void show(HWND dlg, Dialog *d, const std::u16string &folder) {
    d->folder = folder;
    SetWindowTextW(GetDlgItem(dlg, kFolderId), folder.c_str());
    EnableWindow(GetDlgItem(dlg, kUpId), folder != u"\\");
    SetWindowTextW(GetDlgItem(dlg, kNameId), u"");
    Window *list = wins().get(GetDlgItem(dlg, kListId));
    if (FileList *l = listOf(list)) {
        l->entries = entriesOf(folder, d->request.patterns);
        l->sel = -1;
        l->top = 0;
        invalidate(list, nullptr, true);
        wins().changed();
    }
}

void goUp(HWND dlg, Dialog *d) {
    if (d->folder == u"\\")
        return;
    size_t slash = d->folder.find_last_of(u'\\');
    show(dlg, d, slash == 0 || slash == std::u16string::npos ? u"\\" : d->folder.substr(0, slash));
}

const Entry *selectedEntry(HWND dlg) {
    FileList *l = listOf(wins().get(GetDlgItem(dlg, kListId)));
    return l && l->sel >= 0 && size_t(l->sel) < l->entries.size() ? &l->entries[size_t(l->sel)]
                                                                  : nullptr;
}

std::u16string nameField(HWND dlg) {
    Window *w = wins().get(GetDlgItem(dlg, kNameId));
    return w ? w->text : std::u16string();
}

// OK: the name typed (a folder opens, anything else is the answer), else the entry marked.
void okPressed(HWND dlg, Dialog *d) {
    std::u16string name = nameField(dlg);
    if (name.empty()) {
        const Entry *e = selectedEntry(dlg);
        if (e && e->folder)
            show(dlg, d, joined(d->folder, e->name));
        else if (e)
            name = e->name;
        if (name.empty())
            return;
    }
    std::u16string path = name[0] == u'\\' ? name : joined(d->folder, name);
    if (isFolder(path)) {
        show(dlg, d, path);
        return;
    }
    if (d->request.mustExist && GetFileAttributesW(path.c_str()) == 0xFFFFFFFF)
        return; // the dialog stays for another name
    d->chosen = path;
    finish(dlg, d, IDOK);
}

void entryChanged(HWND dlg, Dialog *d, UINT code) {
    const Entry *e = selectedEntry(dlg);
    if (!e)
        return;
    if (code == kSelChange) {
        SetWindowTextW(GetDlgItem(dlg, kNameId), e->folder ? u"" : e->name.c_str());
        return;
    }
    if (e->folder)
        show(dlg, d, joined(d->folder, e->name));
    else
        okPressed(dlg, d);
}

RECT dialogArea();
void placeControls(HWND dlg, int h);

BOOL CALLBACK dialogProc(HWND h, UINT msg, WPARAM wp, LPARAM) {
    Dialog *d = dialogOf(h);
    if (!d)
        return FALSE;
    switch (msg) {
    case WM_PAINT: {
        Window *w = wins().get(h);
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        if (w && dc)
            paintDialogFrame(dc, RECT{0, 0, w->right - w->left, w->bottom - w->top}, w->text);
        EndPaint(h, &ps);
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wp)) {
        case IDOK:
            okPressed(h, d);
            return TRUE;
        case IDCANCEL:
            d->chosen.reset();
            finish(h, d, IDCANCEL);
            return TRUE;
        case kUpId:
            goUp(h, d);
            return TRUE;
        case kListId:
            entryChanged(h, d, HIWORD(wp));
            return TRUE;
        }
        return TRUE;
    case WM_SETTINGCHANGE:
        // The input panel came or went: the dialog takes what it leaves of the work area.
        if (wp == SPI_SETSIPINFO) {
            RECT area = dialogArea();
            MoveWindow(h, area.left, area.top, area.right - area.left, area.bottom - area.top,
                       TRUE);
            placeControls(h, area.bottom - area.top);
        }
        return TRUE;
    case DM_GETDEFID: {
        // Enter presses the button that has the focus, else OK.
        int id = IDOK;
        if (Window *focus = wins().get(GetFocus()))
            if (focus->id == IDCANCEL || focus->id == kUpId)
                id = focus->id;
        if (Window *w = wins().get(h))
            w->longs[DWL_MSGRESULT] = MAKELONG(id, DC_HASDEFID);
        return TRUE;
    }
    }
    return FALSE;
}

HWND child(HWND dlg, const char16_t *cls, const char16_t *text, uint32_t style, int id,
           const RECT &r) {
    return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, r.left, r.top,
                           r.right - r.left, r.bottom - r.top, dlg,
                           reinterpret_cast<HMENU>(uintptr_t(id)), nullptr, nullptr);
}

// The work area above the input panel, or above the menu bar when the panel is down.
RECT dialogArea() {
    return RECT{0, screen::kWorkTop, screen::kWidth,
                inputPanelShown() ? screen::kInputPanelTop : screen::kWorkBottom};
}

// The controls of a dialog `h` pixels high: the list takes what the others leave of it.
void placeControls(HWND dlg, int h) {
    auto at = [dlg](int id, const RECT &r) {
        MoveWindow(GetDlgItem(dlg, id), r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    };
    int w = screen::kWidth, y = kCaption + kPad;
    at(kFolderId, RECT{kPad, y, w - kPad - 44, y + kRow});
    at(kUpId, RECT{w - kPad - 40, y, w - kPad, y + kRow});
    int buttons = h - kPad - kRow, name = buttons - kPad - kRow;
    int listTop = y + kRow + kPad;
    int rows = std::max(1, (name - kPad - listTop - 2) / kListItemHeight);
    at(kListId, RECT{kPad, listTop, w - kPad, listTop + rows * kListItemHeight + 2});
    if (Window *l = wins().get(GetDlgItem(dlg, kListId)))
        if (auto *list = dynamic_cast<FileList *>(l->control.get())) {
            list->rows = rows;
            // The marked entry stays in view.
            if (list->sel >= list->top + rows)
                list->top = list->sel - rows + 1;
            list->top = std::max(0, std::min(list->top, int(list->entries.size()) - rows));
        }
    at(kNameLabelId, RECT{kPad, name, kPad + 36, name + kRow});
    at(kNameId, RECT{kPad + 38, name, w - kPad, name + kRow});
    at(IDOK, RECT{w / 2 - 58, buttons, w / 2 - 6, buttons + kRow});
    at(IDCANCEL, RECT{w / 2 + 6, buttons, w / 2 + 58, buttons + kRow});
}

HWND makeDialog(Dialog &d) {
    RECT area = dialogArea();
    HWND dlg = createBareDialog(d.request.owner, d.request.title, WS_POPUP | WS_CAPTION, area,
                                dialogProc, reinterpret_cast<LPARAM>(&d));
    if (!dlg)
        return nullptr;
    RECT none{};
    child(dlg, u"Static", u"", SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE, kFolderId, none);
    child(dlg, u"Button", u"Up", WS_TABSTOP | BS_PUSHBUTTON, kUpId, none);
    HWND list = child(dlg, u"FileDialogList", u"", WS_TABSTOP | WS_BORDER, kListId, none);
    if (Window *l = wins().get(list))
        l->control = std::make_shared<FileList>();
    child(dlg, u"Static", u"Name:", SS_LEFT | SS_CENTERIMAGE, kNameLabelId, none);
    child(dlg, u"Edit", u"", WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, kNameId, none);
    child(dlg, u"Button", u"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, none);
    child(dlg, u"Button", u"Cancel", WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL, none);
    placeControls(dlg, area.bottom - area.top);
    return dlg;
}

} // namespace

std::optional<std::u16string> runFileDialogWindow(const FileDialogRequest &request,
                                                  const Answers::FilePick &pick) {
    Dialog d;
    d.request = request;
    HWND before = GetFocus();
    uintptr_t front = wins().foreground;
    HWND dlg = makeDialog(d);
    if (!dlg)
        return pick.onScreen ? std::nullopt : pick.path;
    std::u16string start = request.initialDir;
    if (start.empty() || !isFolder(start))
        start = isFolder(u"\\My Documents") ? u"\\My Documents" : u"\\";
    show(dlg, &d, start);
    Window *o = wins().get(request.owner) ? wins().topLevelOf(wins().get(request.owner)) : nullptr;
    HWND owner = toHwnd(o);
    bool disabled = o && !(o->style & WS_DISABLED);
    if (disabled)
        EnableWindow(owner, FALSE);
    ShowWindow(dlg, SW_SHOWNORMAL);
    SetFocus(GetDlgItem(dlg, kListId));
    // A scripted answer: the path as typed into the name field and taken as it stands, or
    // Cancel pressed.
    if (!pick.onScreen) {
        d.chosen = pick.path;
        finish(dlg, &d, pick.path ? IDOK : IDCANCEL);
    }
    runModal(dlg);
    if (disabled && wins().get(owner))
        EnableWindow(owner, TRUE);
    restoreFront(d.inFront, front, before);
    return d.chosen;
}

} // namespace emul
