// How an edit box looks: its text in lines (wrapped at words where the box does not scroll
// sideways), the selection in the highlight colours and the caret, kept in view.
#include "gwes/paint/look.h"

#include "gwes/controls/combobox.h"
#include "gwes/controls/controls.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace emul::look {

namespace {

// No line holds more characters than this: the narrowest glyph is a pixel wide.
constexpr size_t kMeasured = 512;

// A multi-line box shows a tab as the room to the next stop, every eight average characters
// (32 dialog units); a single-line box (tab 0) shows it as a character.
int tabStopOf(HDC dc) {
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    return std::max<int>(1, 8 * tm.tmAveCharWidth);
}

// The x after each of the `n` characters from `start`, where a line starts.
std::vector<int> advances(HDC dc, const std::u16string &s, size_t start, size_t n, int tab) {
    std::vector<int> ends(n);
    int x = 0;
    for (size_t i = 0; i < n;) {
        if (tab && s[start + i] == u'\t') {
            x = (x / tab + 1) * tab;
            ends[i++] = x;
            continue;
        }
        size_t j = i;
        while (j < n && !(tab && s[start + j] == u'\t'))
            ++j;
        SIZE size{};
        GetTextExtentExPointW(dc, reinterpret_cast<LPCWSTR>(s.c_str() + start + i), int(j - i), 0,
                              nullptr, ends.data() + i, &size);
        for (size_t k = i; k < j; ++k)
            ends[k] += x;
        x = ends[j - 1];
        i = j;
    }
    return ends;
}

// How far `n` characters from a line's start reach.
int advanceTo(HDC dc, const std::u16string &s, size_t start, size_t n, int tab) {
    if (!n)
        return 0;
    if (!tab || std::find(s.begin() + long(start), s.begin() + long(start + n), u'\t') ==
                    s.begin() + long(start + n)) {
        SIZE size{};
        GetTextExtentPoint32W(dc, reinterpret_cast<LPCWSTR>(s.c_str() + start), int(n), &size);
        return size.cx;
    }
    return advances(dc, s, start, n, tab).back();
}

// Lays out `s` from `p`, the start of a line, onto the end of `lines`: its paragraphs, each
// broken at the last space that fits when `wrap`.
void layout(HDC dc, const std::u16string &s, size_t p, int width, bool wrap,
            std::vector<std::pair<size_t, size_t>> &lines) {
    int tab = tabStopOf(dc);
    for (;;) {
        size_t end = s.find(u'\n', p);
        size_t stop = end == std::u16string::npos ? s.size() : end;
        size_t textEnd = stop > p && s[stop - 1] == u'\r' ? stop - 1 : stop;
        size_t at = p;
        while (wrap && at < textEnd) {
            size_t n = std::min(textEnd - at, kMeasured);
            std::vector<int> ends = advances(dc, s, at, n, tab);
            int fit =
                int(std::upper_bound(ends.begin(), ends.end(), std::max(width, 1)) - ends.begin());
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
        l.relaid = true;
        l.lines.clear();
        l.text = s;
        l.width = width;
        l.wrap = wrap;
    }
    layout(dc, s, from, width, wrap, l.lines);
    *appendedOut = appended;
    return l;
}

// The selection as the control tells it, and the end the caret stands at; a control that keeps
// no selection has its caret at the end of its text.
void selection(Window *w, size_t *from, size_t *to, size_t *caret) {
    size_t anchor = 0, at = 0;
    if (editSelection(w, &anchor, &at)) {
        *from = std::min(anchor, at);
        *to = std::max(anchor, at);
        *caret = at;
        return;
    }
    DWORD start = 0xFFFFFFFFu, end = 0xFFFFFFFFu;
    wins().send(w, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    if (start == 0xFFFFFFFFu || end == 0xFFFFFFFFu)
        start = end = DWORD(w->text.size());
    *from = std::min<size_t>(std::min(start, end), w->text.size());
    *to = *caret = std::min<size_t>(std::max(start, end), w->text.size());
}

// Where a box shows its text: the lines, the first one in view, and how far the text is shifted
// left, so that the caret is in view. Taps are measured against the same view the paint draws.
struct View {
    RECT inner{};
    int top = 0, lineHeight = 1, shift = 0;
    size_t first = 0, caretLine = 0;
    int caretX = 0;
    bool multi = false, appended = false;
    EditLayout *kept = nullptr;
    std::vector<std::pair<size_t, size_t>> single;
    // A password box shows one character for each of its own.
    bool masked = false;
    std::u16string maskedText;
    const std::vector<std::pair<size_t, size_t>> &lines() const {
        return kept ? kept->lines : single;
    }
    const std::u16string &text(const Window *w) const { return masked ? maskedText : w->text; }
    // Where a line of a multi-line box starts, right of `inner.left - shift`: a centred or
    // right-aligned box places each line by its width, without the space a wrap ends it in.
    int align = 0, room = 0, tab = 0;
    size_t rows = 1;  // whole lines that fit
    bool bar = false; // the scroll bar is shown, in `barRect`
    RECT barRect{};
    int lineX(HDC dc, const Window *w, size_t line) const {
        if (!multi || !align || line >= lines().size())
            return 0;
        auto [start, n] = lines()[line];
        const std::u16string &s = text(w);
        if (line + 1 < lines().size() && n > 0 && s[start + n - 1] == u' ')
            --n;
        int spare = std::max<int>(0, room - advanceTo(dc, s, start, n, tab));
        return align == ES_RIGHT ? spare : spare / 2;
    }
};

bool isInk(const Window *w) {
    return w->className == u"richink";
}

// The lines of a multi-line box: one with WS_VSCROLL gives its scroll bar room beside them
// while they are more than fit, and only then.
EditLayout *multiLines(Window *w, HDC dc, View &v, const RECT &client, bool wrap) {
    int width = v.inner.right - v.inner.left;
    if (!(w->style & WS_VSCROLL))
        return &linesOf(w, dc, width, wrap, &v.appended);
    EditLayout &kept = editLayoutOf(w->h);
    bool bar = kept.bar;
    EditLayout *l = &linesOf(w, dc, width - (bar ? kListScrollWidth : 0), wrap, &v.appended);
    // Narrower with the bar, the lines are more: what overflows without it overflows with it.
    if (bar != (l->lines.size() > v.rows)) {
        bar = !bar;
        l = &linesOf(w, dc, width - (bar ? kListScrollWidth : 0), wrap, &v.appended);
    }
    kept.bar = v.bar = bar;
    if (bar) {
        RECT inside = client;
        if (w->style & WS_BORDER)
            InflateRect(&inside, -1, -1);
        v.barRect = RECT{inside.right - kListScrollWidth, inside.top, inside.right, inside.bottom};
        v.inner.right -= kListScrollWidth;
    }
    return l;
}

// `dc` has the control font selected.
View viewOf(Window *w, HDC dc, const RECT &client, size_t caret) {
    View v;
    v.inner = client;
    if (w->style & WS_BORDER)
        InflateRect(&v.inner, -1, -1);
    v.inner.left += 2;
    v.inner.right -= 1;
    bool ink = isInk(w);
    v.multi = ink || (w->style & ES_MULTILINE);
    bool wrap = ink || (v.multi && !(w->style & ES_AUTOHSCROLL));
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    v.lineHeight = std::max<int>(tm.tmHeight, 1);
    if (char16_t c = v.multi ? 0 : editPasswordChar(w)) {
        v.masked = true;
        v.maskedText.assign(w->text.size(), c);
    }
    const std::u16string &s = v.text(w);
    v.rows = size_t(std::max<int>(1, (v.inner.bottom - v.inner.top) / v.lineHeight));
    if (v.multi) {
        v.tab = tabStopOf(dc);
        v.kept = multiLines(w, dc, v, client, wrap);
    } else
        v.single.emplace_back(0, s.size());
    const auto &lines = v.lines();
    caret = std::min(caret, s.size());
    auto after = std::upper_bound(
        lines.begin(), lines.end(), caret,
        [](size_t at, const std::pair<size_t, size_t> &l) { return at < l.first; });
    v.caretLine = after == lines.begin() ? 0 : size_t(after - lines.begin()) - 1;
    // The view stays where the last paint left it until the caret leaves it, or where the
    // scroll bar put it until the caret or the text changes.
    const EditLayout &shown = editLayoutOf(w->h);
    size_t rows = v.rows;
    if (v.bar && shown.pinCaret == caret && shown.pinSize == s.size()) {
        v.first = std::min(shown.first, lines.size() > rows ? lines.size() - rows : 0);
    } else {
        v.first = std::min(shown.first, v.caretLine);
        if (v.caretLine >= v.first + rows)
            v.first = v.caretLine + 1 - rows;
    }
    size_t caretStart = lines[v.caretLine].first;
    v.caretX = advanceTo(dc, s, caretStart, caret - caretStart, v.tab);
    int room = std::max<int>(0, v.inner.right - v.inner.left - 2);
    v.room = room;
    // ES_CENTER is 1 and ES_RIGHT 2: both bits set mean right.
    v.align = (w->style & ES_RIGHT) ? ES_RIGHT : int(w->style & ES_CENTER);
    v.shift = std::clamp(shown.shift, std::max(0, v.caretX - room), v.caretX);
    // A line of one that fits shows whole, placed as its style says.
    if (!v.multi) {
        int width = advanceTo(dc, s, 0, s.size(), 0);
        int align = int(w->style & (ES_CENTER | ES_RIGHT));
        if (width <= room)
            v.shift = align == ES_RIGHT    ? width - room
                      : align == ES_CENTER ? (width - room) / 2
                                           : 0;
    }
    v.top = v.multi ? v.inner.top : (v.inner.top + v.inner.bottom - v.lineHeight) / 2;
    return v;
}

// A memory DC with the box's font, for measuring outside a paint.
struct Measure {
    explicit Measure(const Window *w) : old(dc ? SelectObject(dc, fontOf(w)) : nullptr) {}
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old;
    ~Measure() {
        if (!dc)
            return;
        SelectObject(dc, old);
        DeleteDC(dc);
    }
};

RECT clientOf(const Window *w) {
    return RECT{0, 0, w->right - w->left, w->bottom - w->top};
}

// Line `i` of the box at `y`: the selection in the highlight colours, a tab as the room it takes.
void drawLine(HDC dc, const View &v, const Window *w, size_t i, int y, size_t from, size_t to,
              COLORREF color) {
    const std::u16string &s = v.text(w);
    size_t start = v.lines()[i].first, stop = start + v.lines()[i].second;
    size_t a = std::clamp(from, start, stop), b = std::clamp(to, start, stop);
    int left = v.inner.left - v.shift + v.lineX(dc, w, i), x = left;
    auto isTab = [&](size_t k) { return v.tab && s[k] == u'\t'; };
    for (size_t k = start; k < stop;) {
        bool selected = k >= a && k < b;
        if (isTab(k)) {
            int next = left + ((x - left) / v.tab + 1) * v.tab;
            RECT r{x, y, next, y + v.lineHeight};
            if (selected && IntersectRect(&r, &r, &v.inner))
                FillRect(dc, &r, GetSysColorBrush(COLOR_HIGHLIGHT));
            x = next;
            ++k;
            continue;
        }
        size_t end = k < a ? a : k < b ? b : stop, run = k;
        while (run < end && !isTab(run))
            ++run;
        SetTextColor(dc, selected ? sys(COLOR_HIGHLIGHTTEXT) : color);
        SetBkMode(dc, selected ? OPAQUE : TRANSPARENT);
        SetBkColor(dc, sys(COLOR_HIGHLIGHT));
        ExtTextOutW(dc, x, y, ETO_CLIPPED, &v.inner, reinterpret_cast<LPCWSTR>(s.c_str() + k),
                    UINT(run - k), nullptr);
        x += advanceTo(dc, s, k, run - k, 0);
        k = run;
    }
}

} // namespace

void paintEdit(Window *w, HDC dc, const RECT &client, bool ink) {
    // A box the user cannot type into asks for the colours of a label.
    bool fixed = w->style & (ES_READONLY | WS_DISABLED);
    HBRUSH brush = ink ? GetSysColorBrush(COLOR_WINDOW)
                       : ctlColor(w, fixed ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT, dc);
    COLORREF color = (w->style & WS_DISABLED) ? sys(COLOR_GRAYTEXT) : GetTextColor(dc);
    FillRect(dc, &client, brush);
    if (w->style & WS_BORDER)
        frame(dc, client, sys(COLOR_WINDOWFRAME));
    HGDIOBJ oldFont = SelectObject(dc, controlFont());
    RECT clip{};
    GetClipBox(dc, &clip);
    size_t from = 0, to = 0, caret = 0;
    selection(w, &from, &to, &caret);
    bool hasFocus = focused(w);
    // Without the focus a box shows no selection unless its style keeps it.
    if (!hasFocus && !(w->style & ES_NOHIDESEL))
        from = to = caret;
    View v = viewOf(w, dc, client, caret);
    const RECT &inner = v.inner;
    const auto &lines = v.lines();
    SetBkMode(dc, OPAQUE);
    for (size_t i = v.first; i < lines.size(); ++i) {
        int y = v.top + int(i - v.first) * v.lineHeight;
        if (y >= inner.bottom || y >= clip.bottom)
            break;
        if (y + v.lineHeight <= clip.top)
            continue;
        drawLine(dc, v, w, i, y, from, to, color);
    }
    if (v.bar)
        paintScrollBar(dc, scrollBarIn(v.barRect, int(lines.size()), int(v.rows), int(v.first)));
    if (hasFocus && v.caretLine >= v.first && v.caretLine < v.first + v.rows) {
        int y = v.top + int(v.caretLine - v.first) * v.lineHeight;
        int x = inner.left - v.shift + v.lineX(dc, w, v.caretLine) + v.caretX;
        // The caret inverts what it stands on, so a selected letter under it stays visible.
        if (x < inner.right)
            PatBlt(dc, x, y, 1, std::min<int>(y + v.lineHeight, inner.bottom) - y, DSTINVERT);
    }
    SelectObject(dc, oldFont);
    EditLayout *kept = v.kept;
    if (!kept) {
        editLayoutOf(w->h).shift = v.shift;
        return;
    }
    // A paint of the last lines only (typing at the end) is all it takes unless the text
    // changed before them or the lines scrolled: then everything paints again.
    bool appended = v.appended && !kept->relaid;
    kept->relaid = false;
    bool partial = clip.top > client.top || clip.bottom < client.bottom;
    if (partial && (!appended || kept->first != v.first || kept->shift != v.shift))
        InvalidateRect(toHwnd(w), nullptr, TRUE);
    kept->first = v.first;
    kept->top = v.top;
    kept->lineHeight = v.lineHeight;
    kept->shift = v.shift;
}

} // namespace emul::look

namespace emul {

namespace {

using Lines = std::vector<std::pair<size_t, size_t>>;

size_t lineIndexOf(const Lines &lines, size_t i) {
    auto after = std::upper_bound(
        lines.begin(), lines.end(), i,
        [](size_t at, const std::pair<size_t, size_t> &l) { return at < l.first; });
    return after == lines.begin() ? 0 : size_t(after - lines.begin()) - 1;
}

// A line's characters without the space a wrapped line ends in: the caret goes before it.
size_t shownLength(const std::u16string &text, const Lines &lines, size_t line) {
    size_t start = lines[line].first, n = lines[line].second;
    if (line + 1 < lines.size() && n > 0 && text[start + n - 1] == u' ')
        --n;
    return n;
}

// The character boundary of `line` nearest `x` pixels from the line's start.
size_t nearestIn(HDC dc, const std::u16string &text, const Lines &lines, size_t line, int x,
                 int tab) {
    size_t start = lines[line].first, n = shownLength(text, lines, line);
    std::vector<int> ends = look::advances(dc, text, start, n, tab);
    size_t k = 0;
    int left = 0;
    while (k < n && x > (left + ends[k]) / 2)
        left = ends[k++];
    return start + k;
}

} // namespace

bool editScrollPen(Window *w, UINT msg, int x, int y) {
    using namespace look;
    EditLayout &kept = editLayoutOf(w->h);
    if (msg != WM_LBUTTONDOWN && kept.thumbGrab < 0)
        return false;
    Measure m(w);
    if (!m.dc)
        return false;
    size_t from = 0, to = 0, caret = 0;
    selection(w, &from, &to, &caret);
    View v = viewOf(w, m.dc, clientOf(w), caret);
    if (!v.bar) {
        kept.thumbGrab = -1;
        return false;
    }
    int n = int(v.lines().size()), rows = int(v.rows);
    ListScrollBar s = scrollBarIn(v.barRect, n, rows, int(v.first));
    long first = long(v.first);
    if (msg == WM_LBUTTONDOWN) {
        if (!PtInRect(&s.bar, POINT{x, y}))
            return false;
        // The arrows move a line, the track beside the thumb a page; the thumb is held.
        if (y < s.up.bottom)
            --first;
        else if (y >= s.down.top)
            ++first;
        else if (y < s.thumb.top || y >= s.thumb.bottom)
            first += y < s.thumb.top ? -rows : rows;
        else
            kept.thumbGrab = y - s.thumb.top;
    } else {
        int travel = (s.down.top - s.up.bottom) - (s.thumb.bottom - s.thumb.top);
        if (travel > 0)
            first = (long(y - kept.thumbGrab - s.up.bottom) * (n - rows) + travel / 2) / travel;
        if (msg == WM_LBUTTONUP)
            kept.thumbGrab = -1;
    }
    kept.first = size_t(std::clamp<long>(first, 0, std::max(0, n - rows)));
    kept.pinCaret = std::min(caret, w->text.size());
    kept.pinSize = w->text.size();
    invalidate(w, nullptr, true);
    wins().changed();
    return true;
}

bool editHasRoomFor(Window *w, const std::u16string &before, const std::u16string &after) {
    using namespace look;
    Measure m(w);
    if (!m.dc)
        return true;
    View v = viewOf(w, m.dc, clientOf(w), 0);
    int width = v.inner.right - v.inner.left;
    bool wrap = !(w->style & ES_AUTOHSCROLL);
    std::vector<std::pair<size_t, size_t>> was, will;
    layout(m.dc, before, 0, width, wrap, was);
    layout(m.dc, after, 0, width, wrap, will);
    size_t rows = size_t(std::max<int>(1, (v.inner.bottom - v.inner.top) / v.lineHeight));
    return will.size() <= std::max(rows, was.size());
}

POINT editPointOf(Window *w, size_t i) {
    using namespace look;
    Measure m(w);
    if (!m.dc)
        return POINT{0, 0};
    size_t from = 0, to = 0, caret = 0;
    selection(w, &from, &to, &caret);
    View v = viewOf(w, m.dc, clientOf(w), caret);
    const auto &lines = v.lines();
    i = std::min(i, w->text.size());
    size_t line = lineIndexOf(lines, i);
    int x = v.lineX(m.dc, w, line) +
            advanceTo(m.dc, v.text(w), lines[line].first, i - lines[line].first, v.tab);
    return POINT{v.inner.left - v.shift + x, v.top + (int(line) - int(v.first)) * v.lineHeight};
}

size_t editCharAt(Window *w, int x, int y) {
    using namespace look;
    Measure m(w);
    if (!m.dc)
        return 0;
    size_t from = 0, to = 0, caret = 0;
    selection(w, &from, &to, &caret);
    View v = viewOf(w, m.dc, clientOf(w), caret);
    const auto &lines = v.lines();
    // Above the first line shown or below the last, the line there; beside a line, its end.
    int row = y < v.top ? -1 : (y - v.top) / v.lineHeight;
    long line = std::clamp<long>(long(v.first) + row, 0, long(lines.size()) - 1);
    return nearestIn(m.dc, v.text(w), lines, size_t(line),
                     x - (v.inner.left - v.shift + v.lineX(m.dc, w, size_t(line))), v.tab);
}

size_t editLineMove(Window *w, size_t caret, int lines, bool pages) {
    using namespace look;
    Measure m(w);
    if (!m.dc)
        return caret;
    View v = viewOf(w, m.dc, clientOf(w), caret);
    const Lines &all = v.lines();
    caret = std::min(caret, w->text.size());
    size_t line = lineIndexOf(all, caret);
    long rows = std::max<long>(1, (v.inner.bottom - v.inner.top) / v.lineHeight);
    long to =
        std::clamp<long>(long(line) + (pages ? lines * rows : lines), 0, long(all.size()) - 1);
    if (size_t(to) == line)
        return caret;
    // The caret keeps its place across the screen, whatever the lines' alignment.
    int x = v.lineX(m.dc, w, line) +
            advanceTo(m.dc, w->text, all[line].first, caret - all[line].first, v.tab);
    return nearestIn(m.dc, w->text, all, size_t(to), x - v.lineX(m.dc, w, size_t(to)), v.tab);
}

void editLineBounds(Window *w, size_t caret, size_t *start, size_t *end) {
    using namespace look;
    Measure m(w);
    caret = std::min(caret, w->text.size());
    *start = *end = caret;
    if (!m.dc)
        return;
    View v = viewOf(w, m.dc, clientOf(w), caret);
    const Lines &all = v.lines();
    size_t line = lineIndexOf(all, caret);
    *start = all[line].first;
    *end = *start + shownLength(w->text, all, line);
}

} // namespace emul
