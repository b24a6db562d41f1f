// How an edit box looks: its text in lines (wrapped at words where the box does not scroll
// sideways), the selection in the highlight colours and the caret, kept in view.
#include "gwes/paint/look.h"

#include <algorithm>
#include <vector>

namespace emul::look {

namespace {

struct Line {
    size_t start = 0, length = 0; // in the window's text
};

// Lines of `s`: its paragraphs, each broken at the last space that fits when `wrap`.
std::vector<Line> layout(HDC dc, const std::u16string &s, int width, bool wrap) {
    std::vector<Line> lines;
    size_t p = 0;
    for (;;) {
        size_t end = s.find(u'\n', p);
        size_t stop = end == std::u16string::npos ? s.size() : end;
        size_t textEnd = stop > p && s[stop - 1] == u'\r' ? stop - 1 : stop;
        size_t at = p;
        while (wrap && at < textEnd) {
            int fit = 0;
            SIZE size{};
            GetTextExtentExPointW(dc, reinterpret_cast<LPCWSTR>(s.c_str() + at), int(textEnd - at),
                                  std::max(width, 1), &fit, nullptr, &size);
            if (size_t(fit) >= textEnd - at)
                break;
            size_t n = std::max(fit, 1);
            size_t space = s.find_last_of(u' ', at + n);
            if (space != std::u16string::npos && space >= at && space < at + n + 1 && space > at)
                n = space - at + 1;
            lines.push_back(Line{at, n});
            at += n;
        }
        lines.push_back(Line{at, textEnd - at});
        if (end == std::u16string::npos)
            return lines;
        p = end + 1;
    }
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
    std::vector<Line> lines = multi ? layout(dc, s, inner.right - inner.left, wrap)
                                    : std::vector<Line>{Line{0, s.size()}};
    size_t from = 0, to = 0;
    selection(w, &from, &to);
    // The caret's line and column, scrolled into view.
    size_t caretLine = 0;
    for (size_t i = 0; i < lines.size(); ++i)
        if (to >= lines[i].start)
            caretLine = i;
    int rows = std::max<int>(1, (inner.bottom - inner.top) / std::max<int>(tm.tmHeight, 1));
    size_t first = caretLine + 1 > size_t(rows) ? caretLine + 1 - size_t(rows) : 0;
    const Line &cl = lines[caretLine];
    int caretX = widthOf(dc, s, cl.start, to - cl.start);
    int shift = std::max(0, caretX - (inner.right - inner.left - 2));
    int top = multi ? inner.top : (inner.top + inner.bottom - tm.tmHeight) / 2;
    SetBkMode(dc, OPAQUE);
    for (size_t i = first; i < lines.size(); ++i) {
        int y = top + int(i - first) * tm.tmHeight;
        if (y >= inner.bottom)
            break;
        const Line &l = lines[i];
        size_t a = std::clamp(from, l.start, l.start + l.length);
        size_t b = std::clamp(to, l.start, l.start + l.length);
        int x = inner.left - shift;
        struct Piece {
            size_t at, n;
            bool selected;
        } pieces[3] = {
            {l.start, a - l.start, false}, {a, b - a, true}, {b, l.start + l.length - b, false}};
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
}

} // namespace emul::look
