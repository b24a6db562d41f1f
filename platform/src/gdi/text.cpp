// Fonts and one-line text: the font mapper (face name, height, weight), text metrics as the
// platform derives them from a TrueType face, a glyph cache, CreateFontIndirectW,
// GetTextMetricsW, the text extents and ExtTextOutW.
#include "gdi/gdi.h"

#include "host/host_font.h"

#include "emul/text.h"
#include "kernel/user_pointers.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace emul::gdi {

struct RealFont {
    hostfont::Face face = hostfont::kTahoma, fallback = hostfont::kSans;
    int ppem = 11;
    TEXTMETRICW tm{};
    int underlineY = 1, underlineHeight = 1; // below the baseline
    std::vector<hostfont::Glyph> low;        // U+0000 to U+024F, made on first use
    std::vector<bool> lowReady;
    std::unordered_map<uint32_t, hostfont::Glyph> high;

    const hostfont::Glyph &glyph(uint32_t cp);

  private:
    hostfont::Glyph make(uint32_t cp);
};

namespace {

constexpr uint32_t kLowGlyphs = 0x250;
constexpr int kMaxPpem = 256;

int scaled(int units, int ppem, int upem) {
    return upem > 0 ? int(std::lround(double(units) * ppem / upem)) : 0;
}

bool isFace(const WCHAR *name, const char16_t *want) {
    return equalsNoCase(name, want);
}

// The platform's fonts: Tahoma for every sans-serif name, a fixed-pitch face when one is asked
// for by name or by pitch.
hostfont::Face mapFace(const LOGFONTW &lf) {
    WCHAR name[LF_FACESIZE + 1] = {};
    std::memcpy(name, lf.lfFaceName, sizeof lf.lfFaceName);
    bool bold = lf.lfWeight >= FW_SEMIBOLD;
    bool fixed = (lf.lfPitchAndFamily & 3) == FIXED_PITCH ||
                 (lf.lfPitchAndFamily & 0xF0) == FF_MODERN || isFace(name, u"Courier New") ||
                 isFace(name, u"Courier");
    if (fixed)
        return bold ? hostfont::kMonoBold : hostfont::kMono;
    if (isFace(name, u"DejaVu Sans"))
        return bold ? hostfont::kSansBold : hostfont::kSans;
    return bold ? hostfont::kTahomaBold : hostfont::kTahoma;
}

// The average width as the platform's own fonts state it: lower-case letters and the space
// weighted by how often they occur in text, not every glyph of the face alike.
int averageWidth(RealFont &f, int fallback) {
    static const int kWeights[27] = {64, 14, 27, 35, 100, 20, 14, 42, 63, 3, 6,  35, 20, 56,
                                     56, 17, 4,  49, 56,  71, 31, 10, 18, 3, 18, 2,  166};
    int sum = 0;
    for (int i = 0; i < 27; ++i) {
        const hostfont::Glyph &g = f.glyph(i < 26 ? uint32_t(u'a' + i) : uint32_t(u' '));
        if (!g.found)
            return fallback;
        sum += g.advance * kWeights[i];
    }
    return std::max(1, (sum + 500) / 1000);
}

RealFont *realise(hostfont::Face face, int lfHeight) {
    hostfont::FaceInfo info;
    if (!hostfont::faceInfo(face, &info) || info.unitsPerEm <= 0)
        return nullptr;
    int cell = info.winAscent + info.winDescent;
    // Negative heights are the character's height (the em), positive ones the cell's.
    int ppem = lfHeight < 0   ? -lfHeight
               : lfHeight > 0 ? scaled(lfHeight, info.unitsPerEm, cell > 0 ? cell : info.unitsPerEm)
                              : 11;
    ppem = std::clamp(ppem, 1, kMaxPpem);
    State &s = state();
    auto &slot = s.realFonts[std::make_pair(int(face), ppem)];
    if (slot)
        return slot.get();
    auto f = std::make_shared<RealFont>();
    f->face = face;
    f->fallback = (face == hostfont::kTahomaBold || face == hostfont::kMonoBold)
                      ? hostfont::kSansBold
                      : hostfont::kSans;
    f->ppem = ppem;
    TEXTMETRICW &tm = f->tm;
    int upem = info.unitsPerEm;
    tm.tmAscent = scaled(info.winAscent, ppem, upem);
    tm.tmDescent = scaled(info.winDescent, ppem, upem);
    tm.tmHeight = tm.tmAscent + tm.tmDescent;
    tm.tmInternalLeading = std::max(0, int(tm.tmHeight) - ppem);
    int gap = info.hheaAscent + info.hheaDescent + info.lineGap - cell;
    tm.tmExternalLeading = std::max(0, scaled(gap, ppem, upem));
    tm.tmAveCharWidth = std::max(1, scaled(info.avgCharWidth, ppem, upem));
    tm.tmMaxCharWidth = std::max(1, scaled(info.maxAdvance, ppem, upem));
    tm.tmWeight = info.weight;
    tm.tmDigitizedAspectX = tm.tmDigitizedAspectY = 96;
    tm.tmFirstChar = 0x20;
    tm.tmLastChar = 0xFFFC;
    tm.tmDefaultChar = 0x1F;
    tm.tmBreakChar = 0x20;
    // TMPF_FIXED_PITCH set means a variable pitch.
    tm.tmPitchAndFamily = BYTE(TMPF_VECTOR | TMPF_TRUETYPE |
                               (info.fixedPitch ? FF_MODERN : TMPF_FIXED_PITCH | FF_SWISS));
    tm.tmCharSet = ANSI_CHARSET;
    f->underlineY =
        std::clamp(scaled(-info.underlinePosition, ppem, upem), 1, std::max(1, int(tm.tmDescent)));
    f->underlineHeight = std::max(1, scaled(info.underlineThickness, ppem, upem));
    f->low.resize(kLowGlyphs);
    f->lowReady.assign(kLowGlyphs, false);
    tm.tmAveCharWidth = averageWidth(*f, tm.tmAveCharWidth);
    slot = f;
    return slot.get();
}

// UTF-16 to code points; a surrogate without its partner becomes the replacement character.
uint32_t nextCodePoint(const char16_t *s, int n, int *i) {
    uint32_t c = s[*i];
    ++*i;
    if (c >= 0xD800 && c <= 0xDBFF) {
        if (*i < n && s[*i] >= 0xDC00 && s[*i] <= 0xDFFF) {
            uint32_t lo = s[*i];
            ++*i;
            return 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
        }
        return 0xFFFD;
    }
    if (c >= 0xDC00 && c <= 0xDFFF)
        return 0xFFFD;
    return c;
}

} // namespace

hostfont::Glyph RealFont::make(uint32_t cp) {
    hostfont::Glyph g;
    if (hostfont::renderGlyph(face, ppem, cp, &g) && g.found)
        return g;
    // Characters the face lacks come from the fallback, else the face's own missing glyph.
    hostfont::Glyph other;
    if (fallback != face && hostfont::renderGlyph(fallback, ppem, cp, &other) && other.found)
        return other;
    return g;
}

const hostfont::Glyph &RealFont::glyph(uint32_t cp) {
    if (cp < kLowGlyphs) {
        if (!lowReady[cp]) {
            low[cp] = make(cp);
            lowReady[cp] = true;
        }
        return low[cp];
    }
    auto it = high.find(cp);
    if (it == high.end())
        it = high.emplace(cp, make(cp)).first;
    return it->second;
}

RealFont *fontOf(Dc &dc) {
    State &s = state();
    Font *f = s.getAs<Font>(reinterpret_cast<HGDIOBJ>(dc.st.font), Kind::Font);
    if (!f)
        f = s.getAs<Font>(reinterpret_cast<HGDIOBJ>(s.stock[SYSTEM_FONT]), Kind::Font);
    if (!f->real)
        f->real = realise(mapFace(f->log), f->log.lfHeight);
    return f->real;
}

void textMetrics(RealFont *f, TEXTMETRICW *tm) {
    *tm = f->tm;
}

int textWidth(RealFont *f, const char16_t *s, int n) {
    int w = 0;
    for (int i = 0; i < n;)
        w += f->glyph(nextCodePoint(s, n, &i)).advance;
    return w;
}

namespace {

Font *logicalFont(Dc &dc) {
    return state().getAs<Font>(reinterpret_cast<HGDIOBJ>(dc.st.font), Kind::Font);
}

// The area text may touch: the DC's clip, the surface, and the caller's rectangle if any.
Region textClip(Dc &dc, const RECT *clip) {
    Region r = clipOf(dc);
    Surface &s = surfaceOf(dc);
    r.intersect(RECT{0, 0, s.width, s.height});
    if (clip)
        r.intersect(*clip);
    return r;
}

void drawGlyph(Surface &s, const Region &clip, const hostfont::Glyph &g, int penX, int baseline,
               uint32_t ink) {
    RECT box{penX + g.left, baseline - g.top, penX + g.left + g.width, baseline - g.top + g.height};
    RECT x;
    for (const RECT &c : clip.rects) {
        if (!clipRect(c, box, &x))
            continue;
        for (int y = x.top; y < x.bottom; ++y) {
            const uint8_t *row = g.bits.data() + size_t(y - box.top) * size_t(g.pitch);
            for (int xx = x.left; xx < x.right; ++xx) {
                int col = xx - box.left;
                if ((row[col >> 3] >> (7 - (col & 7))) & 1)
                    s.set(xx, y, ink);
            }
        }
        state().noteDrawn(s, x);
    }
}

} // namespace

void drawText(Dc &dc, int x, int y, const char16_t *s, int n, const int *dx, const RECT *clip,
              bool opaqueCells) {
    RealFont *f = fontOf(dc);
    if (!f)
        return;
    Surface &surf = surfaceOf(dc);
    Region area = textClip(dc, clip);
    if (area.empty())
        return;
    int width = 0;
    for (int i = 0, k = 0; i < n; ++k) {
        int at = i;
        uint32_t cp = nextCodePoint(s, n, &i);
        width += dx ? dx[at] : f->glyph(cp).advance;
    }
    if (opaqueCells)
        fillClipped(surf, area, RECT{x, y, x + width, y + f->tm.tmHeight}, surf.native(dc.st.bk),
                    0xF0);
    uint32_t ink = surf.native(dc.st.text);
    int baseline = y + f->tm.tmAscent, pen = x;
    for (int i = 0; i < n;) {
        int at = i;
        const hostfont::Glyph &g = f->glyph(nextCodePoint(s, n, &i));
        drawGlyph(surf, area, g, pen, baseline, ink);
        pen += dx ? dx[at] : g.advance;
    }
    Font *lf = logicalFont(dc);
    if (lf && lf->log.lfUnderline)
        fillClipped(surf, area,
                    RECT{x, baseline + f->underlineY, x + width,
                         baseline + f->underlineY + f->underlineHeight},
                    ink, 0xF0);
    if (lf && lf->log.lfStrikeOut) {
        int sy = baseline - f->tm.tmAscent / 3;
        fillClipped(surf, area, RECT{x, sy, x + width, sy + f->underlineHeight}, ink, 0xF0);
    }
}

void underlineChar(Dc &dc, int x, int y, const char16_t *s, int n, int index, const RECT *clip) {
    RealFont *f = fontOf(dc);
    if (!f || index < 0 || index >= n)
        return;
    int from = x + textWidth(f, s, index);
    int i = index;
    int w = f->glyph(nextCodePoint(s, n, &i)).advance;
    Surface &surf = surfaceOf(dc);
    int uy = y + f->tm.tmAscent + f->underlineY;
    fillClipped(surf, textClip(dc, clip), RECT{from, uy, from + w, uy + f->underlineHeight},
                surf.native(dc.st.text), 0xF0);
}

} // namespace emul::gdi

using namespace emul;
using namespace emul::gdi;

CEAPI HFONT CreateFontIndirectW(const LOGFONTW *lf) {
    if (refusedPointer(lf))
        return nullptr;
    if (!lf) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto f = std::make_unique<Font>();
    f->log = *lf;
    f->log.lfFaceName[LF_FACESIZE - 1] = 0;
    return reinterpret_cast<HFONT>(state().add(std::move(f)));
}

CEAPI BOOL GetTextMetricsW(HDC h, LPTEXTMETRICW tm) {
    if (refusedPointer(tm))
        return FALSE;
    Dc *dc = needDc(h);
    RealFont *f = dc ? fontOf(*dc) : nullptr;
    if (!f || !tm)
        return FALSE;
    *tm = f->tm;
    if (Font *lf = state().getAs<Font>(reinterpret_cast<HGDIOBJ>(dc->st.font), Kind::Font)) {
        tm->tmItalic = lf->log.lfItalic ? 1 : 0;
        tm->tmUnderlined = lf->log.lfUnderline ? 1 : 0;
        tm->tmStruckOut = lf->log.lfStrikeOut ? 1 : 0;
    }
    return TRUE;
}

CEAPI int GetTextFaceW(HDC h, int count, LPWSTR name) {
    if (refusedPointer(name))
        return 0;
    Dc *dc = needDc(h);
    RealFont *f = dc ? fontOf(*dc) : nullptr;
    if (!f)
        return 0;
    static const char16_t *const kNames[hostfont::kFaceCount] = {
        u"Tahoma", u"Tahoma", u"DejaVu Sans", u"DejaVu Sans", u"Courier New", u"Courier New"};
    std::u16string n = kNames[f->face];
    if (!name)
        return int(n.size()) + 1;
    if (count <= 0)
        return 0;
    size_t k = std::min(n.size(), size_t(count - 1));
    std::memcpy(name, n.data(), k * sizeof(WCHAR));
    name[k] = 0;
    return int(k);
}

CEAPI BOOL GetTextExtentExPointW(HDC h, LPCWSTR s, int n, int maxExtent, LPINT fit, LPINT dx,
                                 LPSIZE size) {
    if (refusedPointer(s, fit, dx, size))
        return FALSE;
    Dc *dc = needDc(h);
    RealFont *f = dc ? fontOf(*dc) : nullptr;
    if (!f || n < 0 || (n > 0 && !s) || !size) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    int w = 0, fits = 0;
    for (int i = 0; i < n;) {
        int at = i;
        w += f->glyph(nextCodePoint(s, n, &i)).advance;
        // A pair of surrogates is one character with one extent, given for both units.
        for (int k = at; k < i; ++k) {
            if (dx)
                dx[k] = w;
            if (w <= maxExtent)
                fits = k + 1;
        }
    }
    if (fit)
        *fit = fits;
    size->cx = w;
    size->cy = f->tm.tmHeight;
    return TRUE;
}

CEAPI BOOL GetTextExtentPoint32W(HDC h, LPCWSTR s, int n, LPSIZE size) {
    return GetTextExtentExPointW(h, s, n, 0, nullptr, nullptr, size);
}

CEAPI BOOL ExtTextOutW(HDC h, int x, int y, UINT options, const RECT *r, LPCWSTR s, UINT n,
                       const int *dx) {
    if (refusedPointer(r, s, dx))
        return FALSE;
    Dc *dc = needDc(h);
    if (!dc || (n > 0 && !s) || n > 0x7FFFFFFF) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    RECT rect{}, *clip = nullptr;
    if (r && (options & (ETO_OPAQUE | ETO_CLIPPED))) {
        rect = toDevice(*dc, normalized(r->left, r->top, r->right, r->bottom));
        if (options & ETO_OPAQUE) {
            Surface &surf = surfaceOf(*dc);
            fillClipped(surf, clipOf(*dc), rect, surf.native(dc->st.bk), 0xF0);
        }
        if (options & ETO_CLIPPED)
            clip = &rect;
    }
    if (n == 0)
        return TRUE;
    POINT p{std::clamp(x, -(1 << 20), 1 << 20) + dc->origin.x,
            std::clamp(y, -(1 << 20), 1 << 20) + dc->origin.y};
    drawText(*dc, p.x, p.y, s, int(n), dx, clip, dc->st.bkMode == OPAQUE);
    return TRUE;
}

bool emul::dialogBaseUnitsOf(const std::u16string &face, int points, int *x, int *y) {
    LOGFONTW lf{};
    lf.lfHeight = -MulDiv(points, 96, 72);
    lf.lfWeight = FW_NORMAL;
    std::memcpy(lf.lfFaceName, face.data(), std::min(face.size(), size_t(LF_FACESIZE - 1)) * 2);
    RealFont *f = realise(mapFace(lf), lf.lfHeight);
    if (!f)
        return false;
    // The average width of the fifty-two letters, rounded, and the font's height.
    static const char16_t kLetters[] = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    *x = (textWidth(f, kLetters, 52) + 26) / 52;
    *y = f->tm.tmHeight;
    return true;
}

std::string emul::missingFontPackage() {
    return hostfont::missingPackage();
}
