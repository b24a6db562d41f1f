// How an edit box looks: its text in lines (wrapped at words where the box does not scroll
// sideways), the selection in the highlight colours and the caret, kept in view.
#include "gwes/paint/look.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace emul::look {

namespace {

// No line holds more characters than this: the narrowest glyph is a pixel wide.
constexpr size_t kMeasured = 512;

// Lays out `s` from `p`, the start of a line, onto the end of `lines`: its paragraphs, each
// broken at the last space that fits when `wrap`.
void layout(HDC dc, const std::u16string &s, size_t p, int width, bool wrap,
            std::vector<std::pair<size_t, size_t>> &lines) {
    for (;;) {
        size_t end = s.find(u'\n', p);
        size_t stop = end == std::u16string::npos ? s.size() : end;
        size_t textEnd = stop > p && s[stop - 1] == u'\r' ? stop - 1 : stop;
        size_t at = p;
        while (wrap && at < textEnd) {
            int fit = 0;
            SIZE size{};
            size_t n = std::min(textEnd - at, kMeasured);
            GetTextExtentExPointW(dc, reinterpret_cast<LPCWSTR>(s.c_str() + at), int(n),
                                  std::max(width, 1), &fit, nullptr, &size);
            if (size_t(fit) >= textEnd - at)
                break;
            size_t take = std::max(fit, 1);
            size_t space = s.find_last_of(u' ', at + take);
            if (space != std::u16string::npos && space > at && space <= at + take)
                take = space - at + 1;
            lines.emplace_back(at, take);
            at += take;
        }
        lines.emplace_back(at, textEnd - at);
        if (end == std::u16string::npos)
            return;
        p = end + 1;
    }
}

// The lines of a window's text, laid out again only from where it changed at its end.
EditLayout &linesOf(Window *w, HDC dc, int width, bool wrap, bool *appendedOut) {
    EditLayout &l = editLayoutOf(w->h);
    const std::u16string &s = w->text;
    bool appended = l.width == width && l.wrap == wrap && !l.lines.empty() &&
                    s.size() >= l.text.size() &&
                    std::memcmp(s.data(), l.text.data(), l.text.size() * sizeof(char16_t)) == 0;
    size_t from = 0;
    if (appended) {
        from = l.lines.back().first;
        l.lines.pop_back();
        l.text.append(s, l.text.size(), std::u16string::npos);
    } else {
        l.lines.clear();
        l.text = s;
        l.width = width;
        l.wrap = wrap;
    }
    layout(dc, s, from, width, wrap, l.lines);
    *appendedOut = appended;
    return l;
}

int widthOf(HDC dc, const std::u16string &s, size_t from, size_t n) {
    SIZE size{};
    if (n)
        GetTextExtentPoint32W(dc, reinterpret_cast<LPCWSTR>(s.c_str() + from), int(n), &size);
    return size.cx;
}

// The selection as the control tells it; a control that keeps no selection has its caret at
// the end of its text.
void selection(Window *w, size_t *from, size_t *to) {
    DWORD start = 0xFFFFFFFFu, end = 0xFFFFFFFFu;
    wins().send(w, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    if (start == 0xFFFFFFFFu || end == 0xFFFFFFFFu)
        start = end = DWORD(w->text.size());
    *from = std::min<size_t>(std::min(start, end), w->text.size());
    *to = std::min<size_t>(std::max(start, end), w->text.size());
}

} // namespace

void paintEdit(Window *w, HDC dc, const RECT &client, bool ink) {
    HBRUSH brush = ink ? GetSysColorBrush(COLOR_WINDOW) : ctlColor(w, WM_CTLCOLOREDIT, dc);
    COLORREF color = (w->style & WS_DISABLED) ? sys(COLOR_GRAYTEXT) : GetTextColor(dc);
    FillRect(dc, &client, brush);
    RECT inner = client;
    if (w->style & WS_BORDER) {
        frame(dc, client, sys(COLOR_WINDOWFRAME));
        InflateRect(&inner, -1, -1);
    }
    inner.left += 2;
    inner.right -= 1;
    bool multi = ink || (w->style & ES_MULTILINE);
    bool wrap = ink || (multi && !(w->style & ES_AUTOHSCROLL));
    HGDIOBJ oldFont = SelectObject(dc, controlFont());
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    const std::u16string &s = w->text;
    std::vector<std::pair<size_t, size_t>> single{{0, s.size()}};
    bool appended = false;
    EditLayout *kept = multi ? &linesOf(w, dc, inner.right - inner.left, wrap, &appended) : nullptr;
    const auto &lines = kept ? kept->lines : single;
    RECT clip{};
    GetClipBox(dc, &clip);
    size_t from = 0, to = 0;
    selection(w, &from, &to);
    // The caret's line and column, scrolled into view.
    auto after = std::upper_bound(
        lines.begin(), lines.end(), to,
        [](size_t at, const std::pair<size_t, size_t> &l) { return at < l.first; });
    size_t caretLine = after == lines.begin() ? 0 : size_t(after - lines.begin()) - 1;
    int rows = std::max<int>(1, (inner.bottom - inner.top) / std::max<int>(tm.tmHeight, 1));
    size_t first = caretLine + 1 > size_t(rows) ? caretLine + 1 - size_t(rows) : 0;
    size_t caretStart = lines[caretLine].first;
    int caretX = widthOf(dc, s, caretStart, to - caretStart);
    int shift = std::max(0, caretX - (inner.right - inner.left - 2));
    int top = multi ? inner.top : (inner.top + inner.bottom - tm.tmHeight) / 2;
    SetBkMode(dc, OPAQUE);
    for (size_t i = first; i < lines.size(); ++i) {
        int y = top + int(i - first) * tm.tmHeight;
        if (y >= inner.bottom || y >= clip.bottom)
            break;
        if (y + tm.tmHeight <= clip.top)
            continue;
        size_t start = lines[i].first, stop = start + lines[i].second;
        size_t a = std::clamp(from, start, stop);
        size_t b = std::clamp(to, start, stop);
        int x = inner.left - shift;
        struct Piece {
            size_t at, n;
            bool selected;
        } pieces[3] = {{start, a - start, false}, {a, b - a, true}, {b, stop - b, false}};
        for (const Piece &p : pieces) {
            if (!p.n)
                continue;
            SetTextColor(dc, p.selected ? sys(COLOR_HIGHLIGHTTEXT) : color);
            SetBkMode(dc, p.selected ? OPAQUE : TRANSPARENT);
            SetBkColor(dc, sys(COLOR_HIGHLIGHT));
            ExtTextOutW(dc, x, y, ETO_CLIPPED, &inner, reinterpret_cast<LPCWSTR>(s.c_str() + p.at),
                        UINT(p.n), nullptr);
            x += widthOf(dc, s, p.at, p.n);
        }
    }
    if (focused(w) && from == to && caretLine >= first) {
        int y = top + int(caretLine - first) * tm.tmHeight;
        int x = inner.left - shift + caretX;
        if (x < inner.right)
            vline(dc, x, y, std::min<int>(y + tm.tmHeight, inner.bottom), sys(COLOR_WINDOWTEXT));
    }
    SelectObject(dc, oldFont);
    if (!kept)
        return;
    // A paint of the last lines only (typing at the end) is all it takes unless the text
    // changed before them or the lines scrolled: then everything paints again.
    bool partial = clip.top > client.top || clip.bottom < client.bottom;
    if (partial && (!appended || kept->first != first || kept->shift != shift))
        InvalidateRect(toHwnd(w), nullptr, TRUE);
    kept->first = first;
    kept->top = top;
    kept->lineHeight = tm.tmHeight;
    kept->shift = shift;
}

} // namespace emul::look
