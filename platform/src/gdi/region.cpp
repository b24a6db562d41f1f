// Regions as lists of rectangles that do not overlap, the rectangle helpers, and the region
// and clipping calls (CreateRectRgn, CombineRgn, SelectClipRgn, IntersectClipRect, ...).
#include "gdi/gdi.h"

#include <algorithm>

namespace emul::gdi {

bool clipRect(const RECT &a, const RECT &b, RECT *out) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (emptyRect(r))
        return false;
    *out = r;
    return true;
}

RECT normalized(LONG l, LONG t, LONG r, LONG b) {
    // Far beyond any surface, yet far from overflowing when an origin is added.
    static constexpr LONG kLimit = 1 << 27;
    auto keep = [](LONG v) { return std::clamp(v, -kLimit, kLimit); };
    RECT out{keep(std::min(l, r)), keep(std::min(t, b)), keep(std::max(l, r)),
             keep(std::max(t, b))};
    return out;
}

void Region::add(const RECT &r) {
    if (!emptyRect(r))
        rects.push_back(r);
}

RECT Region::box() const {
    if (rects.empty())
        return RECT{0, 0, 0, 0};
    RECT b = rects[0];
    for (const RECT &r : rects) {
        b.left = std::min(b.left, r.left);
        b.top = std::min(b.top, r.top);
        b.right = std::max(b.right, r.right);
        b.bottom = std::max(b.bottom, r.bottom);
    }
    return b;
}

bool Region::contains(int x, int y) const {
    for (const RECT &r : rects)
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom)
            return true;
    return false;
}

void Region::intersect(const RECT &c) {
    std::vector<RECT> out;
    RECT x;
    for (const RECT &r : rects)
        if (clipRect(r, c, &x))
            out.push_back(x);
    rects.swap(out);
}

void Region::intersect(const Region &o) {
    std::vector<RECT> out;
    RECT x;
    for (const RECT &r : rects)
        for (const RECT &c : o.rects)
            if (clipRect(r, c, &x))
                out.push_back(x);
    rects.swap(out);
}

void Region::subtract(const RECT &c) {
    std::vector<RECT> out;
    RECT x;
    for (const RECT &r : rects) {
        if (!clipRect(r, c, &x)) {
            out.push_back(r);
            continue;
        }
        // Up to four pieces: the bands above and below, then left and right of the hole.
        if (r.top < x.top)
            out.push_back(RECT{r.left, r.top, r.right, x.top});
        if (x.bottom < r.bottom)
            out.push_back(RECT{r.left, x.bottom, r.right, r.bottom});
        if (r.left < x.left)
            out.push_back(RECT{r.left, x.top, x.left, x.bottom});
        if (x.right < r.right)
            out.push_back(RECT{x.right, x.top, r.right, x.bottom});
    }
    rects.swap(out);
}

void Region::subtract(const Region &o) {
    for (const RECT &c : o.rects) {
        if (rects.empty())
            return;
        subtract(c);
    }
}

void Region::unite(const Region &o) {
    Region extra = o;
    extra.subtract(*this);
    rects.insert(rects.end(), extra.rects.begin(), extra.rects.end());
}

void Region::offset(int dx, int dy) {
    for (RECT &r : rects) {
        r.left += dx;
        r.right += dx;
        r.top += dy;
        r.bottom += dy;
    }
}

bool Region::sameAs(const Region &o) const {
    Region a = *this, b = o;
    a.subtract(o);
    b.subtract(*this);
    return a.empty() && b.empty();
}

} // namespace emul::gdi

using namespace emul::gdi;

namespace {

Rgn *rgn(HRGN h) {
    Rgn *r = state().getAs<Rgn>(h, Kind::Region);
    if (!r)
        SetLastError(ERROR_INVALID_HANDLE);
    return r;
}

bool validRect(const RECT *r) {
    if (r)
        return true;
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
}

} // namespace

CEAPI BOOL SetRect(LPRECT r, int l, int t, int rt, int b) {
    if (!validRect(r))
        return FALSE;
    *r = RECT{l, t, rt, b};
    return TRUE;
}

CEAPI BOOL SetRectEmpty(LPRECT r) {
    return SetRect(r, 0, 0, 0, 0);
}

CEAPI BOOL CopyRect(LPRECT d, const RECT *s) {
    if (!validRect(d) || !validRect(s))
        return FALSE;
    *d = *s;
    return TRUE;
}

CEAPI BOOL IsRectEmpty(const RECT *r) {
    return !r || emptyRect(*r);
}

CEAPI BOOL EqualRect(const RECT *a, const RECT *b) {
    return a && b && a->left == b->left && a->top == b->top && a->right == b->right &&
           a->bottom == b->bottom;
}

CEAPI BOOL OffsetRect(LPRECT r, int dx, int dy) {
    if (!validRect(r))
        return FALSE;
    r->left += dx;
    r->right += dx;
    r->top += dy;
    r->bottom += dy;
    return TRUE;
}

CEAPI BOOL InflateRect(LPRECT r, int dx, int dy) {
    if (!validRect(r))
        return FALSE;
    r->left -= dx;
    r->right += dx;
    r->top -= dy;
    r->bottom += dy;
    return TRUE;
}

CEAPI BOOL IntersectRect(LPRECT d, const RECT *a, const RECT *b) {
    if (!validRect(d) || !validRect(a) || !validRect(b))
        return FALSE;
    RECT x;
    if (emptyRect(*a) || emptyRect(*b) || !clipRect(*a, *b, &x)) {
        *d = RECT{0, 0, 0, 0};
        return FALSE;
    }
    *d = x;
    return TRUE;
}

CEAPI BOOL UnionRect(LPRECT d, const RECT *a, const RECT *b) {
    if (!validRect(d) || !validRect(a) || !validRect(b))
        return FALSE;
    if (emptyRect(*a) && emptyRect(*b)) {
        *d = RECT{0, 0, 0, 0};
        return FALSE;
    }
    if (emptyRect(*a) || emptyRect(*b)) {
        *d = emptyRect(*a) ? *b : *a;
        return TRUE;
    }
    *d = RECT{std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
              std::max(a->bottom, b->bottom)};
    return TRUE;
}

CEAPI BOOL SubtractRect(LPRECT d, const RECT *a, const RECT *b) {
    if (!validRect(d) || !validRect(a) || !validRect(b))
        return FALSE;
    // Only a cut that leaves a rectangle changes it: b must span a in one direction.
    RECT r = *a;
    RECT x;
    if (!emptyRect(*a) && !emptyRect(*b) && clipRect(*a, *b, &x)) {
        if (x.top == a->top && x.bottom == a->bottom) {
            if (x.left == a->left)
                r.left = x.right;
            else if (x.right == a->right)
                r.right = x.left;
        } else if (x.left == a->left && x.right == a->right) {
            if (x.top == a->top)
                r.top = x.bottom;
            else if (x.bottom == a->bottom)
                r.bottom = x.top;
        }
    }
    if (emptyRect(r)) {
        *d = RECT{0, 0, 0, 0};
        return FALSE;
    }
    *d = r;
    return TRUE;
}

CEAPI BOOL PtInRect(const RECT *r, POINT p) {
    return r && p.x >= r->left && p.x < r->right && p.y >= r->top && p.y < r->bottom;
}

CEAPI HRGN CreateRectRgn(int l, int t, int r, int b) {
    auto o = std::make_unique<Rgn>();
    o->region.add(normalized(l, t, r, b));
    return reinterpret_cast<HRGN>(state().add(std::move(o)));
}

CEAPI HRGN CreateRectRgnIndirect(const RECT *r) {
    if (!validRect(r))
        return nullptr;
    return CreateRectRgn(r->left, r->top, r->right, r->bottom);
}

CEAPI BOOL SetRectRgn(HRGN h, int l, int t, int r, int b) {
    Rgn *g = rgn(h);
    if (!g)
        return FALSE;
    g->region = Region(normalized(l, t, r, b));
    return TRUE;
}

CEAPI int CombineRgn(HRGN dest, HRGN a, HRGN b, int mode) {
    Rgn *d = rgn(dest), *x = rgn(a), *y = mode == RGN_COPY ? x : rgn(b);
    if (!d || !x || !y || mode < RGN_AND || mode > RGN_COPY)
        return ERROR;
    Region r = x->region;
    switch (mode) {
    case RGN_AND:
        r.intersect(y->region);
        break;
    case RGN_OR:
        r.unite(y->region);
        break;
    case RGN_XOR: {
        Region other = y->region;
        other.subtract(x->region);
        r.subtract(y->region);
        r.unite(other);
        break;
    }
    case RGN_DIFF:
        r.subtract(y->region);
        break;
    }
    d->region = std::move(r);
    return d->region.kind();
}

CEAPI int GetRgnBox(HRGN h, LPRECT r) {
    Rgn *g = rgn(h);
    if (!g || !validRect(r))
        return ERROR;
    *r = g->region.box();
    return g->region.kind();
}

CEAPI int OffsetRgn(HRGN h, int dx, int dy) {
    Rgn *g = rgn(h);
    if (!g)
        return ERROR;
    g->region.offset(dx, dy);
    return g->region.kind();
}

CEAPI BOOL PtInRegion(HRGN h, int x, int y) {
    Rgn *g = rgn(h);
    return g && g->region.contains(x, y);
}

CEAPI BOOL RectInRegion(HRGN h, const RECT *r) {
    Rgn *g = rgn(h);
    if (!g || !r)
        return FALSE;
    Region x = g->region;
    x.intersect(normalized(r->left, r->top, r->right, r->bottom));
    return !x.empty();
}

CEAPI BOOL EqualRgn(HRGN a, HRGN b) {
    Rgn *x = rgn(a), *y = rgn(b);
    return x && y && x->region.sameAs(y->region);
}

CEAPI int SelectClipRgn(HDC h, HRGN r) {
    Dc *dc = state().dc(h);
    if (!dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return ERROR;
    }
    if (!r) {
        dc->st.hasClip = false;
        dc->st.clip = Region();
    } else {
        Rgn *g = rgn(r);
        if (!g)
            return ERROR;
        // The DC keeps a copy: the region may be changed or deleted afterwards.
        dc->st.hasClip = true;
        dc->st.clip = g->region;
    }
    invalidateClip(*dc);
    return clipOf(*dc).kind();
}

CEAPI int GetClipRgn(HDC h, HRGN r) {
    Dc *dc = state().dc(h);
    Rgn *g = rgn(r);
    if (!dc || !g)
        return -1;
    if (!dc->st.hasClip)
        return 0;
    g->region = dc->st.clip;
    return 1;
}

namespace {

// The DC's clip as it is, or the whole of what it can draw on when it has none.
Region currentClip(const Dc &dc) {
    if (dc.st.hasClip)
        return dc.st.clip;
    Region r = dc.visible;
    r.offset(-dc.origin.x, -dc.origin.y);
    return r;
}

int changeClip(HDC h, int l, int t, int r, int b, bool exclude) {
    Dc *dc = state().dc(h);
    if (!dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return ERROR;
    }
    Region c = currentClip(*dc);
    RECT x = normalized(l, t, r, b);
    if (exclude)
        c.subtract(x);
    else
        c.intersect(x);
    dc->st.clip = std::move(c);
    dc->st.hasClip = true;
    invalidateClip(*dc);
    return clipOf(*dc).kind();
}

} // namespace

CEAPI int IntersectClipRect(HDC h, int l, int t, int r, int b) {
    return changeClip(h, l, t, r, b, false);
}

CEAPI int ExcludeClipRect(HDC h, int l, int t, int r, int b) {
    return changeClip(h, l, t, r, b, true);
}

CEAPI int GetClipBox(HDC h, LPRECT r) {
    Dc *dc = state().dc(h);
    if (!dc || !r) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return ERROR;
    }
    const Region &c = clipOf(*dc);
    *r = c.box();
    if (!c.empty())
        OffsetRect(r, -dc->origin.x, -dc->origin.y);
    return c.kind();
}

CEAPI BOOL FillRgn(HDC h, HRGN r, HBRUSH b) {
    Dc *dc = state().dc(h);
    Rgn *g = rgn(r);
    if (!dc || !g)
        return FALSE;
    Surface &s = surfaceOf(*dc);
    uint32_t v;
    if (!brushValue(b, s, &v))
        return !!state().getAs<Brush>(b, Kind::Brush);
    Region area = g->region;
    area.offset(dc->origin.x, dc->origin.y);
    area.intersect(clipOf(*dc));
    for (const RECT &x : area.rects)
        fillClipped(s, area, x, v, 0xF0);
    return TRUE;
}
