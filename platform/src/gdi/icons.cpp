// Icons from a module's resources (an icon group, RT_GROUP_ICON, naming its images, RT_ICON):
// LoadIconW, LoadImageW, DrawIconEx with the AND mask, CreateIconIndirect and GetIconInfo.
#include "gdi/gdi.h"

#include "resources/resources.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

using namespace emul;
using namespace emul::gdi;

namespace {

constexpr int kIconSize = 32; // the platform's standard icon (SM_CXICON, SM_CYICON)

uint16_t rd16(const uint8_t *p) {
    return uint16_t(p[0] | p[1] << 8);
}

// The group entry nearest the wanted size: an exact size first, then the most colours.
int pickImage(const ResourceEntry &group, int cx, int cy, uint16_t *id) {
    const uint8_t *p = group.data;
    if (group.size < 6 || rd16(p) != 0 || rd16(p + 2) != 1)
        return -1;
    int count = rd16(p + 4);
    if (count == 0 || 6 + size_t(count) * 14 > group.size)
        return -1;
    int best = -1;
    long bestScore = LONG_MAX;
    for (int i = 0; i < count; ++i) {
        const uint8_t *e = p + 6 + 14 * i;
        int w = e[0] ? e[0] : 256, h = e[1] ? e[1] : 256, bits = rd16(e + 6);
        // In 64 bits: any int size may be asked for.
        long score =
            (std::labs(long(w) - cx) + std::labs(long(h) - cy)) * 64L + (32 - std::min(bits, 32));
        if (score < bestScore) {
            bestScore = score;
            best = i;
            *id = rd16(e + 12);
        }
    }
    return best;
}

HICON makeIcon(const Dib &d) {
    auto icon = std::make_unique<Icon>();
    icon->width = d.width;
    icon->height = d.height;
    icon->color.allocate(d.width, d.height, 16);
    icon->mask.allocate(d.width, d.height, 1);
    // Images with an alpha channel hide their see-through pixels there as well; an alpha byte
    // that is zero everywhere is no channel.
    bool alpha = false;
    if (d.bpp == 32 && d.masks[0] == 0xFF0000)
        for (int y = 0; y < d.height && !alpha; ++y)
            for (int x = 0; x < d.width && !alpha; ++x)
                alpha = d.bits[size_t(y) * size_t(d.stride) + size_t(x) * 4 + 3] != 0;
    for (int y = 0; y < d.height; ++y) {
        const uint8_t *row = d.bits + size_t(d.height - 1 - y) * size_t(d.stride);
        for (int x = 0; x < d.width; ++x) {
            bool clear = dibMaskBit(d, x, y) || (alpha && row[x * 4 + 3] < 128);
            icon->color.set(x, y, clear ? 0 : icon->color.native(dibColor(d, x, y)));
            icon->mask.set(x, y, clear ? 1 : 0);
        }
    }
    return reinterpret_cast<HICON>(state().add(std::move(icon)));
}

HICON loadIcon(HINSTANCE inst, LPCWSTR name, int cx, int cy) {
    const ResourceEntry *group = findResource(inst, name, RT_GROUP_ICON);
    if (!group)
        return nullptr;
    uint16_t id = 0;
    if (pickImage(*group, cx, cy, &id) < 0) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    const ResourceEntry *image = findResource(inst, MAKEINTRESOURCEW(id), RT_ICON);
    if (!image)
        return nullptr;
    State &s = state();
    // One icon per image; its bytes tell it from another module's image at the same address.
    auto it = s.iconsByResource.find(image->data);
    if (it != s.iconsByResource.end() && s.get(reinterpret_cast<HGDIOBJ>(it->second))) {
        auto *known = s.getAs<Icon>(reinterpret_cast<HGDIOBJ>(it->second), Kind::Icon);
        if (known && known->source.size() == image->size &&
            std::memcmp(known->source.data(), image->data, image->size) == 0)
            return reinterpret_cast<HICON>(it->second);
    }
    Dib d;
    if (!parseDib(image->data, image->size, true, &d)) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    HICON h = makeIcon(d);
    auto *icon = s.getAs<Icon>(h, Kind::Icon);
    icon->shared = true;
    icon->source.assign(image->data, image->data + image->size);
    s.iconsByResource[image->data] = reinterpret_cast<uintptr_t>(h);
    return h;
}

} // namespace

CEAPI HICON LoadIconW(HINSTANCE inst, LPCWSTR name) {
    return loadIcon(inst, name, kIconSize, kIconSize);
}

CEAPI HANDLE LoadImageW(HINSTANCE inst, LPCWSTR name, UINT type, int cx, int cy, UINT flags) {
    if (flags & LR_LOADFROMFILE) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    if (type == IMAGE_BITMAP)
        return LoadBitmapW(inst, name);
    if (type != IMAGE_ICON) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (cx == 0)
        cx = kIconSize;
    if (cy == 0)
        cy = kIconSize;
    return loadIcon(inst, name, cx, cy);
}

CEAPI BOOL DestroyIcon(HICON h) {
    State &s = state();
    Icon *icon = s.getAs<Icon>(h, Kind::Icon);
    if (!icon) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    // Icons loaded from resources are shared with everyone who loads them.
    if (!icon->shared)
        s.destroy(reinterpret_cast<uintptr_t>(h));
    return TRUE;
}

CEAPI BOOL DrawIconEx(HDC h, int x, int y, HICON hi, int cx, int cy, UINT, HBRUSH flicker,
                      UINT flags) {
    State &s = state();
    Dc *dc = s.dc(h);
    Icon *icon = s.getAs<Icon>(hi, Kind::Icon);
    if (!dc || !icon) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (cx == 0)
        cx = (flags & DI_DEFAULTSIZE) ? kIconSize : icon->width;
    if (cy == 0)
        cy = (flags & DI_DEFAULTSIZE) ? kIconSize : icon->height;
    if (cx <= 0 || cy <= 0)
        return TRUE;
    RECT area = toDevice(*dc, normalizedSpan(x, y, cx, cy));
    Surface &ds = surfaceOf(*dc);
    if (flicker) {
        uint32_t v;
        if (brushValue(flicker, ds, &v))
            fillClipped(ds, clipOf(*dc), area, v, 0xF0);
    }
    bool useMask = flags & DI_MASK, useImage = flags & DI_IMAGE;
    if (!useMask && !useImage)
        return TRUE;
    Surface color = icon->color;
    if (ds.bpp != 16) {
        Surface c;
        c.allocate(icon->width, icon->height, ds.bpp);
        for (int yy = 0; yy < icon->height; ++yy)
            for (int xx = 0; xx < icon->width; ++xx)
                c.set(xx, yy, c.native(icon->color.color(icon->color.get(xx, yy))));
        color = std::move(c);
    }
    RECT bounds{0, 0, ds.width, ds.height}, r;
    uint32_t all = ds.mask();
    for (const RECT &c : clipOf(*dc).rects) {
        if (!clipRect(c, area, &r) || !clipRect(r, bounds, &r))
            continue;
        s.noteDrawn(ds, r);
        for (int yy = r.top; yy < r.bottom; ++yy) {
            int sy = int(int64_t(yy - area.top) * icon->height / cy);
            for (int xx = r.left; xx < r.right; ++xx) {
                int sx = int(int64_t(xx - area.left) * icon->width / cx);
                uint32_t d = ds.get(xx, yy);
                // The screen is kept where the mask is set, then the image is laid over it.
                if (useMask)
                    d &= icon->mask.get(sx, sy) ? all : 0;
                if (useImage)
                    d = useMask ? (d ^ color.get(sx, sy)) : color.get(sx, sy);
                ds.set(xx, yy, d & all);
            }
        }
    }
    return TRUE;
}

CEAPI HICON CreateIconIndirect(PICONINFO info) {
    State &s = state();
    Bitmap *mask = info ? s.getAs<Bitmap>(info->hbmMask, Kind::Bitmap) : nullptr;
    Bitmap *color =
        info && info->hbmColor ? s.getAs<Bitmap>(info->hbmColor, Kind::Bitmap) : nullptr;
    if (!mask || (info->hbmColor && !color)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // Without a colour bitmap the mask is twice as high: the AND mask over the XOR image.
    int w = mask->surface.width, hgt = color ? mask->surface.height : mask->surface.height / 2;
    if (hgt <= 0 || (color && (color->surface.width != w || color->surface.height != hgt))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto icon = std::make_unique<Icon>();
    icon->width = w;
    icon->height = hgt;
    icon->color.allocate(w, hgt, 16);
    icon->mask.allocate(w, hgt, 1);
    for (int y = 0; y < hgt; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t m = mask->surface.get(x, y) & 1;
            icon->mask.set(x, y, mask->surface.bpp == 1 ? m : (mask->surface.get(x, y) ? 1 : 0));
            COLORREF c = color ? color->surface.color(color->surface.get(x, y))
                               : mask->surface.color(mask->surface.get(x, y + hgt));
            icon->color.set(x, y, icon->color.native(c));
        }
    return reinterpret_cast<HICON>(s.add(std::move(icon)));
}

CEAPI BOOL GetIconInfo(HICON h, PICONINFO info) {
    State &s = state();
    Icon *icon = s.getAs<Icon>(h, Kind::Icon);
    if (!icon || !info) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    // The caller owns copies of the two bitmaps.
    auto mask = std::make_unique<Bitmap>();
    mask->surface = icon->mask;
    auto color = std::make_unique<Bitmap>();
    color->surface = icon->color;
    info->fIcon = TRUE;
    info->xHotspot = DWORD(icon->width / 2);
    info->yHotspot = DWORD(icon->height / 2);
    info->hbmMask = reinterpret_cast<HBITMAP>(s.add(std::move(mask)));
    info->hbmColor = reinterpret_cast<HBITMAP>(s.add(std::move(color)));
    return TRUE;
}
