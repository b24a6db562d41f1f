// BitBlt and StretchBlt: a source DC's pixels onto a destination through a raster operation,
// with the colour conversions between formats that the platform makes.
#include "gdi/gdi.h"

#include <algorithm>
#include <cstring>

using namespace emul::gdi;

namespace {

bool usesSource(uint8_t code) {
    return ((code >> 2) & 0x33) != (code & 0x33);
}

// Source values as the destination stores them. A monochrome source becomes the destination's
// text colour (0) and background colour (1); a colour source becomes monochrome by its match
// with the source DC's background colour.
struct Converter {
    const Surface &src, &dst;
    uint32_t mono0 = 0, mono1 = 0, srcBk = 0;
    Converter(const Surface &s, Dc &sdc, const Surface &d, Dc &ddc) : src(s), dst(d) {
        mono0 = d.native(ddc.st.text);
        mono1 = d.native(ddc.st.bk);
        srcBk = s.native(sdc.st.bk);
    }
    uint32_t operator()(uint32_t v) const {
        if (src.bpp == dst.bpp)
            return v;
        if (src.bpp == 1)
            return v ? mono1 : mono0;
        if (dst.bpp == 1)
            return v == srcBk ? 1u : 0u;
        return dst.native(src.color(v));
    }
};

struct Blit {
    RECT dst;              // destination, device coordinates, ordered
    int sx, sy, sw, sh;    // source origin and size, device coordinates (sizes may be negative)
    bool mirrorX, mirrorY; // from the signs of the sizes
};

int sourceCoord(int d, int d0, int dlen, int s0, int slen, bool mirror) {
    // The source pixel under the middle of destination pixel d.
    int64_t off = (int64_t(d - d0) * 2 + 1) * slen / (int64_t(dlen) * 2);
    return mirror ? s0 + slen - 1 - int(off) : s0 + int(off);
}

void run(Surface &ds, const Region &clip, const Blit &b, const Surface *ss, const Converter *cv,
         uint32_t pattern, uint8_t code) {
    RECT bounds{0, 0, ds.width, ds.height}, x;
    int dw = b.dst.right - b.dst.left, dh = b.dst.bottom - b.dst.top;
    bool same = ss && b.sw == dw && b.sh == dh && !b.mirrorX && !b.mirrorY;
    uint32_t mask = ds.mask();
    for (const RECT &c : clip.rects) {
        if (!clipRect(c, b.dst, &x) || !clipRect(x, bounds, &x))
            continue;
        if (same && code == 0xCC && ss->bpp == 16 && ds.bpp == 16) {
            // Plain copies of the screen's format: whole rows, within the source's bounds.
            RECT src{x.left - b.dst.left + b.sx, x.top - b.dst.top + b.sy, 0, 0};
            src.right = src.left + (x.right - x.left);
            src.bottom = src.top + (x.bottom - x.top);
            RECT sv;
            if (!clipRect(src, RECT{0, 0, ss->width, ss->height}, &sv))
                continue;
            RECT dv{x.left + sv.left - src.left, x.top + sv.top - src.top, 0, 0};
            dv.right = dv.left + (sv.right - sv.left);
            dv.bottom = dv.top + (sv.bottom - sv.top);
            for (int y = 0; y < sv.bottom - sv.top; ++y)
                std::memmove(ds.row(dv.top + y) + dv.left * 2, ss->row(sv.top + y) + sv.left * 2,
                             size_t(sv.right - sv.left) * 2);
            state().noteDrawn(ds, dv);
            continue;
        }
        state().noteDrawn(ds, x);
        for (int y = x.top; y < x.bottom; ++y) {
            int sy = ss ? sourceCoord(y, b.dst.top, dh, b.sy, std::abs(b.sh), b.mirrorY) : 0;
            if (ss && (sy < 0 || sy >= ss->height))
                continue;
            for (int xx = x.left; xx < x.right; ++xx) {
                uint32_t s = 0;
                if (ss) {
                    int sx = sourceCoord(xx, b.dst.left, dw, b.sx, std::abs(b.sw), b.mirrorX);
                    if (sx < 0 || sx >= ss->width)
                        continue;
                    s = (*cv)(ss->get(sx, sy));
                }
                ds.set(xx, y, rop3(code, pattern, s, ds.get(xx, y)) & mask);
            }
        }
    }
}

BOOL stretch(HDC hd, int dx, int dy, int dw, int dh, HDC hs, int sx, int sy, int sw, int sh,
             DWORD rop) {
    State &st = state();
    Dc *d = st.dc(hd);
    uint8_t code = uint8_t(rop >> 16);
    bool needSrc = usesSource(code);
    Dc *s = needSrc ? st.dc(hs) : nullptr;
    if (!d || (needSrc && !s)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (dw == 0 || dh == 0 || (needSrc && (sw == 0 || sh == 0)))
        return TRUE;
    Surface &ds = surfaceOf(*d);
    uint32_t pattern = 0;
    brushValue(reinterpret_cast<HBRUSH>(d->st.brush), ds, &pattern);
    // Negative sizes mirror; the destination is kept ordered and the mirroring remembered.
    RECT dst = toDevice(*d, normalizedSpan(dx, dy, dw, dh));
    Blit b{dst, 0, 0, 0, 0, false, false};
    if (!needSrc) {
        run(ds, clipOf(*d), b, nullptr, nullptr, pattern, code);
        return TRUE;
    }
    b.mirrorX = (dw < 0) != (sw < 0);
    b.mirrorY = (dh < 0) != (sh < 0);
    RECT src = toDevice(*s, normalizedSpan(sx, sy, sw, sh));
    b.sx = src.left;
    b.sy = src.top;
    b.sw = src.right - src.left;
    b.sh = src.bottom - src.top;
    Surface &ssRef = surfaceOf(*s);
    Converter cv(ssRef, *s, ds, *d);
    if (&ssRef == &ds) {
        // Overlapping copies within one surface read from a snapshot.
        Surface copy = ssRef;
        if (copy.own.empty()) {
            copy.allocate(ssRef.width, ssRef.height, ssRef.bpp);
            for (int y = 0; y < ssRef.height; ++y)
                std::memcpy(copy.row(y), ssRef.row(y), size_t(std::abs(ssRef.stride)));
        }
        run(ds, clipOf(*d), b, &copy, &cv, pattern, code);
        return TRUE;
    }
    run(ds, clipOf(*d), b, &ssRef, &cv, pattern, code);
    return TRUE;
}

} // namespace

CEAPI BOOL BitBlt(HDC hd, int x, int y, int w, int h, HDC hs, int sx, int sy, DWORD rop) {
    return stretch(hd, x, y, w, h, hs, sx, sy, w, h, rop);
}

CEAPI BOOL StretchBlt(HDC hd, int x, int y, int w, int h, HDC hs, int sx, int sy, int sw, int sh,
                      DWORD rop) {
    return stretch(hd, x, y, w, h, hs, sx, sy, sw, sh, rop);
}
