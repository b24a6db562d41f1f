// Dialogs: CreateDialogIndirectParamW and friends build a dialog from its template, the dialog
// class runs the dialog procedure, and DialogBoxParamW runs the modal loop.
#include "gwes/dialog/dialog.h"

#include "gwes/win_internal.h"
#include "resources/resources.h"

#include "emul/text.h"

#include <algorithm>

namespace emul {

namespace {

struct DialogData : ControlData {
    DialogUnits units;
    bool ended = false;
    INT_PTR result = 0;
    HFONT font = nullptr;
};

// A font handle that a dialog hands its controls: only its identity matters here.
struct DialogFont {
    std::u16string typeface;
    int pointSize;
};

DialogData *dialogData(Window *w) {
    return w ? dynamic_cast<DialogData *>(w->control.get()) : nullptr;
}

// Messages whose dialog-procedure result is the message's result itself, not DWL_MSGRESULT.
bool returnsDirectly(UINT msg) {
    return msg == WM_INITDIALOG || (msg >= 0x0132 && msg <= 0x0138) /* WM_CTLCOLOR* */ ||
           msg == 0x0039 /* WM_COMPAREITEM */ || msg == 0x002E /* WM_VKEYTOITEM */ ||
           msg == 0x002F /* WM_CHARTOITEM */ || msg == 0x0037 /* WM_QUERYDRAGICON */;
}

Window *firstTabStop(Window *dlg) {
    for (Window *c : dlg->children)
        if ((c->style & WS_TABSTOP) && (c->style & WS_VISIBLE) && !(c->style & WS_DISABLED))
            return c;
    return nullptr;
}

LRESULT defDialog(Window *w, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CLOSE: {
        // Closing a dialog is its Cancel.
        HWND cancel = nullptr;
        for (Window *c : w->children)
            if (c->id == IDCANCEL)
                cancel = toHwnd(c);
        wins().post(w, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                    reinterpret_cast<LPARAM>(cancel));
        return 0;
    }
    case WM_GETFONT: {
        DialogData *d = dialogData(w);
        return reinterpret_cast<LRESULT>(d ? d->font : nullptr);
    }
    case WM_SETFOCUS:
        if (Window *c = firstTabStop(w))
            SetFocus(toHwnd(c));
        return 0;
    case DM_GETDEFID:
        for (Window *c : w->children)
            if (equalsNoCase(c->className, u"Button") && (c->style & 0xF) == BS_DEFPUSHBUTTON)
                return MAKELONG(c->id, DC_HASDEFID);
        return 0;
    }
    return defaultProc(w, msg, wp, lp);
}

LRESULT CALLBACK dialogProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window *w = wins().get(h);
    if (!w)
        return 0;
    auto it = w->longs.find(DWL_DLGPROC);
    DLGPROC proc = it == w->longs.end() ? nullptr : reinterpret_cast<DLGPROC>(it->second);
    if (proc) {
        BOOL r = proc(h, msg, wp, lp);
        w = wins().get(h);
        if (!w)
            return r;
        if (r)
            return returnsDirectly(msg) ? r : w->longs[DWL_MSGRESULT];
    }
    return defDialog(w, msg, wp, lp);
}

std::mutex fontsLock;
std::vector<std::unique_ptr<DialogFont>> fonts;

HFONT fontHandle(const std::u16string &face, int points) {
    std::lock_guard<std::mutex> g(fontsLock);
    for (auto &f : fonts)
        if (f->pointSize == points && equalsNoCase(f->typeface, face))
            return reinterpret_cast<HFONT>(f.get());
    fonts.push_back(std::make_unique<DialogFont>(DialogFont{face, points}));
    return reinterpret_cast<HFONT>(fonts.back().get());
}

} // namespace

void registerDialogClass(WindowSystem::Impl &ws) {
    WndClass c;
    c.name = u"Dialog";
    c.proc = dialogProc;
    c.builtin = true;
    c.wndExtra = 12; // DLGWINDOWEXTRA
    ws.classes[foldCase(c.name)] = c;
}

// Builds the dialog of a template: the window, its controls in template order (which is also
// their z-order and tab order), WM_SETFONT, then WM_INITDIALOG; visible only if the template
// says so (a modal dialog is shown by its loop).
HWND createDialog(HINSTANCE inst, const uint8_t *bytes, size_t size, HWND parentH, DLGPROC proc,
                  LPARAM param, bool modal) {
    DialogTemplate t;
    if (!bytes || !parseDialogTemplate(bytes, size, &t)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    DialogUnits u = t.hasFont ? dialogUnitsOf(t.typeface, t.pointSize) : systemDialogUnits();
    auto &ws = wins();
    Window *parent = parentH ? ws.get(parentH) : nullptr;
    if (parentH && !parent) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    uint32_t style = t.style;
    if (modal)
        style &= ~WS_CHILD;
    int x = u.toPixelsX(t.x), y = u.toPixelsY(t.y);
    int cx = u.toPixelsX(t.cx), cy = u.toPixelsY(t.cy);
    if (!(style & WS_CHILD)) {
        // A pop-up dialog is placed from its owner's top-left corner, or centred on the screen.
        Window *owner = parent ? ws.topLevelOf(parent) : nullptr;
        if (style & DS_CENTER) {
            x = (screen::kWidth - cx) / 2;
            y = screen::kWorkTop + (screen::kWorkHeight - cy) / 2;
        } else if (owner) {
            x += owner->left;
            y += owner->top;
        }
    }
    std::u16string cls = t.className.empty() ? u"Dialog" : t.className;
    HWND h = CreateWindowExW(t.exStyle, cls.c_str(), t.title.c_str(), style & ~WS_VISIBLE, x, y, cx,
                             cy, parentH, nullptr, inst, reinterpret_cast<LPVOID>(param));
    Window *w = ws.get(h);
    if (!w)
        return nullptr;
    auto data = std::make_shared<DialogData>();
    data->units = u;
    if (t.hasFont)
        data->font = fontHandle(t.typeface, t.pointSize);
    w->control = data;
    w->longs[DWL_DLGPROC] = reinterpret_cast<LONG_PTR>(proc);
    for (const DialogItem &it : t.items) {
        std::u16string title = it.titleIsId ? u"" : it.title;
        HWND c = CreateWindowExW(
            it.exStyle, it.className.c_str(), title.c_str(), it.style | WS_CHILD, u.toPixelsX(it.x),
            u.toPixelsY(it.y), u.toPixelsX(it.cx), u.toPixelsY(it.cy), h,
            reinterpret_cast<HMENU>(uintptr_t(it.id)), inst,
            it.creationData.empty() ? nullptr : const_cast<uint8_t *>(it.creationData.data()));
        if (!c) {
            if (t.style & DS_NOFAILCREATE)
                continue;
            DestroyWindow(h);
            return nullptr;
        }
        // A static with a resource ordinal for its text shows that icon.
        if (it.titleIsId && (it.style & 0x1F) == SS_ICON && equalsNoCase(it.className, u"Static")) {
            HICON icon = LoadIconW(inst, MAKEINTRESOURCEW(it.titleId));
            SendMessageW(c, STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
        }
    }
    if (data->font)
        for (Window *c : std::vector<Window *>(w->children))
            ws.send(c, WM_SETFONT, reinterpret_cast<WPARAM>(data->font), FALSE);
    Window *first = firstTabStop(w);
    LRESULT focus = ws.send(w, WM_INITDIALOG, reinterpret_cast<WPARAM>(toHwnd(first)), param);
    w = ws.get(h);
    if (!w)
        return nullptr;
    if (focus && (first = firstTabStop(w)) != nullptr)
        SetFocus(toHwnd(first));
    if ((t.style & WS_VISIBLE) && !(w->style & WS_VISIBLE))
        ShowWindow(h, SW_SHOWNORMAL);
    return h;
}

const uint8_t *dialogResource(HINSTANCE inst, LPCWSTR name, size_t *size) {
    const ResourceEntry *e = findResource(inst, name, MAKEINTRESOURCEW(5));
    if (!e)
        return nullptr;
    *size = e->size;
    return e->data;
}

HWND createBareDialog(HWND ownerH, const std::u16string &title, uint32_t style, const RECT &r,
                      DLGPROC proc, LPARAM param) {
    style = (style | WS_POPUP) & ~(WS_CHILD | WS_VISIBLE);
    HWND h = CreateWindowExW(0, u"Dialog", title.c_str(), style, r.left, r.top, r.right - r.left,
                             r.bottom - r.top, ownerH, nullptr, nullptr, nullptr);
    Window *w = wins().get(h);
    if (!w)
        return nullptr;
    auto data = std::make_shared<DialogData>();
    data->units = dialogUnitsOf(u"Tahoma", 8);
    data->font = fontHandle(u"Tahoma", 8);
    w->control = data;
    w->longs[DWL_DLGPROC] = reinterpret_cast<LONG_PTR>(proc);
    w->longs[DWL_USER] = param;
    return h;
}

INT_PTR runModal(HWND dlg, ModalFilter filter) {
    auto &ws = wins();
    Window *w = ws.get(dlg);
    if (!w)
        return -1;
    // The owner by handle: it may belong to a thread that ends while the dialog runs.
    HWND owner = toHwnd(w->owner);
    bool ownerWasEnabled = w->owner && !(w->owner->style & WS_DISABLED);
    if (ownerWasEnabled)
        EnableWindow(owner, FALSE);
    DialogData *d = dialogData(w);
    if (d && !d->ended && !(w->style & WS_VISIBLE))
        ShowWindow(dlg, SW_SHOWNORMAL);
    while ((d = dialogData(wins().get(dlg))) != nullptr && !d->ended) {
        MSG m;
        BOOL r = GetMessageW(&m, nullptr, 0, 0);
        if (r <= 0) {
            // The quit message ends the dialog and goes on to the program's own loop.
            if (r == 0)
                PostQuitMessage(int(m.wParam));
            break;
        }
        if (filter && filter(dlg, m))
            continue;
        if (!IsDialogMessageW(dlg, &m)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
    }
    INT_PTR result = d ? d->result : -1;
    if (ownerWasEnabled && wins().get(owner))
        EnableWindow(owner, TRUE);
    DestroyWindow(dlg);
    return result;
}

} // namespace emul

using namespace emul;

CEAPI HWND CreateDialogIndirectParamW(HINSTANCE inst, LPCDLGTEMPLATEW tpl, HWND parent,
                                      DLGPROC proc, LPARAM param) {
    // The caller's template carries no size; it is read as far as it goes.
    return createDialog(inst, reinterpret_cast<const uint8_t *>(tpl), SIZE_MAX / 2, parent, proc,
                        param, false);
}

CEAPI HWND CreateDialogParamW(HINSTANCE inst, LPCWSTR name, HWND parent, DLGPROC proc,
                              LPARAM param) {
    size_t size = 0;
    const uint8_t *t = dialogResource(inst, name, &size);
    return t ? createDialog(inst, t, size, parent, proc, param, false) : nullptr;
}

CEAPI INT_PTR DialogBoxIndirectParamW(HINSTANCE inst, LPCDLGTEMPLATEW tpl, HWND parent,
                                      DLGPROC proc, LPARAM param) {
    HWND dlg = createDialog(inst, reinterpret_cast<const uint8_t *>(tpl), SIZE_MAX / 2, parent,
                            proc, param, true);
    return dlg ? runModal(dlg) : -1;
}

CEAPI INT_PTR DialogBoxParamW(HINSTANCE inst, LPCWSTR name, HWND parent, DLGPROC proc,
                              LPARAM param) {
    size_t size = 0;
    const uint8_t *t = dialogResource(inst, name, &size);
    HWND dlg = t ? createDialog(inst, t, size, parent, proc, param, true) : nullptr;
    return dlg ? runModal(dlg) : -1;
}

CEAPI BOOL EndDialog(HWND h, INT_PTR result) {
    Window *w = wins().get(h);
    DialogData *d = dialogData(w);
    if (!d) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    d->ended = true;
    d->result = result;
    // The modal loop notices at its next message; a modeless dialog just goes out of sight.
    ShowWindow(h, SW_HIDE);
    wins().post(w, WM_NULL, 0, 0);
    return TRUE;
}

CEAPI LRESULT DefDlgProcW(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window *w = wins().get(h);
    return w ? defDialog(w, msg, wp, lp) : 0;
}

CEAPI BOOL MapDialogRect(HWND h, LPRECT r) {
    DialogData *d = dialogData(wins().get(h));
    if (!d || !r) {
        SetLastError(d ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    r->left = d->units.toPixelsX(r->left);
    r->right = d->units.toPixelsX(r->right);
    r->top = d->units.toPixelsY(r->top);
    r->bottom = d->units.toPixelsY(r->bottom);
    return TRUE;
}

CEAPI BOOL IsDialogMessageW(HWND dlg, LPMSG m) {
    auto &ws = wins();
    Window *d = ws.get(dlg);
    if (!d || !m)
        return FALSE;
    bool mine = false;
    for (Window *x = ws.get(m->hwnd); x; x = x->parent)
        if (x == d)
            mine = true;
    if (!mine)
        return FALSE;
    if (m->message == WM_KEYDOWN) {
        Window *focus = ws.get(m->hwnd);
        bool wantsReturn = focus && equalsNoCase(focus->className, u"Edit") &&
                           (focus->style & ES_MULTILINE) && (focus->style & ES_WANTRETURN);
        if (m->wParam == VK_ESCAPE) {
            SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            return TRUE;
        }
        if (m->wParam == VK_RETURN && !wantsReturn) {
            LRESULT def = SendMessageW(dlg, DM_GETDEFID, 0, 0);
            int id = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK;
            HWND btn = GetDlgItem(dlg, id);
            SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                         reinterpret_cast<LPARAM>(btn));
            return TRUE;
        }
        if (m->wParam == VK_TAB) {
            // Tab moves to the next tab stop, Shift+Tab to the previous one, wrapping around.
            std::vector<Window *> stops;
            for (Window *c : d->children)
                if ((c->style & WS_TABSTOP) && (c->style & WS_VISIBLE) && !(c->style & WS_DISABLED))
                    stops.push_back(c);
            if (!stops.empty()) {
                auto at = std::find(stops.begin(), stops.end(), focus);
                bool back = (ws.mods & kModShift) != 0;
                size_t i = at == stops.end() ? 0
                           : back ? (size_t(at - stops.begin()) + stops.size() - 1) % stops.size()
                                  : (size_t(at - stops.begin()) + 1) % stops.size();
                SetFocus(toHwnd(stops[i]));
            }
            return TRUE;
        }
    }
    TranslateMessage(m);
    DispatchMessageW(m);
    return TRUE;
}
