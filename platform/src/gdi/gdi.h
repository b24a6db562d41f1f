// Inside the graphics layer: surfaces, regions, drawing objects, device contexts and the
// per-device state behind the GDI calls. Shared by gdi/ sources only.
#pragma once

#include <windows.h>

#include "emul/graphics.h"
#include "emul/kernel.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace emul::gdi {

// Pixels of one format in rows of `stride` bytes, top row first. Formats: 1 bit (0 black,
// 1 white), 16 bits RGB565, 24 bits B,G,R bytes, 32 bits B,G,R,0 bytes.
struct Surface {
    int width = 0, height = 0, bpp = 16, stride = 0;
    uint8_t *bits = nullptr;
    std::vector<uint8_t> own; // the pixels, unless they live elsewhere (the frame buffer)

    Surface() = default;
    Surface(Surface &&) = default;
    Surface &operator=(Surface &&) = default;
    // A copy owns its pixels when the original did.
    Surface(const Surface &o) { *this = o; }
    Surface &operator=(const Surface &o) {
        if (this == &o)
            return *this;
        width = o.width, height = o.height, bpp = o.bpp, stride = o.stride;
        own = o.own;
        bits = o.own.empty() ? o.bits : own.data() + (o.bits - o.own.data());
        return *this;
    }

    // Rows of a bottom-up surface (a DIB section's) run backwards in memory.
    void allocate(int w, int h, int bitsPerPixel, bool bottomUp = false);
    uint8_t *row(int y) const { return bits + ptrdiff_t(y) * stride; }
    uint32_t mask() const { return bpp == 1 ? 1u : bpp == 16 ? 0xFFFFu : 0xFFFFFFu; }
    uint32_t get(int x, int y) const {
        const uint8_t *row = this->row(y);
        switch (bpp) {
        case 1:
            return (row[x >> 3] >> (7 - (x & 7))) & 1u;
        case 16:
            return reinterpret_cast<const uint16_t *>(row)[x];
        case 24:
            return uint32_t(row[x * 3]) | uint32_t(row[x * 3 + 1]) << 8 |
                   uint32_t(row[x * 3 + 2]) << 16;
        default:
            return reinterpret_cast<const uint32_t *>(row)[x] & 0xFFFFFFu;
        }
    }
    void set(int x, int y, uint32_t v) {
        uint8_t *row = this->row(y);
        switch (bpp) {
        case 1: {
            uint8_t m = uint8_t(0x80 >> (x & 7));
            row[x >> 3] = v ? (row[x >> 3] | m) : (row[x >> 3] & ~m);
            break;
        }
        case 16:
            reinterpret_cast<uint16_t *>(row)[x] = uint16_t(v);
            break;
        case 24:
            row[x * 3] = uint8_t(v);
            row[x * 3 + 1] = uint8_t(v >> 8);
            row[x * 3 + 2] = uint8_t(v >> 16);
            break;
        default:
            reinterpret_cast<uint32_t *>(row)[x] = v & 0xFFFFFFu;
        }
    }
    // A colour as this surface stores it, and back. A 1-bit surface takes the nearer of black
    // and white.
    uint32_t native(COLORREF c) const;
    COLORREF color(uint32_t v) const;
};

// A set of pixels as rectangles that do not overlap, in device coordinates.
struct Region {
    std::vector<RECT> rects;

    Region() = default;
    explicit Region(const RECT &r) { add(r); }
    void add(const RECT &r); // r must not overlap what is there
    bool empty() const { return rects.empty(); }
    RECT box() const;
    int kind() const {
        return rects.empty() ? NULLREGION : rects.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
    }
    bool contains(int x, int y) const;
    void intersect(const RECT &r);
    void intersect(const Region &o);
    void subtract(const RECT &r);
    void subtract(const Region &o);
    void unite(const Region &o);
    void offset(int dx, int dy);
    bool sameAs(const Region &o) const; // the same pixels
};

bool clipRect(const RECT &a, const RECT &b, RECT *out); // false when they do not meet
inline bool emptyRect(const RECT &r) {
    return r.right <= r.left || r.bottom <= r.top;
}

enum class Kind { Pen, Brush, Font, Bitmap, Region, Dc, Icon };

struct Object {
    explicit Object(Kind k) : kind(k) {}
    virtual ~Object() = default;
    Kind kind;
    bool stock = false; // never deleted
    int selected = 0;   // device contexts that have it selected
};

struct Pen : Object {
    Pen() : Object(Kind::Pen) {}
    int style = PS_SOLID, width = 1;
    COLORREF color = 0;
};

struct Brush : Object {
    Brush() : Object(Kind::Brush) {}
    bool null = false;
    COLORREF color = 0;
    int sysColor = -1; // a system colour's brush follows SetSysColors
};

struct Bitmap : Object {
    Bitmap() : Object(Kind::Bitmap) {}
    Surface surface;
    bool dib = false;
    uintptr_t dc = 0; // the memory DC it is selected into
};

struct Rgn : Object {
    Rgn() : Object(Kind::Region) {}
    Region region;
};

struct RealFont; // a font as the font mapper realised it (text.cpp)

struct Font : Object {
    Font() : Object(Kind::Font) {}
    LOGFONTW log{};
    RealFont *real = nullptr; // made on first use
};

struct Icon : Object {
    Icon() : Object(Kind::Icon) {}
    Surface color, mask; // mask: 1 where the screen shows through
    int width = 0, height = 0;
    bool shared = false;         // from LoadIconW: lives as long as the device
    std::vector<uint8_t> source; // a shared icon's resource bytes
};

struct DcState {
    uintptr_t pen = 0, brush = 0, font = 0, bitmap = 0;
    COLORREF text = RGB(0, 0, 0), bk = RGB(255, 255, 255);
    int bkMode = OPAQUE, rop2 = R2_COPYPEN;
    POINT cur{0, 0};
    bool hasClip = false;
    Region clip; // device coordinates relative to the DC's origin
};

struct Dc : Object {
    Dc() : Object(Kind::Dc) {}
    bool memory = false;
    HWND hwnd = nullptr;
    bool paint = false; // made by BeginPaint
    POINT origin{0, 0}; // where the DC's (0, 0) is on its surface
    Region visible;     // surface coordinates the DC may draw on at all
    DcState st;
    std::vector<DcState> saved;
    // visible ∩ clip, made when needed.
    Region effective;
    bool effectiveValid = false;
};

struct Impl;

// The per-device state.
struct State {
    State();
    ~State();
    Surface screen;
    std::vector<uint16_t> frame;
    RECT damage{0, 0, 0, 0};
    OwnedChangeCount<State> draws; // moves with every drawing on the screen
    std::unordered_map<uintptr_t, std::unique_ptr<Object>> objects;
    uintptr_t next = 0x20000000; // clear of SYS_COLOR_INDEX_FLAG: brushes may be colour indexes
    std::array<uintptr_t, 16> stock{};
    std::array<COLORREF, C_SYS_COLOR_TYPES> sysColors{};
    std::array<uintptr_t, C_SYS_COLOR_TYPES> sysBrushes{};
    WindowDcSource *source = nullptr;
    std::unique_ptr<WindowDcSource> fallbackSource;
    std::map<std::pair<int, int>, std::shared_ptr<RealFont>> realFonts; // by face and size
    std::map<const void *, uintptr_t> iconsByResource;                  // LoadIconW's shared icons

    uintptr_t add(std::unique_ptr<Object> o);
    Object *get(HGDIOBJ h) const {
        auto it = objects.find(reinterpret_cast<uintptr_t>(h));
        return it == objects.end() ? nullptr : it->second.get();
    }
    template <class T> T *getAs(HGDIOBJ h, Kind k) const {
        Object *o = get(h);
        return o && o->kind == k ? static_cast<T *>(o) : nullptr;
    }
    Dc *dc(HDC h) const { return getAs<Dc>(h, Kind::Dc); }
    void destroy(uintptr_t h);
    void noteDrawn(const Surface &s, const RECT &r); // screen damage
};

State &state(); // of the current device

// The DC behind a handle of a drawing call; null, with ERROR_INVALID_HANDLE set, for none.
inline Dc *needDc(HDC h) {
    Dc *dc = state().dc(h);
    if (!dc)
        SetLastError(ERROR_INVALID_HANDLE);
    return dc;
}

// The DC's surface and clip: the selected bitmap's or the screen's.
Surface &surfaceOf(Dc &dc);
const Region &clipOf(Dc &dc);
inline void invalidateClip(Dc &dc) {
    dc.effectiveValid = false;
}
// Logical to surface coordinates.
inline RECT toDevice(const Dc &dc, RECT r) {
    r.left += dc.origin.x;
    r.right += dc.origin.x;
    r.top += dc.origin.y;
    r.bottom += dc.origin.y;
    return r;
}
// A rectangle with its corners ordered and its coordinates kept where sums cannot overflow.
RECT normalized(LONG l, LONG t, LONG r, LONG b);
// The same from an origin and a size, either of them anywhere in int's range.
inline RECT normalizedSpan(int x, int y, int w, int h) {
    auto end = [](int a, int n) {
        int64_t e = int64_t(a) + n;
        return LONG(e < INT32_MIN ? INT32_MIN : e > INT32_MAX ? INT32_MAX : e);
    };
    return normalized(x, y, end(x, w), end(y, h));
}

// Fills the clipped rectangle (surface coordinates) with a native value through a raster
// operation of the pattern (P), destination (D) kind: rop3 with no source.
void fillClipped(Surface &s, const Region &clip, const RECT &r, uint32_t p, uint8_t rop3);
// The ternary raster operation's result for pattern, source and destination values.
uint32_t rop3(uint8_t rop, uint32_t p, uint32_t s, uint32_t d);
// A brush as a native value of the surface; false for a null brush or none.
bool brushValue(HBRUSH h, const Surface &s, uint32_t *v);
COLORREF sysColor(int index); // CLR_INVALID for an unknown index
// Draws a device-coordinate line with the DC's pen, the last pixel left out.
void drawLine(Dc &dc, int x0, int y0, int x1, int y1);

// Fonts (text.cpp): the DC's realised font, measuring and drawing one line of text.
RealFont *fontOf(Dc &dc);
void textMetrics(RealFont *f, TEXTMETRICW *tm);
int textWidth(RealFont *f, const char16_t *s, int n);
// Draws text with its cell's top-left at device (x, y); `clip` further limits it when set.
void drawText(Dc &dc, int x, int y, const char16_t *s, int n, const int *dx, const RECT *clip,
              bool opaqueCells);
// The underline of the character at `index` of a line drawn at device (x, y).
void underlineChar(Dc &dc, int x, int y, const char16_t *s, int n, int index, const RECT *clip);

// A device-independent bitmap as resources and CreateDIBSection have it: a BITMAPINFOHEADER,
// its colour table or masks, then the rows. Every field is checked against `size`.
struct Dib {
    int width = 0, height = 0, bpp = 0;
    bool bottomUp = true;
    const uint8_t *colors = nullptr; // RGBQUADs
    int colorCount = 0;
    uint32_t masks[3] = {0, 0, 0};
    const uint8_t *bits = nullptr;
    int stride = 0;
    const uint8_t *andMask = nullptr; // icons: the AND mask after the colour rows
    int andStride = 0;
};
// False for a damaged, cut short or unsupported header. `icon`: the height counts the AND mask.
bool parseDib(const uint8_t *p, size_t size, bool icon, Dib *out);
COLORREF dibColor(const Dib &d, int x, int y); // y from the top
bool dibMaskBit(const Dib &d, int x, int y);   // icons: 1 where the screen shows through
constexpr int kMaxBitmapSide = 4096;

// The window source that asks the public window calls.
std::unique_ptr<WindowDcSource> makeDefaultWindowSource();

} // namespace emul::gdi

struct emul::Graphics::Impl {
    gdi::State state;
};
