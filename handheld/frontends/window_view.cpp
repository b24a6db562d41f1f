// The device's window: pixels scaled by whole numbers into the window's own surface, and only
// the rectangles that changed sent to the display.
#include "frontends/window_view.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

namespace handheld {

namespace {

const SDL_Color kBezel{44, 46, 52, 255}, kText{224, 226, 230, 255}, kDim{150, 154, 162, 255};

// UTF-8 to code points; a broken sequence is one replacement character.
std::u32string codePoints(const std::string &s) {
    std::u32string out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int n = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        char32_t cp = n == 0 ? c : n == 1 ? c & 31 : n == 2 ? c & 15 : c & 7;
        bool ok = n >= 0 && i + size_t(n) < s.size() + (n == 0);
        for (int k = 1; ok && k <= n; ++k) {
            unsigned char cc = static_cast<unsigned char>(s[i + size_t(k)]);
            ok = (cc >> 6) == 2;
            cp = (cp << 6) | (cc & 63);
        }
        out += ok ? cp : U'\uFFFD';
        i += ok ? size_t(n) + 1 : 1;
    }
    return out;
}

} // namespace

// The panel's text: one sans-serif face at one size, glyphs kept once rendered.
struct WindowView::Font {
    struct Glyph {
        std::vector<uint8_t> alpha;
        int width = 0, rows = 0, left = 0, top = 0, advance = 0;
    };
    FT_Library lib = nullptr;
    FT_Face face = nullptr;
    int ascent = 0, lineHeight = 0;
    std::map<char32_t, Glyph> glyphs;

    ~Font() {
        if (face)
            FT_Done_Face(face);
        if (lib)
            FT_Done_FreeType(lib);
    }
    bool open(const char *path, int px) {
        if (FT_Init_FreeType(&lib) != 0 || FT_New_Face(lib, path, 0, &face) != 0 ||
            FT_Set_Pixel_Sizes(face, 0, FT_UInt(px)) != 0)
            return false;
        ascent = int(face->size->metrics.ascender >> 6);
        lineHeight = int(face->size->metrics.height >> 6);
        return true;
    }
    const Glyph &glyph(char32_t c) {
        auto it = glyphs.find(c);
        if (it != glyphs.end())
            return it->second;
        Glyph g;
        if (FT_Load_Char(face, c, FT_LOAD_RENDER) == 0) {
            FT_GlyphSlot s = face->glyph;
            g.width = int(s->bitmap.width);
            g.rows = int(s->bitmap.rows);
            g.left = s->bitmap_left;
            g.top = s->bitmap_top;
            g.advance = int(s->advance.x >> 6);
            for (int y = 0; y < g.rows; ++y)
                g.alpha.insert(g.alpha.end(), s->bitmap.buffer + y * s->bitmap.pitch,
                               s->bitmap.buffer + y * s->bitmap.pitch + g.width);
        }
        return glyphs.emplace(c, std::move(g)).first->second;
    }
};

// The window's size at a scale: the screen in its margin, the panel of keys beside it.
SDL_Point WindowView::sizeFor(int scale) {
    int margin = 12 * scale;
    return SDL_Point{2 * margin + kScreenW * scale + 168 * scale, kScreenH * scale + 2 * margin};
}

std::unique_ptr<WindowView> WindowView::open(int scale, const std::string &title,
                                             std::string *error) {
    std::unique_ptr<WindowView> v(new WindowView);
    v->scale_ = std::max(1, std::min(3, scale));
    // A window larger than the display would hide the bottom of the screen (the menu bar and
    // the input panel's button): the largest scale that fits, down to 1x.
    SDL_Rect room{};
    if (SDL_GetDisplayUsableBounds(0, &room) == 0)
        while (v->scale_ > 1 && (sizeFor(v->scale_).x > room.w || sizeFor(v->scale_).y > room.h))
            --v->scale_;
    if (v->scale_ != std::max(1, std::min(3, scale)))
        std::fprintf(stderr,
                     "handheld: the window at %dx is larger than the display (%d x %d); "
                     "it opens at %dx\n",
                     scale, room.w, room.h, v->scale_);
    v->margin_ = 12 * v->scale_;
    v->panelX_ = 2 * v->margin_ + kScreenW * v->scale_;
    v->panelW_ = 168 * v->scale_;
    SDL_Point size = sizeFor(v->scale_);
    int w = size.x, h = size.y;
    v->window_ =
        SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, w, h, 0);
    if (!v->window_ || !v->setUp(error)) {
        if (error->empty())
            *error = SDL_GetError();
        return nullptr;
    }
    return v;
}

WindowView::~WindowView() {
    if (window_)
        SDL_DestroyWindow(window_);
}

bool WindowView::setUp(std::string *error) {
    surface_ = SDL_GetWindowSurface(window_);
    if (!surface_)
        return false;
    font_ = std::make_unique<Font>();
    if (!font_->open(HANDHELD_PANEL_FONT, 11 * scale_)) {
        *error = std::string("cannot read the font ") + HANDHELD_PANEL_FONT;
        return false;
    }
    // The device's colours as its screenshots have them: multiples of eight and full
    // intensity come back exactly.
    lut_.resize(65536);
    for (uint32_t v = 0; v < 65536; ++v) {
        uint32_t r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
        lut_[v] = SDL_MapRGB(surface_->format, uint8_t(r == 31 ? 255 : r << 3),
                             uint8_t(g == 63 ? 255 : g << 2), uint8_t(b == 31 ? 255 : b << 3));
    }
    int x = panelX_, y = margin_, bw = (panelW_ - margin_ - 6 * scale_) / 2, bh = 22 * scale_;
    const std::pair<Button, const char *> layout[] = {
        {Button::Power, "Power"},   {Button::Connect, "Connect"}, {Button::Fn, "Fn"},
        {Button::Cmd, "Cmd"},       {Button::Symbol, "Symbol"},   {Button::Caps, "Caps Lock"},
        {Button::Hold, "Hold key"}, {Button::Pen, "Pen key"}};
    for (size_t i = 0; i < std::size(layout); ++i) {
        int col = int(i % 2), row = int(i / 2);
        keys_.push_back(
            Key{layout[i].first, layout[i].second,
                SDL_Rect{x + col * (bw + 6 * scale_), y + row * (bh + 6 * scale_), bw, bh}});
    }
    statusTop_ = keys_.back().rect.y + bh + 14 * scale_;
    fill(SDL_Rect{0, 0, surface_->w, surface_->h}, kBezel.r, kBezel.g, kBezel.b);
    drawPanel();
    present(true);
    return true;
}

void WindowView::fill(const SDL_Rect &r, uint8_t red, uint8_t green, uint8_t blue) {
    SDL_FillRect(surface_, &r, SDL_MapRGB(surface_->format, red, green, blue));
}

void WindowView::addDirty(const SDL_Rect &r) {
    dirty_.push_back(r);
}

void WindowView::screen(const uint16_t *frame, int left, int top, int right, int bottom) {
    left = std::max(0, left), top = std::max(0, top);
    right = std::min(kScreenW, right), bottom = std::min(kScreenH, bottom);
    if (left >= right || top >= bottom)
        return;
    if (SDL_MUSTLOCK(surface_))
        SDL_LockSurface(surface_);
    int bpp = surface_->format->BytesPerPixel, s = scale_;
    auto *base = static_cast<uint8_t *>(surface_->pixels);
    for (int y = top; y < bottom; ++y) {
        uint8_t *row = base + size_t(margin_ + y * s) * size_t(surface_->pitch) +
                       size_t(margin_ + left * s) * size_t(bpp);
        uint8_t *p = row;
        for (int x = left; x < right; ++x) {
            uint32_t v = lut_[frame[y * kScreenW + x]];
            for (int k = 0; k < s; ++k, p += bpp)
                std::memcpy(p, &v, size_t(bpp)); // little-endian: the pixel's low bytes
        }
        size_t bytes = size_t(p - row);
        for (int k = 1; k < s; ++k)
            std::memcpy(row + size_t(k) * size_t(surface_->pitch), row, bytes);
    }
    if (SDL_MUSTLOCK(surface_))
        SDL_UnlockSurface(surface_);
    addDirty(
        SDL_Rect{margin_ + left * s, margin_ + top * s, (right - left) * s, (bottom - top) * s});
}

void WindowView::screenOff(const std::string &note) {
    SDL_Rect r = screenRect();
    fill(r, 0, 0, 0);
    std::vector<std::string> lines = wrap(note, r.w - 16 * scale_);
    int y = r.y + (r.h - int(lines.size()) * font_->lineHeight) / 2;
    for (const std::string &line : lines) {
        text(r.x + (r.w - width(line)) / 2, y, line, r.w, kDim);
        y += font_->lineHeight;
    }
    addDirty(r);
}

std::vector<std::string> WindowView::wrap(const std::string &line, int maxWidth) {
    std::vector<std::string> pieces;
    std::string rest = line;
    while (!rest.empty()) {
        // Between the parts that wider gaps separate where it can be, else between words.
        size_t cut = rest.size();
        for (const char *gap : {"   ", "  ", " "}) {
            cut = rest.size();
            while (cut != std::string::npos && cut > 0 && width(rest.substr(0, cut)) > maxWidth)
                cut = rest.rfind(gap, cut - 1);
            if (cut != std::string::npos && cut > 0)
                break;
        }
        if (cut == std::string::npos || cut == 0) // one word wider than the line
            for (cut = rest.size(); cut > 1 && width(rest.substr(0, cut)) > maxWidth;)
                --cut;
        pieces.push_back(rest.substr(0, cut));
        rest = rest.substr(cut);
        while (!rest.empty() && rest[0] == ' ')
            rest.erase(0, 1);
    }
    return pieces;
}

void WindowView::status(const std::vector<std::string> &lines) {
    if (lines == status_)
        return;
    status_ = lines;
    drawPanel();
}

void WindowView::lit(const std::vector<Button> &buttons) {
    if (buttons == lit_)
        return;
    lit_ = buttons;
    drawPanel();
}

Button WindowView::buttonAt(int x, int y) const {
    SDL_Point p{x, y};
    for (const Key &k : keys_)
        if (SDL_PointInRect(&p, &k.rect))
            return k.which;
    return Button::None;
}

int WindowView::width(const std::string &utf8) {
    int w = 0;
    for (char32_t c : codePoints(utf8))
        w += font_->glyph(c).advance;
    return w;
}

// Draws a line clipped to `maxWidth`; returns the width drawn.
int WindowView::text(int x, int y, const std::string &utf8, int maxWidth, SDL_Color color) {
    if (SDL_MUSTLOCK(surface_))
        SDL_LockSurface(surface_);
    int pen = 0;
    uint8_t r0, g0, b0;
    SDL_GetRGB(SDL_MapRGB(surface_->format, kBezel.r, kBezel.g, kBezel.b), surface_->format, &r0,
               &g0, &b0);
    int bpp = surface_->format->BytesPerPixel;
    for (char32_t c : codePoints(utf8)) {
        const Font::Glyph &g = font_->glyph(c);
        if (pen + g.advance > maxWidth)
            break;
        for (int gy = 0; gy < g.rows; ++gy)
            for (int gx = 0; gx < g.width; ++gx) {
                int a = g.alpha[size_t(gy * g.width + gx)];
                int px = x + pen + g.left + gx, py = y + font_->ascent - g.top + gy;
                if (!a || px < 0 || py < 0 || px >= surface_->w || py >= surface_->h)
                    continue;
                // Over the panel's plain background: a blend with its colour.
                auto mix = [a](int fg, int bg) { return uint8_t((fg * a + bg * (255 - a)) / 255); };
                uint32_t v = SDL_MapRGB(surface_->format, mix(color.r, r0), mix(color.g, g0),
                                        mix(color.b, b0));
                std::memcpy(static_cast<uint8_t *>(surface_->pixels) +
                                size_t(py) * size_t(surface_->pitch) + size_t(px) * size_t(bpp),
                            &v, size_t(bpp));
            }
        pen += g.advance;
    }
    if (SDL_MUSTLOCK(surface_))
        SDL_UnlockSurface(surface_);
    return pen;
}

void WindowView::drawPanel() {
    SDL_Rect panel{panelX_, 0, panelW_, surface_->h};
    fill(panel, kBezel.r, kBezel.g, kBezel.b);
    for (const Key &k : keys_) {
        // Power red, a lit key amber, the others grey: an edge and a face.
        bool on = std::find(lit_.begin(), lit_.end(), k.which) != lit_.end();
        int look = k.which == Button::Power ? 0 : on ? 1 : 2;
        static const SDL_Color kEdge[] = {
            {150, 52, 48, 255}, {196, 164, 64, 255}, {78, 82, 92, 255}};
        static const SDL_Color kFace[] = {
            {176, 64, 58, 255}, {150, 122, 40, 255}, {96, 100, 112, 255}};
        fill(k.rect, kEdge[look].r, kEdge[look].g, kEdge[look].b);
        SDL_Rect inner{k.rect.x + 1, k.rect.y + 1, k.rect.w - 2, k.rect.h - 2};
        fill(inner, kFace[look].r, kFace[look].g, kFace[look].b);
        int w = width(k.label);
        text(k.rect.x + (k.rect.w - w) / 2, k.rect.y + (k.rect.h - font_->lineHeight) / 2, k.label,
             k.rect.w, kText);
    }
    // Status lines, wrapped to the panel's width.
    int y = statusTop_, width = panelW_ - margin_;
    for (const std::string &line : status_) {
        for (const std::string &piece : wrap(line, width)) {
            if (y + font_->lineHeight > surface_->h)
                break;
            text(panelX_, y, piece, width, line.empty() ? kDim : kText);
            y += font_->lineHeight;
        }
        y += font_->lineHeight / 3;
    }
    addDirty(panel);
}

void WindowView::present(bool all) {
    if (all)
        SDL_UpdateWindowSurface(window_);
    else if (!dirty_.empty())
        SDL_UpdateWindowSurfaceRects(window_, dirty_.data(), int(dirty_.size()));
    dirty_.clear();
}

} // namespace handheld
