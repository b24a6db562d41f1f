// Device contexts: windows' (GetDC, GetWindowDC, BeginPaint) and memory DCs, their saved
// states, the objects selected into them and their colours and modes.
#include "gdi/gdi.h"

#include <algorithm>
#include <utility>

namespace emul::gdi {

namespace {

// The window calls as the window system answers them to anyone.
class PublicWindowSource : public WindowDcSource {
  public:
    bool geometry(HWND__ *hwnd, bool whole, Geometry *out) override {
        RECT w;
        if (!IsWindow(hwnd) || !GetWindowRect(hwnd, &w))
            return false;
        POINT o{0, 0};
        if (whole)
            o = POINT{w.left, w.top};
        else
            ClientToScreen(hwnd, &o);
        out->originX = o.x;
        out->originY = o.y;
        out->visible.clear();
        if (!IsWindowVisible(hwnd))
            return true;
        // Clipped to every ancestor: a child never shows outside its parent.
        RECT v = w, p;
        for (HWND a = GetParent(hwnd); a; a = GetParent(a))
            if (GetWindowRect(a, &p) && !IntersectRect(&v, &v, &p))
                return true;
        if (!emptyRect(v))
            out->visible.push_back(Rect{v.left, v.top, v.right, v.bottom});
        return true;
    }
    bool takeUpdate(HWND__ *hwnd, std::vector<Rect> *update, bool *erase) override {
        Geometry g;
        if (!geometry(hwnd, false, &g))
            return false;
        *update = g.visible;
        *erase = true;
        return true;
    }
};

void retain(State &s, const DcState &st, uintptr_t dcHandle) {
    for (uintptr_t h : {st.pen, st.brush, st.font, st.bitmap})
        if (Object *o = s.get(reinterpret_cast<HGDIOBJ>(h))) {
            ++o->selected;
            if (o->kind == Kind::Bitmap && !o->stock)
                static_cast<Bitmap *>(o)->dc = dcHandle;
        }
}

void release(State &s, const DcState &st) {
    for (uintptr_t h : {st.pen, st.brush, st.font, st.bitmap})
        if (Object *o = s.get(reinterpret_cast<HGDIOBJ>(h))) {
            --o->selected;
            if (o->kind == Kind::Bitmap && o->selected == 0)
                static_cast<Bitmap *>(o)->dc = 0;
        }
}

DcState defaults(const State &s) {
    DcState st;
    st.pen = s.stock[BLACK_PEN];
    st.brush = s.stock[WHITE_BRUSH];
    st.font = s.stock[SYSTEM_FONT];
    return st;
}

Region regionOf(const std::vector<WindowDcSource::Rect> &rects, const Surface &screen) {
    Region r;
    RECT x;
    RECT bounds{0, 0, screen.width, screen.height};
    for (const auto &v : rects)
        if (clipRect(normalized(v.left, v.top, v.right, v.bottom), bounds, &x)) {
            Region piece(x);
            piece.subtract(r); // the source promises no overlap; hold it to that
            r.rects.insert(r.rects.end(), piece.rects.begin(), piece.rects.end());
        }
    return r;
}

HDC windowDc(HWND hwnd, bool whole) {
    State &s = state();
    WindowDcSource::Geometry g;
    if (!s.source->geometry(hwnd, whole, &g)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    auto dc = std::make_unique<Dc>();
    dc->hwnd = hwnd;
    dc->origin = POINT{g.originX, g.originY};
    dc->visible = regionOf(g.visible, s.screen);
    dc->st = defaults(s);
    Dc *raw = dc.get();
    uintptr_t h = s.add(std::move(dc));
    retain(s, raw->st, h);
    return reinterpret_cast<HDC>(h);
}

void destroyDc(State &s, uintptr_t h, Dc *dc) {
    release(s, dc->st);
    for (const DcState &st : dc->saved)
        release(s, st);
    s.destroy(h);
}

} // namespace

std::unique_ptr<WindowDcSource> makeDefaultWindowSource() {
    return std::make_unique<PublicWindowSource>();
}

Surface &surfaceOf(Dc &dc) {
    State &s = state();
    if (dc.memory)
        if (Bitmap *b = s.getAs<Bitmap>(reinterpret_cast<HGDIOBJ>(dc.st.bitmap), Kind::Bitmap))
            return b->surface;
    return s.screen;
}

const Region &clipOf(Dc &dc) {
    if (!dc.effectiveValid) {
        dc.effective = dc.visible;
        if (dc.st.hasClip) {
            Region c = dc.st.clip;
            c.offset(dc.origin.x, dc.origin.y);
            dc.effective.intersect(c);
        }
        dc.effectiveValid = true;
    }
    return dc.effective;
}

} // namespace emul::gdi

using namespace emul;
using namespace emul::gdi;

bool WindowDcSource::eraseBackground(HWND__ *hwnd, void *dc) {
    return SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) != 0;
}

CEAPI HDC GetDC(HWND hwnd) {
    if (!hwnd)
        hwnd = GetDesktopWindow();
    return windowDc(hwnd, false);
}

CEAPI HDC GetWindowDC(HWND hwnd) {
    if (!hwnd)
        hwnd = GetDesktopWindow();
    return windowDc(hwnd, true);
}

CEAPI int ReleaseDC(HWND, HDC h) {
    State &s = state();
    Dc *dc = s.dc(h);
    if (!dc || dc->memory || dc->paint)
        return 0;
    destroyDc(s, reinterpret_cast<uintptr_t>(h), dc);
    return 1;
}

CEAPI HDC BeginPaint(HWND hwnd, LPPAINTSTRUCT ps) {
    State &s = state();
    if (!ps) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::vector<WindowDcSource::Rect> update;
    bool erase = false;
    if (!s.source->takeUpdate(hwnd, &update, &erase)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    HDC h = windowDc(hwnd, false);
    Dc *dc = s.dc(h);
    if (!dc)
        return nullptr;
    dc->paint = true;
    // Drawing is limited to what needs painting.
    dc->visible.intersect(regionOf(update, s.screen));
    invalidateClip(*dc);
    *ps = PAINTSTRUCT{};
    ps->hdc = h;
    RECT box = dc->visible.box();
    if (!dc->visible.empty())
        OffsetRect(&box, -dc->origin.x, -dc->origin.y);
    ps->rcPaint = box;
    // The background is erased first; a window that does not erase it leaves fErase set.
    ps->fErase = erase && !dc->visible.empty() && !s.source->eraseBackground(hwnd, h);
    return h;
}

CEAPI BOOL EndPaint(HWND hwnd, const PAINTSTRUCT *ps) {
    State &s = state();
    if (!ps)
        return FALSE;
    Dc *dc = s.dc(ps->hdc);
    if (!dc || !dc->paint)
        return FALSE;
    destroyDc(s, reinterpret_cast<uintptr_t>(ps->hdc), dc);
    s.source->endPaint(hwnd);
    return TRUE;
}

CEAPI HDC CreateCompatibleDC(HDC other) {
    State &s = state();
    if (other && !s.dc(other)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    auto dc = std::make_unique<Dc>();
    dc->memory = true;
    dc->st = defaults(s);
    dc->st.bitmap = s.stock[9];
    dc->visible = Region(RECT{0, 0, 1, 1});
    Dc *raw = dc.get();
    uintptr_t h = s.add(std::move(dc));
    retain(s, raw->st, h);
    return reinterpret_cast<HDC>(h);
}

CEAPI BOOL DeleteDC(HDC h) {
    State &s = state();
    Dc *dc = s.dc(h);
    if (!dc || dc->paint) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    destroyDc(s, reinterpret_cast<uintptr_t>(h), dc);
    return TRUE;
}

CEAPI int SaveDC(HDC h) {
    State &s = state();
    Dc *dc = s.dc(h);
    if (!dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    retain(s, dc->st, reinterpret_cast<uintptr_t>(h));
    dc->saved.push_back(dc->st);
    return int(dc->saved.size());
}

CEAPI BOOL RestoreDC(HDC h, int which) {
    State &s = state();
    Dc *dc = s.dc(h);
    int n = dc ? int(dc->saved.size()) : 0;
    // A positive number names a saved state, a negative one counts back from the latest.
    int target = which < 0 ? n + which + 1 : which;
    if (!dc || target < 1 || target > n) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Surface *before = &surfaceOf(*dc);
    release(s, dc->st);
    dc->st = dc->saved[size_t(target - 1)];
    for (size_t i = size_t(target); i < dc->saved.size(); ++i)
        release(s, dc->saved[i]);
    dc->saved.resize(size_t(target - 1));
    if (dc->memory && &surfaceOf(*dc) != before) {
        const Surface &now = surfaceOf(*dc);
        dc->visible = Region(RECT{0, 0, now.width, now.height});
    }
    invalidateClip(*dc);
    return TRUE;
}

CEAPI HGDIOBJ SelectObject(HDC h, HGDIOBJ obj) {
    State &s = state();
    Dc *dc = s.dc(h);
    Object *o = s.get(obj);
    if (!dc || !o) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    uintptr_t *slot = nullptr;
    switch (o->kind) {
    case Kind::Pen:
        slot = &dc->st.pen;
        break;
    case Kind::Brush:
        slot = &dc->st.brush;
        break;
    case Kind::Font:
        slot = &dc->st.font;
        break;
    case Kind::Region:
        return reinterpret_cast<HGDIOBJ>(intptr_t(SelectClipRgn(h, reinterpret_cast<HRGN>(obj))));
    case Kind::Bitmap: {
        auto *b = static_cast<Bitmap *>(o);
        // A bitmap is drawn on through one memory DC at a time.
        if (!dc->memory || (b->dc && b->dc != reinterpret_cast<uintptr_t>(h))) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        slot = &dc->st.bitmap;
        dc->visible = Region(RECT{0, 0, b->surface.width, b->surface.height});
        invalidateClip(*dc);
        break;
    }
    default:
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    uintptr_t old = *slot;
    if (old == reinterpret_cast<uintptr_t>(obj))
        return obj;
    if (Object *prev = s.get(reinterpret_cast<HGDIOBJ>(old))) {
        --prev->selected;
        if (prev->kind == Kind::Bitmap && prev->selected == 0)
            static_cast<Bitmap *>(prev)->dc = 0;
    }
    *slot = reinterpret_cast<uintptr_t>(obj);
    ++o->selected;
    if (o->kind == Kind::Bitmap && !o->stock)
        static_cast<Bitmap *>(o)->dc = reinterpret_cast<uintptr_t>(h);
    return reinterpret_cast<HGDIOBJ>(old);
}

CEAPI HGDIOBJ GetCurrentObject(HDC h, UINT type) {
    Dc *dc = state().dc(h);
    if (!dc)
        return nullptr;
    switch (type) {
    case OBJ_PEN:
        return reinterpret_cast<HGDIOBJ>(dc->st.pen);
    case OBJ_BRUSH:
        return reinterpret_cast<HGDIOBJ>(dc->st.brush);
    case OBJ_FONT:
        return reinterpret_cast<HGDIOBJ>(dc->st.font);
    case OBJ_BITMAP:
        return reinterpret_cast<HGDIOBJ>(dc->st.bitmap);
    }
    return nullptr;
}

namespace {

template <class T, class F> T withDc(HDC h, T bad, F f) {
    Dc *dc = state().dc(h);
    if (!dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return bad;
    }
    return f(*dc);
}

} // namespace

CEAPI COLORREF SetTextColor(HDC h, COLORREF c) {
    return withDc(h, CLR_INVALID, [&](Dc &dc) { return std::exchange(dc.st.text, c & 0xFFFFFF); });
}

CEAPI COLORREF GetTextColor(HDC h) {
    return withDc(h, CLR_INVALID, [](Dc &dc) { return dc.st.text; });
}

CEAPI COLORREF SetBkColor(HDC h, COLORREF c) {
    return withDc(h, CLR_INVALID, [&](Dc &dc) { return std::exchange(dc.st.bk, c & 0xFFFFFF); });
}

CEAPI COLORREF GetBkColor(HDC h) {
    return withDc(h, CLR_INVALID, [](Dc &dc) { return dc.st.bk; });
}

CEAPI int SetBkMode(HDC h, int mode) {
    if (mode != OPAQUE && mode != TRANSPARENT) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return withDc(h, 0, [&](Dc &dc) { return std::exchange(dc.st.bkMode, mode); });
}

CEAPI int GetBkMode(HDC h) {
    return withDc(h, 0, [](Dc &dc) { return dc.st.bkMode; });
}

CEAPI int SetROP2(HDC h, int mode) {
    if (mode < R2_BLACK || mode > R2_WHITE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return withDc(h, 0, [&](Dc &dc) { return std::exchange(dc.st.rop2, mode); });
}

CEAPI int GetROP2(HDC h) {
    return withDc(h, 0, [](Dc &dc) { return dc.st.rop2; });
}

CEAPI int GetDeviceCaps(HDC h, int index) {
    return withDc(h, 0, [&](Dc &dc) {
        const Surface &s = surfaceOf(dc);
        switch (index) {
        case HORZRES:
            return s.width;
        case VERTRES:
            return s.height;
        case HORZSIZE: // millimetres at 96 dots an inch
            return MulDiv(s.width, 254, 960);
        case VERTSIZE:
            return MulDiv(s.height, 254, 960);
        case BITSPIXEL:
            return s.bpp;
        case PLANES:
            return 1;
        case NUMCOLORS:
            return s.bpp == 1 ? 2 : -1;
        case RASTERCAPS:
            return 0x0001 | 0x0008 | 0x0800; // RC_BITBLT | RC_BITMAP64 | RC_STRETCHBLT
        case LOGPIXELSX:
        case LOGPIXELSY:
            return 96;
        }
        return 0;
    });
}
