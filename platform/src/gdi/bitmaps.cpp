// Bitmaps: CreateBitmap, CreateCompatibleBitmap, CreateDIBSection, and LoadBitmapW from a
// module's resources, whose headers are checked before a byte of their pixels is read.
#include "gdi/gdi.h"

#include "resources/resources.h"

#include <cstring>

namespace emul::gdi {

namespace {

uint32_t rd32(const uint8_t *p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t rd16(const uint8_t *p) {
    return uint16_t(p[0] | p[1] << 8);
}

} // namespace

bool parseDib(const uint8_t *p, size_t size, bool icon, Dib *out) {
    if (!p || size < 40)
        return false;
    uint32_t headerSize = rd32(p);
    if (headerSize < 40 || headerSize > size)
        return false;
    int32_t w = int32_t(rd32(p + 4)), h = int32_t(rd32(p + 8));
    uint16_t planes = rd16(p + 12), bpp = rd16(p + 14);
    uint32_t compression = rd32(p + 16), used = rd32(p + 32);
    if (planes != 1 || w <= 0 || h == 0 || h == INT32_MIN)
        return false;
    Dib d;
    d.bottomUp = h > 0;
    int rows = h > 0 ? h : -h;
    if (icon) {
        if (!d.bottomUp || rows % 2)
            return false;
        rows /= 2;
    }
    if (w > kMaxBitmapSide || rows > kMaxBitmapSide)
        return false;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        return false;
    size_t at = headerSize;
    if (compression == BI_BITFIELDS && (bpp == 16 || bpp == 32)) {
        // The masks follow a plain header; a longer header carries them inside.
        size_t m = headerSize == 40 ? at : 40;
        if (m + 12 > size)
            return false;
        for (int i = 0; i < 3; ++i)
            d.masks[i] = rd32(p + m + 4 * size_t(i));
        if (headerSize == 40)
            at += 12;
    } else if (compression != BI_RGB) {
        return false;
    } else if (bpp == 16) {
        d.masks[0] = 0x7C00, d.masks[1] = 0x03E0, d.masks[2] = 0x001F;
    } else if (bpp >= 24) {
        d.masks[0] = 0xFF0000, d.masks[1] = 0xFF00, d.masks[2] = 0xFF;
    }
    if (bpp <= 8) {
        uint32_t most = 1u << bpp;
        if (used > most)
            return false;
        d.colorCount = int(used ? used : most);
        if (at + size_t(d.colorCount) * 4 > size)
            return false;
        d.colors = p + at;
        at += size_t(d.colorCount) * 4;
    }
    d.width = w;
    d.height = rows;
    d.bpp = bpp;
    d.stride = ((w * bpp + 31) / 32) * 4;
    if (size - at < size_t(d.stride) * size_t(rows))
        return false;
    d.bits = p + at;
    at += size_t(d.stride) * size_t(rows);
    if (icon) {
        d.andStride = ((w + 31) / 32) * 4;
        if (size - at < size_t(d.andStride) * size_t(rows))
            return false;
        d.andMask = p + at;
    }
    *out = d;
    return true;
}

namespace {

uint32_t field(uint32_t v, uint32_t mask) {
    if (!mask)
        return 0;
    int shift = 0;
    while (!((mask >> shift) & 1))
        ++shift;
    uint32_t m = mask >> shift, x = (v & mask) >> shift;
    return m ? x * 255 / m : 0;
}

} // namespace

COLORREF dibColor(const Dib &d, int x, int y) {
    const uint8_t *row = d.bits + size_t(d.bottomUp ? d.height - 1 - y : y) * size_t(d.stride);
    uint32_t v;
    switch (d.bpp) {
    case 1:
        v = (row[x >> 3] >> (7 - (x & 7))) & 1;
        break;
    case 4:
        v = (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
        break;
    case 8:
        v = row[x];
        break;
    case 16:
        v = rd16(row + x * 2);
        return RGB(field(v, d.masks[0]), field(v, d.masks[1]), field(v, d.masks[2]));
    case 24:
        return RGB(row[x * 3 + 2], row[x * 3 + 1], row[x * 3]);
    default:
        v = rd32(row + x * 4);
        return RGB(field(v, d.masks[0]), field(v, d.masks[1]), field(v, d.masks[2]));
    }
    if (int(v) >= d.colorCount)
        return RGB(0, 0, 0);
    const uint8_t *q = d.colors + v * 4;
    return RGB(q[2], q[1], q[0]);
}

bool dibMaskBit(const Dib &d, int x, int y) {
    if (!d.andMask)
        return false;
    const uint8_t *row = d.andMask + size_t(d.height - 1 - y) * size_t(d.andStride);
    return (row[x >> 3] >> (7 - (x & 7))) & 1;
}

} // namespace emul::gdi

using namespace emul;
using namespace emul::gdi;

namespace {

HBITMAP newBitmap(int w, int h, int bpp, bool dib = false, bool bottomUp = false) {
    if (w <= 0 || h <= 0 || w > kMaxBitmapSide || h > kMaxBitmapSide) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto b = std::make_unique<Bitmap>();
    b->surface.allocate(w, h, bpp, bottomUp);
    b->dib = dib;
    return reinterpret_cast<HBITMAP>(state().add(std::move(b)));
}

} // namespace

CEAPI HBITMAP CreateBitmap(int w, int h, UINT planes, UINT bpp, const void *bits) {
    if (planes != 1 || (bpp != 1 && bpp != 16 && bpp != 24 && bpp != 32)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HBITMAP hb = newBitmap(w, h, int(bpp));
    if (!hb || !bits)
        return hb;
    // The caller's rows are aligned on 16 bits.
    Surface &s = state().getAs<Bitmap>(hb, Kind::Bitmap)->surface;
    size_t in = ((size_t(w) * bpp + 15) / 16) * 2;
    auto *src = static_cast<const uint8_t *>(bits);
    for (int y = 0; y < h; ++y)
        std::memcpy(s.row(y), src + in * size_t(y), std::min(in, size_t(s.stride)));
    return hb;
}

CEAPI HBITMAP CreateCompatibleBitmap(HDC h, int w, int hgt) {
    Dc *dc = state().dc(h);
    if (!dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (w == 0 || hgt == 0)
        return reinterpret_cast<HBITMAP>(state().stock[9]);
    int bpp = surfaceOf(*dc).bpp;
    return newBitmap(w, hgt, bpp == 1 ? 1 : 16);
}

CEAPI HBITMAP CreateDIBSection(HDC, const BITMAPINFO *bmi, UINT usage, void **bits, HANDLE section,
                               DWORD) {
    if (bits)
        *bits = nullptr;
    if (!bmi || usage != DIB_RGB_COLORS || section) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const BITMAPINFOHEADER &bh = bmi->bmiHeader;
    int bpp = bh.biBitCount;
    bool ok = bh.biSize >= sizeof(BITMAPINFOHEADER) && bh.biPlanes == 1 &&
              (bpp == 1 || bpp == 16 || bpp == 24 || bpp == 32);
    // Sixteen bits a pixel is the screen's 5-6-5 layout, given by its masks.
    if (ok && bpp == 16) {
        auto *m = reinterpret_cast<const DWORD *>(bmi->bmiColors);
        ok = bh.biCompression == BI_BITFIELDS && m[0] == 0xF800 && m[1] == 0x07E0 && m[2] == 0x001F;
    } else if (ok) {
        ok = bh.biCompression == BI_RGB;
    }
    if (!ok || bh.biHeight == 0 || bh.biHeight == INT32_MIN) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    bool bottomUp = bh.biHeight > 0;
    HBITMAP hb = newBitmap(bh.biWidth, bottomUp ? bh.biHeight : -bh.biHeight, bpp, true, bottomUp);
    if (hb && bits)
        *bits = state().getAs<Bitmap>(hb, Kind::Bitmap)->surface.own.data();
    return hb;
}

CEAPI HBITMAP LoadBitmapW(HINSTANCE inst, LPCWSTR name) {
    const ResourceEntry *e = findResource(inst, name, RT_BITMAP);
    if (!e)
        return nullptr;
    Dib d;
    if (!parseDib(e->data, e->size, false, &d)) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    // Two-colour bitmaps stay monochrome; everything else takes the screen's format.
    bool mono = d.bpp == 1;
    HBITMAP hb = newBitmap(d.width, d.height, mono ? 1 : 16);
    if (!hb)
        return nullptr;
    Surface &s = state().getAs<Bitmap>(hb, Kind::Bitmap)->surface;
    for (int y = 0; y < d.height; ++y)
        for (int x = 0; x < d.width; ++x)
            s.set(x, y, s.native(dibColor(d, x, y)));
    return hb;
}
