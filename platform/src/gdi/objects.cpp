// The graphics state of the device, surfaces, drawing objects and their handles: stock objects,
// pens, brushes, system colours, SelectObject and DeleteObject.
#include "gdi/gdi.h"

#include "emul/device.h"
#include "kernel/user_pointers.h"

#include <algorithm>
#include <cstring>

namespace emul::gdi {

namespace {

// The standard scheme the platform's window system starts with.
constexpr COLORREF kSysColors[C_SYS_COLOR_TYPES] = {
    RGB(192, 192, 192), // scroll bar
    RGB(0, 128, 128),   // desktop
    RGB(0, 0, 128),     // active caption
    RGB(128, 128, 128), // inactive caption
    RGB(192, 192, 192), // menu
    RGB(255, 255, 255), // window
    RGB(0, 0, 0),       // window frame
    RGB(0, 0, 0),       // menu text
    RGB(0, 0, 0),       // window text
    RGB(255, 255, 255), // caption text
    RGB(192, 192, 192), // active border
    RGB(192, 192, 192), // inactive border
    RGB(128, 128, 128), // application workspace
    RGB(0, 0, 128),     // highlight
    RGB(255, 255, 255), // highlight text
    RGB(192, 192, 192), // button face
    RGB(128, 128, 128), // button shadow
    RGB(128, 128, 128), // grey text
    RGB(0, 0, 0),       // button text
    RGB(192, 192, 192), // inactive caption text
    RGB(255, 255, 255), // button highlight
    RGB(0, 0, 0),       // 3-D dark shadow
    RGB(192, 192, 192), // 3-D light
    RGB(0, 0, 0),       // tooltip text
    RGB(255, 255, 225), // tooltip background
    RGB(192, 192, 192), // static controls' background
    RGB(0, 0, 0),       // static controls' text
    RGB(0, 0, 128),     // active caption gradient
    RGB(128, 128, 128), // inactive caption gradient
};

uintptr_t stockBrush(State &s, COLORREF c, bool null) {
    auto b = std::make_unique<Brush>();
    b->stock = true;
    b->color = c;
    b->null = null;
    return s.add(std::move(b));
}

uintptr_t stockPen(State &s, COLORREF c, int style) {
    auto p = std::make_unique<Pen>();
    p->stock = true;
    p->color = c;
    p->style = style;
    return s.add(std::move(p));
}

} // namespace

void Surface::allocate(int w, int h, int bitsPerPixel, bool bottomUp) {
    width = w;
    height = h;
    bpp = bitsPerPixel;
    int pitch = ((w * bpp + 31) / 32) * 4; // rows on 32-bit boundaries, as DIBs have them
    own.assign(size_t(pitch) * size_t(h), 0);
    stride = bottomUp ? -pitch : pitch;
    bits = bottomUp ? own.data() + size_t(pitch) * size_t(h - 1) : own.data();
}

uint32_t Surface::native(COLORREF c) const {
    uint32_t r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    switch (bpp) {
    case 1:
        return (r * 30 + g * 59 + b * 11) >= 128 * 100 ? 1u : 0u;
    case 16:
        return (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3);
    default:
        return r << 16 | g << 8 | b;
    }
}

COLORREF Surface::color(uint32_t v) const {
    switch (bpp) {
    case 1:
        return v ? RGB(255, 255, 255) : RGB(0, 0, 0);
    case 16: {
        // Multiples of eight (the greys of the platform's colours) come back exactly, and so
        // does full intensity.
        uint32_t r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
        return RGB(r == 31 ? 255 : r << 3, g == 63 ? 255 : g << 2, b == 31 ? 255 : b << 3);
    }
    default:
        return RGB((v >> 16) & 255, (v >> 8) & 255, v & 255);
    }
}

State::State() {
    frame.assign(size_t(Graphics::kWidth) * Graphics::kHeight, 0);
    screen.width = Graphics::kWidth;
    screen.height = Graphics::kHeight;
    screen.bpp = 16;
    screen.stride = Graphics::kWidth * 2;
    screen.bits = reinterpret_cast<uint8_t *>(frame.data());
    stock[WHITE_BRUSH] = stockBrush(*this, RGB(255, 255, 255), false);
    stock[LTGRAY_BRUSH] = stockBrush(*this, RGB(192, 192, 192), false);
    stock[GRAY_BRUSH] = stockBrush(*this, RGB(128, 128, 128), false);
    stock[DKGRAY_BRUSH] = stockBrush(*this, RGB(64, 64, 64), false);
    stock[BLACK_BRUSH] = stockBrush(*this, RGB(0, 0, 0), false);
    stock[NULL_BRUSH] = stockBrush(*this, 0, true);
    stock[WHITE_PEN] = stockPen(*this, RGB(255, 255, 255), PS_SOLID);
    stock[BLACK_PEN] = stockPen(*this, RGB(0, 0, 0), PS_SOLID);
    stock[NULL_PEN] = stockPen(*this, 0, PS_NULL);
    auto font = std::make_unique<Font>();
    font->stock = true;
    font->log.lfHeight = -11; // 8 points at 96 dots an inch
    font->log.lfWeight = FW_NORMAL;
    std::memcpy(font->log.lfFaceName, u"Tahoma", 7 * sizeof(WCHAR));
    stock[SYSTEM_FONT] = add(std::move(font));
    // The bitmap every memory DC starts with: one monochrome pixel.
    auto bmp = std::make_unique<Bitmap>();
    bmp->stock = true;
    bmp->surface.allocate(1, 1, 1);
    stock[9] = add(std::move(bmp));
    for (int i = 0; i < C_SYS_COLOR_TYPES; ++i) {
        sysColors[size_t(i)] = kSysColors[i];
        sysBrushes[size_t(i)] = stockBrush(*this, kSysColors[i], false);
        static_cast<Brush *>(objects[sysBrushes[size_t(i)]].get())->sysColor = i;
    }
    fallbackSource = makeDefaultWindowSource();
    source = fallbackSource.get();
}

State::~State() = default;

uintptr_t State::add(std::unique_ptr<Object> o) {
    uintptr_t h = next;
    next += 4;
    objects.emplace(h, std::move(o));
    return h;
}

void State::destroy(uintptr_t h) {
    objects.erase(h);
}

void State::noteDrawn(const Surface &s, const RECT &r) {
    if (s.bits != screen.bits || emptyRect(r))
        return;
    draws.bump();
    if (emptyRect(damage))
        damage = r;
    else
        UnionRect(&damage, &damage, &r);
}

State &state() {
    return dev().graphics().impl().state;
}

COLORREF sysColor(int index) {
    index &= ~SYS_COLOR_INDEX_FLAG;
    if (index < 0 || index >= C_SYS_COLOR_TYPES)
        return CLR_INVALID;
    return state().sysColors[size_t(index)];
}

bool brushValue(HBRUSH h, const Surface &s, uint32_t *v) {
    // A class background of a system colour's index + 1 stands for that colour's brush.
    uintptr_t raw = reinterpret_cast<uintptr_t>(h) & ~uintptr_t(SYS_COLOR_INDEX_FLAG);
    if (raw >= 1 && raw <= C_SYS_COLOR_TYPES) {
        *v = s.native(sysColor(int(raw - 1)));
        return true;
    }
    Brush *b = state().getAs<Brush>(h, Kind::Brush);
    if (!b || b->null)
        return false;
    *v = s.native(b->sysColor >= 0 ? sysColor(b->sysColor) : b->color);
    return true;
}

} // namespace emul::gdi

using namespace emul;
using namespace emul::gdi;

Graphics::Graphics() : impl_(new Impl) {}
Graphics::~Graphics() {
    delete impl_;
}

const uint16_t *Graphics::frame() const {
    return impl_->state.frame.data();
}

WindowDcSource::Rect Graphics::takeDamage() {
    RECT d = impl_->state.damage;
    impl_->state.damage = RECT{0, 0, 0, 0};
    return WindowDcSource::Rect{d.left, d.top, d.right, d.bottom};
}

uint64_t Graphics::drawCount() const {
    return impl_->state.draws.value();
}

const ChangeCount &Graphics::draws() const {
    return impl_->state.draws;
}

void Graphics::setWindowSource(WindowDcSource *source) {
    State &s = impl_->state;
    s.source = source ? source : s.fallbackSource.get();
}

CEAPI HGDIOBJ GetStockObject(int object) {
    State &s = state();
    if (object < 0 || object > SYSTEM_FONT || object == 9 || !s.stock[size_t(object)])
        return nullptr;
    return reinterpret_cast<HGDIOBJ>(s.stock[size_t(object)]);
}

CEAPI DWORD GetSysColor(int index) {
    COLORREF c = sysColor(index);
    return c == CLR_INVALID ? 0 : c;
}

CEAPI HBRUSH GetSysColorBrush(int index) {
    index &= ~SYS_COLOR_INDEX_FLAG;
    if (index < 0 || index >= C_SYS_COLOR_TYPES)
        return nullptr;
    return reinterpret_cast<HBRUSH>(state().sysBrushes[size_t(index)]);
}

CEAPI BOOL SetSysColors(int n, const INT *which, const COLORREF *colors) {
    if (n < 0 || (n > 0 && (!which || !colors))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    State &s = state();
    for (int i = 0; i < n; ++i) {
        int index = which[i] & ~SYS_COLOR_INDEX_FLAG;
        if (index >= 0 && index < C_SYS_COLOR_TYPES)
            s.sysColors[size_t(index)] = colors[i] & 0xFFFFFF;
    }
    return TRUE;
}

CEAPI HPEN CreatePen(int style, int width, COLORREF color) {
    if (style != PS_SOLID && style != PS_DASH && style != PS_NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto p = std::make_unique<Pen>();
    p->style = style;
    p->width = std::clamp(width, 1, 64); // width 0 is one pixel; huge widths stay drawable
    p->color = color & 0xFFFFFF;
    return reinterpret_cast<HPEN>(state().add(std::move(p)));
}

CEAPI HPEN CreatePenIndirect(const LOGPEN *lp) {
    if (!lp) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return CreatePen(int(lp->lopnStyle), lp->lopnWidth.x, lp->lopnColor);
}

CEAPI HBRUSH CreateSolidBrush(COLORREF color) {
    auto b = std::make_unique<Brush>();
    b->color = color & 0xFFFFFF;
    return reinterpret_cast<HBRUSH>(state().add(std::move(b)));
}

CEAPI DWORD GetObjectType(HGDIOBJ h) {
    Object *o = state().get(h);
    if (!o) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    switch (o->kind) {
    case Kind::Pen:
        return OBJ_PEN;
    case Kind::Brush:
        return OBJ_BRUSH;
    case Kind::Font:
        return OBJ_FONT;
    case Kind::Bitmap:
        return OBJ_BITMAP;
    case Kind::Region:
        return OBJ_REGION;
    case Kind::Dc:
        return static_cast<Dc *>(o)->memory ? OBJ_MEMDC : OBJ_DC;
    case Kind::Icon:
        break;
    }
    return 0;
}

CEAPI int GetObjectW(HGDIOBJ h, int size, LPVOID out) {
    if (refusedPointer(out))
        return 0;
    Object *o = state().get(h);
    if (!o || size < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    auto give = [&](const void *p, int n) {
        if (!out)
            return n;
        if (size < n) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        std::memcpy(out, p, size_t(n));
        return n;
    };
    switch (o->kind) {
    case Kind::Pen: {
        auto *p = static_cast<Pen *>(o);
        LOGPEN lp{UINT(p->style), POINT{p->width, 0}, p->color};
        return give(&lp, sizeof lp);
    }
    case Kind::Brush: {
        auto *b = static_cast<Brush *>(o);
        LOGBRUSH lb{b->null ? UINT(BS_NULL) : UINT(BS_SOLID),
                    b->sysColor >= 0 ? sysColor(b->sysColor) : b->color, 0};
        return give(&lb, sizeof lb);
    }
    case Kind::Font:
        return give(&static_cast<Font *>(o)->log, sizeof(LOGFONTW));
    case Kind::Bitmap: {
        auto *b = static_cast<Bitmap *>(o);
        const Surface &s = b->surface;
        BITMAP bm{0,
                  s.width,
                  s.height,
                  s.stride < 0 ? -s.stride : s.stride,
                  1,
                  WORD(s.bpp),
                  b->dib ? static_cast<void *>(b->surface.own.data()) : nullptr};
        return give(&bm, sizeof bm);
    }
    default:
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
}

CEAPI BOOL DeleteObject(HGDIOBJ h) {
    State &s = state();
    Object *o = s.get(h);
    if (!o || o->kind == Kind::Dc || o->kind == Kind::Icon) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (o->stock)
        return TRUE; // stock objects stay
    // An object still selected into a DC stays until the DC lets it go.
    if (o->selected > 0) {
        SetLastError(ERROR_BUSY);
        return FALSE;
    }
    s.destroy(reinterpret_cast<uintptr_t>(h));
    return TRUE;
}
