// What DefWindowProcW paints: the class background, the controls' colours, the built-in controls
// and the shell's task bar; and which messages change how a built-in control looks.
#include "gwes/paint/paint.h"

#include "emul/text.h"

#include <commctrl.h>

namespace emul {

namespace {

constexpr int kLargeIcon = 32; // the platform's large icon, as icon statics show it

struct StaticData : ControlData {
    HANDLE image = nullptr;
};

// Messages that only ask a control something: they leave its look alone.
bool onlyAsks(UINT msg) {
    switch (msg) {
    case WM_PAINT:
    case WM_ERASEBKGND:
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
    case WM_GETFONT:
    case WM_GETDLGCODE:
    case WM_KEYUP:
    case WM_SYSKEYUP:
    case WM_NCHITTEST:
    case WM_CREATE:
    case WM_DESTROY:
    case WM_TIMER:
    case WM_NOTIFY:
    case WM_COMMAND:
    case BM_GETCHECK:
    case BM_GETSTATE:
    case EM_GETSEL:
    case STM_GETIMAGE:
    case STM_GETICON:
    case CB_GETCOUNT:
    case CB_GETCURSEL:
    case CB_GETLBTEXT:
    case CB_GETLBTEXTLEN:
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT:
    case CB_GETITEMDATA:
    case CB_GETDROPPEDSTATE:
    case CB_GETDROPPEDCONTROLRECT:
    case TBM_GETPOS:
    case TBM_GETRANGEMIN:
    case TBM_GETRANGEMAX:
    case TBM_GETPAGESIZE:
    case TBM_GETLINESIZE:
    case TBM_GETCHANNELRECT:
    case TBM_GETTHUMBRECT:
    case TCM_GETITEMCOUNT:
    case TCM_GETITEMW:
    case TCM_GETCURSEL:
    case TCM_GETCURFOCUS:
    case TCM_GETITEMRECT:
    case TCM_ADJUSTRECT:
    case TCM_GETEXTENDEDSTYLE:
        return true;
    }
    return msg >= WM_CTLCOLOREDIT && msg <= WM_CTLCOLORSTATIC;
}

Window *taskBar(WindowSystem::Impl &ws = wins()) {
    for (Window *w : ws.topLevel)
        if (w->className == u"HHTaskBar" && !w->destroyed)
            return w;
    return nullptr;
}

// The top program window below the pop-ups: what the foreground was before one of them opened.
// A program's menu bar stands above its window but is no program of its own.
Window *programBeneath(WindowSystem::Impl &ws, Window *bar) {
    for (Window *t : ws.topLevel)
        if (t != bar && t->owner != bar && t->thread && !t->topmost && (t->style & WS_VISIBLE) &&
            !t->destroyed && t->className != u"menu_worker")
            return t;
    return nullptr;
}

} // namespace

namespace {

// The program the bar names: the one in front, or, while the bar's own menu is open, the one
// beneath it.
Window *namedProgram(WindowSystem::Impl &ws, Window *bar) {
    Window *fg = ws.get(ws.foreground);
    if (fg && bar && fg->owner == bar)
        fg = programBeneath(ws, bar);
    if (!fg || fg == bar || fg->className == u"DesktopExplorerWindow")
        return nullptr;
    return fg;
}

// The OK button at the bar's right end, there while the program named has one in its caption.
RECT okButton(const RECT &bar) {
    return RECT{bar.right - 29, bar.top + 4, bar.right - 4, bar.bottom - 4};
}

bool showsOk(const Window *program) {
    return program && (program->exStyle & WS_EX_CAPTIONOKBTN) && (program->style & WS_VISIBLE);
}

constexpr int kStartWidth = 48; // the Start button: where a tap on the bar opens the menu

// While the bar's own pop-up (the Start menu) is in front, Start is drawn pressed.
bool startPressed(Window *bar) {
    Window *fg = wins().get(wins().foreground);
    return bar && fg && fg->owner == bar && bar->className == u"HHTaskBar" &&
           fg->className == u"StartMenu";
}

} // namespace

Window *taskBarProgram(WindowSystem::Impl &ws) {
    return namedProgram(ws, taskBar(ws));
}

void paintTaskBar(Window *w, HDC dc, const RECT &bar, bool withStart) {
    FillRect(dc, &bar, reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    if (startPressed(w)) {
        RECT start{bar.left, bar.top, bar.left + kStartWidth, bar.bottom};
        FillRect(dc, &start, GetSysColorBrush(COLOR_HIGHLIGHT));
    }
    HGDIOBJ old = SelectObject(dc, controlFont());
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkMode(dc, TRANSPARENT);
    if (withStart) {
        RECT start{bar.left + 4, bar.top + 5, bar.left + 48, bar.top + 21};
        DrawTextW(dc, u"Start", 5, &start, DT_LEFT | DT_NOPREFIX);
    }
    Window *fg = namedProgram(wins(), w == wins().desktop ? nullptr : w);
    RECT title{bar.left + 52, bar.top, bar.right - 4, bar.bottom};
    if (showsOk(fg)) {
        RECT ok = okButton(bar);
        title.right = ok.left - 4;
        // A white outline with its corner pixels left out; pressed, white with black letters.
        HBRUSH white = reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        const RECT edges[] = {{ok.left + 1, ok.top, ok.right - 1, ok.top + 1},
                              {ok.left + 1, ok.bottom - 1, ok.right - 1, ok.bottom},
                              {ok.left, ok.top + 1, ok.left + 1, ok.bottom - 1},
                              {ok.right - 1, ok.top + 1, ok.right, ok.bottom - 1}};
        for (const RECT &e : edges)
            FillRect(dc, &e, white);
        if (wins().okPressed) {
            RECT face{ok.left + 1, ok.top + 1, ok.right - 1, ok.bottom - 1};
            FillRect(dc, &face, white);
            SetTextColor(dc, RGB(0, 0, 0));
        }
        DrawTextW(dc, u"ok", 2, &ok, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        SetTextColor(dc, RGB(255, 255, 255));
    }
    if (fg)
        DrawTextW(dc, reinterpret_cast<LPCWSTR>(fg->text.c_str()), int(fg->text.size()), &title,
                  DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    SelectObject(dc, old);
}

bool onTaskBarOk(Window *hit, int x, int y) {
    Window *bar = taskBar();
    if (!hit || (hit != bar && hit != wins().desktop))
        return false;
    RECT ok = okButton(RECT{0, 0, kScreenWidth, kTaskBarHeight});
    if (x < ok.left || x >= ok.right || y < ok.top || y >= ok.bottom)
        return false;
    return showsOk(namedProgram(wins(), bar));
}

void pressTaskBarOk(bool pressed) {
    if (wins().okPressed == pressed)
        return;
    wins().okPressed = pressed;
    RECT ok = okButton(RECT{0, 0, kScreenWidth, kTaskBarHeight});
    if (Window *bar = taskBar())
        invalidate(bar, &ok, true);
    else
        invalidate(wins().desktop, &ok, true);
}

void taskBarOk() {
    Window *fg = namedProgram(wins(), taskBar());
    if (showsOk(fg))
        wins().post(fg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

LRESULT staticImage(Window *w, UINT msg, WPARAM wp, LPARAM lp) {
    auto *d = controlData<StaticData>(w);
    HANDLE old = d->image;
    if (msg == STM_SETIMAGE || msg == STM_SETICON) {
        HANDLE image = reinterpret_cast<HANDLE>(msg == STM_SETICON ? wp : WPARAM(lp));
        if (msg == STM_SETIMAGE && wp != IMAGE_ICON && wp != IMAGE_BITMAP)
            return 0;
        d->image = image;
        invalidate(w, nullptr, true);
        // An icon static takes the large icon's size, whatever its template said.
        if ((w->style & 0x1F) == SS_ICON && image && (msg == STM_SETICON || wp == IMAGE_ICON)) {
            RECT before{w->left, w->top, w->right, w->bottom};
            w->right = w->left + kLargeIcon;
            w->bottom = w->top + kLargeIcon;
            RECT after{w->left, w->top, w->right, w->bottom};
            UnionRect(&before, &before, &after);
            exposeScreen(before);
        }
    }
    return reinterpret_cast<LRESULT>(old);
}

HANDLE staticImageOf(Window *w) {
    auto *d = dynamic_cast<StaticData *>(w->control.get());
    return d ? d->image : nullptr;
}

// A character typed into a text box changes its lines from the last one down, as its last
// paint left them; the paint itself asks for the rest when more changed.
bool typedAtTheEnd(Window *w, UINT msg, WPARAM wp) {
    if (w->className != u"richink" && !(w->className == u"Edit" && (w->style & ES_MULTILINE)))
        return false;
    // A key that makes a character changes nothing until the character comes.
    if (msg == WM_KEYDOWN)
        return !(wp == VK_BACK || wp == VK_DELETE || (wp >= VK_PRIOR && wp <= VK_DOWN));
    if (msg != WM_CHAR || wp == 8)
        return false;
    EditLayout &l = editLayoutOf(w->h);
    if (l.lines.empty() || l.lineHeight <= 0 || l.lines.size() <= l.first)
        return false;
    RECT below{0, l.top + int(l.lines.size() - 1 - l.first) * l.lineHeight, w->right - w->left,
               w->bottom - w->top};
    invalidate(w, &below, true);
    return true;
}

void afterControlMessage(Window *w, UINT msg, WPARAM wp) {
    if (paintingNow() == 0 && typedAtTheEnd(w, msg, wp))
        return;
    // What a control asks while it paints changes nothing.
    if (paintingNow() == 0 && !onlyAsks(msg) && w->className != u"Dialog")
        invalidate(w, nullptr, true);
}

void foregroundChanged() {
    // Without the shell's task bar the desktop shows one in its place.
    RECT strip{0, 0, kScreenWidth, kTaskBarHeight};
    if (Window *bar = taskBar()) {
        invalidate(bar, nullptr, true);
        // Its Start label is drawn pressed while the Start menu is in front.
        for (Window *c : bar->children)
            invalidate(c, nullptr, true);
    } else
        invalidate(wins().desktop, &strip, true);
}

LRESULT defaultCtlColor(Window *w, UINT msg, HDC dc) {
    if (w->className == u"HHTaskBar") {
        // Start is the bar's one label.
        bool pressed = startPressed(w);
        SetTextColor(dc, RGB(255, 255, 255));
        SetBkColor(dc, pressed ? GetSysColor(COLOR_HIGHLIGHT) : RGB(0, 0, 0));
        return reinterpret_cast<LRESULT>(pressed ? GetSysColorBrush(COLOR_HIGHLIGHT)
                                                 : GetStockObject(BLACK_BRUSH));
    }
    bool field = msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX;
    SetTextColor(dc, GetSysColor(field ? COLOR_WINDOWTEXT : COLOR_STATICTEXT));
    SetBkColor(dc, GetSysColor(field ? COLOR_WINDOW : COLOR_STATIC));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(field ? COLOR_WINDOW : COLOR_STATIC));
}

LRESULT defaultErase(Window *w, HDC dc) {
    HBRUSH brush = nullptr;
    if (w->className == u"Dialog") {
        brush = reinterpret_cast<HBRUSH>(
            wins().send(w, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), LPARAM(w->h)));
    } else {
        auto &classes = wins().classes;
        auto c = classes.find(foldCase(w->className));
        if (c != classes.end())
            brush = c->second.background;
    }
    if (!brush)
        return 0;
    RECT client{0, 0, w->right - w->left, w->bottom - w->top};
    FillRect(dc, &client, brush);
    return 1;
}

LRESULT defaultPaint(Window *w) {
    HWND h = toHwnd(w);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    if (!dc)
        return 0;
    RECT client{0, 0, w->right - w->left, w->bottom - w->top};
    PaintingNow painting;
    if (w->className == u"HHTaskBar")
        paintTaskBar(w, dc, client, false);
    else if (w->builtinClass)
        paintControl(w, dc, client);
    EndPaint(h, &ps);
    return 0;
}

} // namespace emul
