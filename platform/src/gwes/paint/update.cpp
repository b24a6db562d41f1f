// Update regions and WM_PAINT: what each window needs to paint, which thread paints it and when,
// and where a window's device context may draw (every window clips its children and the
// windows above it, as the platform's window system always does).
#include "gwes/paint/paint.h"
#include "gwes/panel_keys.h"

#include "gdi/gdi.h"

#include <algorithm>
#include <map>

namespace emul {

namespace {

using gdi::Region;

// Past this many pieces an update region becomes its bounding box: painting a little more is
// cheaper than keeping track of many small rectangles.
constexpr size_t kMaxUpdatePieces = 16;

RECT rectOf(const Window *w) {
    return coveredRect(w);
}

bool isGroupBox(const Window *w) {
    return w->className == u"Button" && (w->style & 0xF) == BS_GROUPBOX;
}

bool meets(const RECT &a, const RECT &b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool paintable(const Window *w) {
    return !w->destroyed && !(w->thread && w->thread->exited());
}

// The screen pixels a window shows: its rectangle inside every ancestor's, less the windows
// above it and, when `clipChildren`, its own shown children.
Region visibleRegion(const Window *w, bool clipChildren) {
    auto &ws = wins();
    if (!paintable(w) || !isVisibleChain(w))
        return Region();
    Region v(rectOf(w));
    for (const Window *a = w; a && !v.empty(); a = a->parent) {
        v.intersect(rectOf(a));
        const std::vector<Window *> *siblings = nullptr;
        if (a->parent)
            siblings = &a->parent->children;
        else if (a != ws.desktop)
            siblings = &ws.topLevel;
        if (siblings) {
            for (const Window *s : *siblings) {
                if (s == a)
                    break;
                // A group box frames the controls below it without hiding them.
                if ((s->style & WS_VISIBLE) && !s->destroyed && !isGroupBox(s))
                    v.subtract(rectOf(s));
            }
        } else {
            for (const Window *s : ws.topLevel) // everything stands above the desktop
                if ((s->style & WS_VISIBLE) && !s->destroyed)
                    v.subtract(rectOf(s));
        }
    }
    if (clipChildren)
        for (const Window *c : w->children)
            if ((c->style & WS_VISIBLE) && !c->destroyed)
                v.subtract(rectOf(c));
    return v;
}

// Windows of no thread (the built-in desktop, scene windows) have no one to paint them: the
// window system fills them at once.
void paintUnowned(Window *w) {
    Region v = visibleRegion(w, true);
    Region u;
    u.rects = w->update;
    u.offset(w->left, w->top);
    v.intersect(u);
    w->update.clear();
    w->eraseUpdate = false;
    if (v.empty())
        return;
    HDC dc = GetDC(toHwnd(w));
    if (!dc)
        return;
    HBRUSH white = reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    v.offset(-w->left, -w->top);
    HRGN clip = CreateRectRgn(0, 0, 0, 0);
    for (const RECT &r : v.rects) {
        FillRect(dc, &r, white);
        HRGN piece = CreateRectRgnIndirect(&r);
        CombineRgn(clip, clip, piece, RGN_OR);
        DeleteObject(piece);
    }
    if (w == wins().desktop) {
        SelectClipRgn(dc, clip);
        paintTaskBar(w, dc, RECT{0, 0, kScreenWidth, kTaskBarHeight}, true);
    } else if (w->className == kInputPanelClass) {
        SelectClipRgn(dc, clip);
        paintInputPanel(dc, RECT{0, 0, w->right - w->left, w->bottom - w->top},
                        *controlData<PanelState>(w));
    }
    DeleteObject(clip);
    ReleaseDC(toHwnd(w), dc);
}

void addUpdate(Window *w, const Region &more, bool erase) {
    if (more.empty())
        return;
    Region u;
    u.rects = std::move(w->update);
    Region added = more;
    added.subtract(u);
    u.rects.insert(u.rects.end(), added.rects.begin(), added.rects.end());
    if (u.rects.size() > kMaxUpdatePieces)
        u = Region(u.box());
    w->update = std::move(u.rects);
    w->eraseUpdate = w->eraseUpdate || erase;
    if (!w->thread) {
        paintUnowned(w);
        return;
    }
    auto &ws = wins();
    ws.queue(w->thread).paintDirty = true;
    // A thread that invalidates its own window paints before it waits: no one need be woken.
    if (w->thread != kern().self())
        ws.changed();
}

void exposeTree(Window *w, const RECT &r) {
    if (!(w->style & WS_VISIBLE) || w->destroyed || !meets(rectOf(w), r))
        return;
    Region v = visibleRegion(w, true);
    v.intersect(r);
    v.offset(-w->left, -w->top);
    addUpdate(w, v, true);
    for (Window *c : std::vector<Window *>(w->children))
        exposeTree(c, r);
}

bool wantsPaint(const Window *w, Thread *t) {
    return w->thread == t && !w->update.empty() && paintable(w) && isVisibleChain(w);
}

// The first window of the thread that needs painting, parents before their children.
Window *findPaint(Window *w, Thread *t, HWND filter, bool inFilter) {
    if (!(w->style & WS_VISIBLE) || w->destroyed)
        return nullptr;
    inFilter = inFilter || !filter || toHwnd(w) == filter;
    if (inFilter && wantsPaint(w, t))
        return w;
    for (Window *c : w->children)
        if (Window *found = findPaint(c, t, filter, inFilter))
            return found;
    return nullptr;
}

Window *nextPaint(Queue &q, HWND filter, UINT lo, UINT hi) {
    if (!q.paintDirty)
        return nullptr;
    if ((lo || hi) && (WM_PAINT < lo || WM_PAINT > hi))
        return nullptr;
    if (filter == reinterpret_cast<HWND>(intptr_t(-1)))
        return nullptr;
    auto &ws = wins();
    Thread *t = q.owner.get();
    for (Window *w : ws.topLevel)
        if (Window *found = findPaint(w, t, filter, false))
            return found;
    if (Window *found = findPaint(ws.desktop, t, filter, false))
        return found;
    if (!filter)
        q.paintDirty = false; // asked again when a window of the thread is invalidated
    return nullptr;
}

class GwesDcSource : public WindowDcSource {
  public:
    bool geometry(HWND__ *hwnd, bool, Geometry *out) override {
        Window *w = wins().get(hwnd);
        if (!w)
            return false;
        // Windows have no frame of their own here: the window and its client area are one.
        out->originX = w->left;
        out->originY = w->top;
        out->visible.clear();
        for (const RECT &r : visibleRegion(w, true).rects)
            out->visible.push_back(Rect{r.left, r.top, r.right, r.bottom});
        return true;
    }
    bool takeUpdate(HWND__ *hwnd, std::vector<Rect> *update, bool *erase) override {
        Window *w = wins().get(hwnd);
        if (!w)
            return false;
        update->clear();
        for (const RECT &r : w->update)
            update->push_back(
                Rect{r.left + w->left, r.top + w->top, r.right + w->left, r.bottom + w->top});
        *erase = w->eraseUpdate;
        w->update.clear();
        w->eraseUpdate = false;
        return true;
    }
    bool eraseBackground(HWND__ *hwnd, void *dc) override {
        Window *w = wins().get(hwnd);
        return w && wins().send(w, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) != 0;
    }
};

} // namespace

RECT coveredRect(const Window *w) {
    RECT r{w->left, w->top, w->right, w->bottom};
    if (w->className == u"ComboBox")
        r.bottom = std::min<LONG>(r.bottom, r.top + kComboFieldHeight);
    return r;
}

struct PaintState {
    GwesDcSource source;
    HFONT font = nullptr;
    HFONT controlsFont = nullptr; // the font of the control painting now, if it has one
    int painting = 0;
    std::map<uintptr_t, EditLayout> layouts;
};

EditLayout &editLayoutOf(uintptr_t hwnd) {
    auto &ws = wins();
    dcSourceOf(ws);
    auto &all = ws.paint->layouts;
    // The layouts of windows that are gone go once they could add up.
    if (all.size() > 32 && !all.count(hwnd))
        for (auto it = all.begin(); it != all.end();)
            it = ws.get(it->first) ? std::next(it) : all.erase(it);
    return all[hwnd];
}

int paintingNow() {
    auto &ws = wins();
    return ws.paint ? ws.paint->painting : 0;
}

PaintingNow::PaintingNow() {
    dcSourceOf(wins());
    ++wins().paint->painting;
}

PaintingNow::~PaintingNow() {
    --wins().paint->painting;
}

void paintScreen() {
    exposeScreen(RECT{0, 0, kScreenWidth, kScreenHeight});
}

WindowDcSource &dcSourceOf(WindowSystem::Impl &ws) {
    if (!ws.paint)
        ws.paint = std::make_shared<PaintState>();
    return ws.paint->source;
}

HFONT fontOf(const Window *w) {
    return w && w->font && GetObjectType(w->font) == OBJ_FONT ? w->font : controlFont();
}

ControlsFont::ControlsFont(const Window *w) {
    auto &ws = wins();
    dcSourceOf(ws);
    before_ = ws.paint->controlsFont;
    ws.paint->controlsFont = nullptr;
    ws.paint->controlsFont = fontOf(w);
}

ControlsFont::~ControlsFont() {
    wins().paint->controlsFont = before_;
}

HFONT controlFont() {
    auto &ws = wins();
    dcSourceOf(ws);
    if (ws.paint->controlsFont)
        return ws.paint->controlsFont;
    if (!ws.paint->font) {
        LOGFONTW lf{};
        lf.lfHeight = -11; // 8 points at 96 dots an inch
        lf.lfWeight = FW_NORMAL;
        std::u16string face = u"Tahoma";
        std::copy(face.begin(), face.end(), lf.lfFaceName);
        ws.paint->font = CreateFontIndirectW(&lf);
    }
    return ws.paint->font;
}

void invalidate(Window *w, const RECT *r, bool erase) {
    if (!paintable(w))
        return;
    RECT whole{0, 0, w->right - w->left, w->bottom - w->top};
    RECT x = whole;
    if (r && !gdi::clipRect(gdi::normalized(r->left, r->top, r->right, r->bottom), whole, &x))
        return;
    if (gdi::emptyRect(x))
        return;
    addUpdate(w, Region(x), erase);
}

void validate(Window *w, const RECT *r) {
    if (!r) {
        w->update.clear();
        w->eraseUpdate = false;
        return;
    }
    Region u;
    u.rects = std::move(w->update);
    u.subtract(gdi::normalized(r->left, r->top, r->right, r->bottom));
    w->update = std::move(u.rects);
    if (w->update.empty())
        w->eraseUpdate = false;
}

void exposeScreen(const RECT &r) {
    auto &ws = wins();
    if (gdi::emptyRect(r))
        return;
    for (Window *w : std::vector<Window *>(ws.topLevel))
        exposeTree(w, r);
    exposeTree(ws.desktop, r);
}

bool paintWaiting(Queue &q, HWND filter, UINT lo, UINT hi) {
    return nextPaint(q, filter, lo, hi) != nullptr;
}

bool takePaint(Queue &q, MSG *out, HWND filter, UINT lo, UINT hi) {
    Window *w = nextPaint(q, filter, lo, hi);
    if (!w)
        return false;
    *out = MSG{};
    out->hwnd = toHwnd(w);
    out->message = WM_PAINT;
    out->time = kern().tick();
    auto &ws = wins();
    out->pt = POINT{ws.cursorX, ws.cursorY};
    return true;
}

} // namespace emul

using namespace emul;

CEAPI BOOL InvalidateRect(HWND h, const RECT *r, BOOL erase) {
    Window *w = needWindow(h);
    if (!w)
        return FALSE;
    invalidate(w, r, erase != FALSE);
    return TRUE;
}

CEAPI BOOL InvalidateRgn(HWND h, HRGN rgn, BOOL erase) {
    if (!rgn)
        return InvalidateRect(h, nullptr, erase);
    Window *w = needWindow(h);
    if (!w)
        return FALSE;
    auto *region = gdi::state().getAs<gdi::Rgn>(rgn, gdi::Kind::Region);
    if (!region) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    for (const RECT &r : region->region.rects)
        invalidate(w, &r, erase != FALSE);
    return TRUE;
}

CEAPI BOOL ValidateRect(HWND h, const RECT *r) {
    Window *w = needWindow(h);
    if (!w)
        return FALSE;
    validate(w, r);
    return TRUE;
}

CEAPI BOOL GetUpdateRect(HWND h, LPRECT r, BOOL erase) {
    Window *w = needWindow(h);
    if (!w)
        return FALSE;
    Region u;
    u.rects = w->update;
    if (r)
        *r = u.box();
    bool any = !u.empty();
    if (any && erase && w->eraseUpdate) {
        if (HDC dc = GetDC(h)) {
            w->eraseUpdate = wins().send(w, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) == 0;
            ReleaseDC(h, dc);
        }
    }
    return any;
}

CEAPI BOOL UpdateWindow(HWND h) {
    Window *w = needWindow(h);
    if (!w)
        return FALSE;
    if (!w->update.empty() && isVisibleChain(w))
        wins().send(w, WM_PAINT, 0, 0);
    return TRUE;
}

CEAPI BOOL RedrawWindow(HWND h, const RECT *r, HRGN rgn, UINT flags) {
    Window *w = h ? needWindow(h) : wins().desktop;
    if (!w)
        return FALSE;
    std::vector<RECT> pieces;
    if (rgn) {
        auto *region = gdi::state().getAs<gdi::Rgn>(rgn, gdi::Kind::Region);
        if (!region) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        pieces = region->region.rects;
    } else if (r) {
        pieces.push_back(*r);
    } else {
        pieces.push_back(RECT{0, 0, w->right - w->left, w->bottom - w->top});
    }
    std::vector<Window *> targets{w};
    if (flags & RDW_ALLCHILDREN)
        for (size_t i = 0; i < targets.size(); ++i)
            for (Window *c : targets[i]->children)
                targets.push_back(c);
    for (Window *t : targets)
        for (RECT p : pieces) {
            OffsetRect(&p, w->left - t->left, w->top - t->top);
            if (flags & RDW_INVALIDATE)
                invalidate(t, &p, (flags & RDW_ERASE) != 0);
            else if (flags & RDW_VALIDATE)
                validate(t, &p);
        }
    if (flags & RDW_UPDATENOW)
        for (Window *t : targets)
            if (wins().get(toHwnd(t)))
                UpdateWindow(toHwnd(t));
    return TRUE;
}
