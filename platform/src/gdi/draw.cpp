// Drawing primitives: raster operations, FillRect, PatBlt, lines and shapes with the DC's pen
// and brush, SetPixel and GetPixel. Everything is clipped first, then drawn by plain loops.
#include "gdi/gdi.h"

#include <algorithm>
#include <cstdlib>

namespace emul::gdi {

uint32_t rop3(uint8_t rop, uint32_t p, uint32_t s, uint32_t d) {
    switch (rop) {
    case 0x00:
        return 0;
    case 0xFF:
        return ~0u;
    case 0xCC:
        return s;
    case 0xF0:
        return p;
    case 0xAA:
        return d;
    case 0x55:
        return ~d;
    case 0x33:
        return ~s;
    case 0x66:
        return s ^ d;
    case 0x88:
        return s & d;
    case 0xEE:
        return s | d;
    case 0x44:
        return s & ~d;
    case 0x11:
        return ~(s | d);
    case 0xC0:
        return p & s;
    case 0xBB:
        return ~s | d;
    case 0x5A:
        return p ^ d;
    case 0xFB:
        return p | ~s | d;
    }
    // Any other operation from its truth table: bit (P << 2 | S << 1 | D) of the code.
    uint32_t r = 0;
    for (int i = 0; i < 8; ++i)
        if (rop & (1 << i))
            r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
    return r;
}

void fillClipped(Surface &s, const Region &clip, const RECT &r, uint32_t p, uint8_t rop) {
    RECT bounds{0, 0, s.width, s.height}, x;
    uint32_t mask = s.mask();
    for (const RECT &c : clip.rects) {
        if (!clipRect(c, r, &x) || !clipRect(x, bounds, &x))
            continue;
        state().noteDrawn(s, x);
        if (rop == 0xF0 && s.bpp == 16) {
            for (int y = x.top; y < x.bottom; ++y) {
                auto *row = reinterpret_cast<uint16_t *>(s.row(y));
                std::fill(row + x.left, row + x.right, uint16_t(p));
            }
            continue;
        }
        for (int y = x.top; y < x.bottom; ++y)
            for (int xx = x.left; xx < x.right; ++xx)
                s.set(xx, y, rop3(rop, p, 0, s.get(xx, y)) & mask);
    }
}

namespace {

// A binary raster operation of the pen (P) and destination (D) as the ternary one.
uint8_t rop3OfRop2(int r2) {
    int table = r2 - 1;
    uint8_t rop = 0;
    for (int i = 0; i < 8; ++i) {
        int p = (i >> 2) & 1, d = i & 1;
        if (table & (1 << (p * 2 + d)))
            rop = uint8_t(rop | (1 << i));
    }
    return rop;
}

struct PenInk {
    bool none = true;
    uint32_t value = 0;
    uint8_t rop = 0xF0;
    int width = 1;
    bool dashed = false;
};

PenInk penOf(Dc &dc) {
    PenInk ink;
    Pen *p = state().getAs<Pen>(reinterpret_cast<HGDIOBJ>(dc.st.pen), Kind::Pen);
    if (!p || p->style == PS_NULL)
        return ink;
    ink.none = false;
    ink.value = surfaceOf(dc).native(p->color);
    ink.rop = rop3OfRop2(dc.st.rop2);
    ink.width = p->width;
    ink.dashed = p->style == PS_DASH;
    return ink;
}

void plot(Surface &s, const Region &clip, int x, int y, const PenInk &ink) {
    if (ink.width > 1) {
        int a = (ink.width - 1) / 2;
        fillClipped(s, clip, RECT{x - a, y - a, x - a + ink.width, y - a + ink.width}, ink.value,
                    ink.rop);
        return;
    }
    if (x < 0 || y < 0 || x >= s.width || y >= s.height || !clip.contains(x, y))
        return;
    s.set(x, y, rop3(ink.rop, ink.value, 0, s.get(x, y)) & s.mask());
    state().noteDrawn(s, RECT{x, y, x + 1, y + 1});
}

} // namespace

void drawLine(Dc &dc, int x0, int y0, int x1, int y1) {
    PenInk ink = penOf(dc);
    if (ink.none)
        return;
    Surface &s = surfaceOf(dc);
    const Region &clip = clipOf(dc);
    // Straight solid lines are rectangles.
    if (!ink.dashed && (x0 == x1 || y0 == y1)) {
        int a = (ink.width - 1) / 2;
        RECT r = y0 == y1 ? normalized(std::min(x0, x1 + 1), y0, std::max(x0 + 1, x1), y0 + 1)
                          : normalized(x0, std::min(y0, y1 + 1), x0 + 1, std::max(y0 + 1, y1));
        if (x0 == x1 && y0 == y1)
            return;
        if (y0 == y1) {
            r.top -= a;
            r.bottom = r.top + ink.width;
        } else {
            r.left -= a;
            r.right = r.left + ink.width;
        }
        fillClipped(s, clip, r, ink.value, ink.rop);
        return;
    }
    // Bresenham, without the end point. Points are kept within 2^20 of the surface, so even a
    // line that starts far off it reaches it; it ends once it has passed the surface for good.
    int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1, err = dx + dy;
    auto gone = [&](int x, int y) {
        return (sx > 0 ? x >= s.width : x < 0) || (sy > 0 ? y >= s.height : y < 0);
    };
    // A straight dashed line far off the surface starts where it reaches it, its dashes in step.
    int n = 0;
    if (dy == 0 && (sx > 0 ? x0 < 0 : x0 >= s.width))
        n = std::min(dx, sx > 0 ? -x0 : x0 - s.width + 1);
    else if (dx == 0 && (sy > 0 ? y0 < 0 : y0 >= s.height))
        n = std::min(-dy, sy > 0 ? -y0 : y0 - s.height + 1);
    x0 += dx == 0 ? 0 : sx * n;
    y0 += dy == 0 ? 0 : sy * n;
    for (; !(x0 == x1 && y0 == y1) && !gone(x0, y0); ++n) {
        if (!ink.dashed || (n % 8) < 6)
            plot(s, clip, x0, y0, ink);
        int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

} // namespace emul::gdi

using namespace emul::gdi;

namespace {

// Lines are drawn from logical points far beyond the surface without overflowing.
int keep(LONG v) {
    return std::clamp<LONG>(v, -(1 << 20), 1 << 20);
}

void fillWithBrush(Dc &dc, HBRUSH b, const RECT &logical) {
    Surface &s = surfaceOf(dc);
    uint32_t v;
    if (brushValue(b, s, &v))
        fillClipped(s, clipOf(dc), toDevice(dc, logical), v, 0xF0);
}

} // namespace

CEAPI int FillRect(HDC h, const RECT *r, HBRUSH b) {
    Dc *dc = needDc(h);
    if (!dc || !r)
        return 0;
    RECT x = normalized(r->left, r->top, r->right, r->bottom);
    if (r->right < r->left || r->bottom < r->top)
        return 1; // an inside-out rectangle has nothing in it
    fillWithBrush(*dc, b, x);
    return 1;
}

CEAPI BOOL PatBlt(HDC h, int x, int y, int w, int hgt, DWORD rop) {
    Dc *dc = needDc(h);
    if (!dc)
        return FALSE;
    uint8_t code = uint8_t(rop >> 16);
    // Only operations of the pattern and the destination: a source needs BitBlt.
    if (((code >> 2) & 0x33) != (code & 0x33)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Surface &s = surfaceOf(*dc);
    uint32_t p = 0;
    if (!brushValue(reinterpret_cast<HBRUSH>(dc->st.brush), s, &p) && code != 0x00 &&
        code != 0xFF && code != 0x55 && code != 0xAA)
        return TRUE; // a null brush paints nothing
    RECT r = normalizedSpan(x, y, w, hgt);
    fillClipped(s, clipOf(*dc), toDevice(*dc, r), p, code);
    return TRUE;
}

CEAPI BOOL MoveToEx(HDC h, int x, int y, LPPOINT old) {
    Dc *dc = needDc(h);
    if (!dc)
        return FALSE;
    if (old)
        *old = dc->st.cur;
    dc->st.cur = POINT{keep(x), keep(y)};
    return TRUE;
}

CEAPI BOOL LineTo(HDC h, int x, int y) {
    Dc *dc = needDc(h);
    if (!dc)
        return FALSE;
    POINT to{keep(x), keep(y)};
    drawLine(*dc, dc->st.cur.x + dc->origin.x, dc->st.cur.y + dc->origin.y, to.x + dc->origin.x,
             to.y + dc->origin.y);
    dc->st.cur = to;
    return TRUE;
}

CEAPI BOOL Polyline(HDC h, const POINT *pts, int n) {
    Dc *dc = needDc(h);
    if (!dc || !pts || n < 2) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    for (int i = 1; i < n; ++i)
        drawLine(*dc, keep(pts[i - 1].x) + dc->origin.x, keep(pts[i - 1].y) + dc->origin.y,
                 keep(pts[i].x) + dc->origin.x, keep(pts[i].y) + dc->origin.y);
    return TRUE;
}

CEAPI BOOL Polygon(HDC h, const POINT *pts, int n) {
    Dc *dc = needDc(h);
    if (!dc || !pts || n < 2) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Surface &s = surfaceOf(*dc);
    uint32_t v;
    if (brushValue(reinterpret_cast<HBRUSH>(dc->st.brush), s, &v)) {
        // Alternate fill: spans between pairs of edge crossings at each row's middle.
        LONG top = pts[0].y, bottom = pts[0].y;
        for (int i = 1; i < n; ++i) {
            top = std::min(top, pts[i].y);
            bottom = std::max(bottom, pts[i].y);
        }
        top = std::max<LONG>(keep(top), -dc->origin.y);
        bottom = std::min<LONG>(keep(bottom), s.height - dc->origin.y);
        std::vector<double> xs;
        for (LONG y = top; y < bottom; ++y) {
            xs.clear();
            double yc = y + 0.5;
            for (int i = 0; i < n; ++i) {
                const POINT &a = pts[i], &b = pts[(i + 1) % n];
                // In doubles, kept within reach of the surface: points may lie at the ends of int.
                if ((a.y <= yc) != (b.y <= yc))
                    xs.push_back(
                        std::clamp(a.x + (yc - a.y) * (double(b.x) - a.x) / (double(b.y) - a.y),
                                   -double(1 << 27), double(1 << 27)));
            }
            std::sort(xs.begin(), xs.end());
            for (size_t i = 0; i + 1 < xs.size(); i += 2) {
                RECT span = normalized(LONG(xs[i] + 0.5), y, LONG(xs[i + 1] + 0.5), y + 1);
                fillClipped(s, clipOf(*dc), toDevice(*dc, span), v, 0xF0);
            }
        }
    }
    for (int i = 0; i < n; ++i) {
        const POINT &a = pts[i], &b = pts[(i + 1) % n];
        drawLine(*dc, keep(a.x) + dc->origin.x, keep(a.y) + dc->origin.y, keep(b.x) + dc->origin.x,
                 keep(b.y) + dc->origin.y);
    }
    return TRUE;
}

CEAPI BOOL Rectangle(HDC h, int l, int t, int r, int b) {
    Dc *dc = needDc(h);
    if (!dc)
        return FALSE;
    RECT x = normalized(l, t, r, b);
    Pen *pen = state().getAs<Pen>(reinterpret_cast<HGDIOBJ>(dc->st.pen), Kind::Pen);
    bool outline = pen && pen->style != PS_NULL;
    // Without a pen the filled area is the rectangle less its right column and bottom row.
    RECT inner = outline ? RECT{x.left + 1, x.top + 1, x.right - 1, x.bottom - 1}
                         : RECT{x.left, x.top, x.right - 1, x.bottom - 1};
    if (!emptyRect(inner))
        fillWithBrush(*dc, reinterpret_cast<HBRUSH>(dc->st.brush), inner);
    if (!outline || emptyRect(x))
        return TRUE;
    RECT d = toDevice(*dc, x);
    drawLine(*dc, d.left, d.top, d.right, d.top);
    drawLine(*dc, d.left, d.bottom - 1, d.right, d.bottom - 1);
    drawLine(*dc, d.left, d.top, d.left, d.bottom);
    drawLine(*dc, d.right - 1, d.top, d.right - 1, d.bottom);
    return TRUE;
}

CEAPI BOOL DrawFocusRect(HDC h, const RECT *r) {
    Dc *dc = needDc(h);
    if (!dc || !r)
        return FALSE;
    // Every other pixel of the outline inverted, so a second call takes it away.
    Surface &s = surfaceOf(*dc);
    const Region &clip = clipOf(*dc);
    RECT d = toDevice(*dc, normalized(r->left, r->top, r->right, r->bottom));
    RECT bounds{0, 0, s.width, s.height};
    RECT vis;
    if (!clipRect(RECT{d.left, d.top, d.right, d.bottom}, bounds, &vis))
        return TRUE;
    auto invert = [&](int x, int y) {
        if (x >= vis.left && x < vis.right && y >= vis.top && y < vis.bottom && clip.contains(x, y))
            s.set(x, y, ~s.get(x, y) & s.mask());
    };
    for (int x = vis.left; x < vis.right; ++x)
        if (((x - d.left) & 1) == 0) {
            invert(x, d.top);
            if (d.bottom - 1 > d.top)
                invert(x, d.bottom - 1);
        }
    for (int y = std::max(vis.top, d.top + 1); y < std::min(vis.bottom, d.bottom - 1); ++y)
        if (((y - d.top) & 1) == 0) {
            invert(d.left, y);
            if (d.right - 1 > d.left)
                invert(d.right - 1, y);
        }
    state().noteDrawn(s, vis);
    return TRUE;
}

CEAPI COLORREF SetPixel(HDC h, int x, int y, COLORREF c) {
    Dc *dc = needDc(h);
    if (!dc)
        return CLR_INVALID;
    Surface &s = surfaceOf(*dc);
    int dx = keep(x) + dc->origin.x, dy = keep(y) + dc->origin.y;
    if (dx < 0 || dy < 0 || dx >= s.width || dy >= s.height || !clipOf(*dc).contains(dx, dy))
        return CLR_INVALID;
    uint32_t v = s.native(c);
    s.set(dx, dy, v);
    state().noteDrawn(s, RECT{dx, dy, dx + 1, dy + 1});
    return s.color(v);
}

CEAPI COLORREF GetPixel(HDC h, int x, int y) {
    Dc *dc = needDc(h);
    if (!dc)
        return CLR_INVALID;
    Surface &s = surfaceOf(*dc);
    int dx = keep(x) + dc->origin.x, dy = keep(y) + dc->origin.y;
    if (dx < 0 || dy < 0 || dx >= s.width || dy >= s.height || !clipOf(*dc).contains(dx, dy))
        return CLR_INVALID;
    return s.color(s.get(dx, dy));
}
