// DrawTextW: text laid out in a rectangle, in lines, with alignment, word breaks, an ellipsis
// at the end of what does not fit, and `&` mnemonics underlined (`&&` is one `&`).
#include "gdi/gdi.h"
#include "kernel/user_pointers.h"

#include <algorithm>
#include <string>
#include <vector>

using namespace emul::gdi;

namespace {

struct Line {
    std::u16string text;
    int mnemonic = -1; // index of the underlined character in `text`
    int width = 0;
};

// Takes the prefix characters out: "&x" underlines x, "&&" is a literal "&", a trailing "&"
// is dropped. Returns the index of the last mnemonic, or -1.
std::u16string stripPrefixes(const std::u16string &in, int *mnemonic) {
    std::u16string out;
    *mnemonic = -1;
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] != u'&') {
            out.push_back(in[i]);
            continue;
        }
        if (i + 1 >= in.size())
            break;
        if (in[i + 1] != u'&')
            *mnemonic = int(out.size());
        out.push_back(in[++i]);
    }
    return out;
}

// `mnemonic` follows its character to where the spaces put it.
std::u16string expandTabs(const std::u16string &in, RealFont *f, UINT format, int *mnemonic) {
    if (!(format & DT_EXPANDTABS) || in.find(u'\t') == std::u16string::npos)
        return in;
    // Tab stops every eight average characters, made of spaces of that width.
    TEXTMETRICW tm;
    textMetrics(f, &tm);
    int space = std::max(1, textWidth(f, u" ", 1));
    int stop = 8 * tm.tmAveCharWidth;
    std::u16string out;
    int moved = -1;
    for (size_t i = 0; i < in.size(); ++i) {
        char16_t c = in[i];
        if (int(i) == *mnemonic)
            moved = int(out.size());
        if (c != u'\t') {
            out.push_back(c);
            continue;
        }
        int w = textWidth(f, out.data(), int(out.size()));
        int next = (w / stop + 1) * stop;
        out.append(size_t(std::max(1, (next - w + space - 1) / space)), u' ');
    }
    *mnemonic = moved;
    return out;
}

// Breaks one paragraph into lines no wider than `width`, at spaces; a word wider than the
// rectangle keeps a line of its own.
void wrap(const std::u16string &para, int mnemonic, RealFont *f, int width,
          std::vector<Line> *out) {
    size_t start = 0;
    while (true) {
        size_t end = start, lastBreak = std::u16string::npos;
        int w = 0;
        while (end < para.size()) {
            if (para[end] == u' ')
                lastBreak = end;
            w += textWidth(f, para.data() + end, 1);
            if (w > width && end > start && para[end] != u' ')
                break;
            ++end;
        }
        if (end < para.size() && lastBreak != std::u16string::npos && lastBreak > start)
            end = lastBreak;
        else if (end < para.size()) {
            // One long word: it runs to its end.
            while (end < para.size() && para[end] != u' ')
                ++end;
        }
        Line l;
        size_t stop = end;
        while (stop > start && para[stop - 1] == u' ')
            --stop;
        l.text = para.substr(start, stop - start);
        if (mnemonic >= int(start) && mnemonic < int(stop))
            l.mnemonic = mnemonic - int(start);
        out->push_back(std::move(l));
        while (end < para.size() && para[end] == u' ')
            ++end;
        if (end >= para.size())
            return;
        start = end;
    }
}

void ellipsize(Line &l, RealFont *f, int width) {
    if (textWidth(f, l.text.data(), int(l.text.size())) <= width)
        return;
    static const std::u16string kDots = u"...";
    std::u16string t = l.text;
    while (!t.empty() && textWidth(f, (t + kDots).data(), int(t.size() + kDots.size())) > width)
        t.pop_back();
    if (l.mnemonic >= int(t.size()))
        l.mnemonic = -1;
    l.text = t + kDots;
}

std::vector<Line> layOut(const std::u16string &text, RealFont *f, UINT format, int width) {
    std::vector<Line> lines;
    std::vector<std::u16string> paras;
    if (format & DT_SINGLELINE) {
        paras.push_back(text);
    } else {
        std::u16string cur;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == u'\r' || text[i] == u'\n') {
                paras.push_back(cur);
                cur.clear();
                if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                    ++i;
                continue;
            }
            cur.push_back(text[i]);
        }
        paras.push_back(cur);
    }
    for (const std::u16string &p : paras) {
        int mnemonic = -1;
        std::u16string t = (format & DT_NOPREFIX) ? p : stripPrefixes(p, &mnemonic);
        t = expandTabs(t, f, format, &mnemonic);
        if ((format & DT_WORDBREAK) && !(format & DT_SINGLELINE)) {
            wrap(t, mnemonic, f, width, &lines);
            continue;
        }
        Line l;
        l.text = t;
        l.mnemonic = mnemonic;
        lines.push_back(std::move(l));
    }
    for (Line &l : lines) {
        if (format & DT_END_ELLIPSIS)
            ellipsize(l, f, width);
        l.width = textWidth(f, l.text.data(), int(l.text.size()));
    }
    return lines;
}

} // namespace

CEAPI int DrawTextW(HDC h, LPCWSTR s, int n, LPRECT r, UINT format) {
    if (emul::refusedPointer(s, r))
        return 0;
    Dc *dc = state().dc(h);
    if (!dc || !r || (!s && n != 0)) {
        SetLastError(!dc ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::u16string text;
    if (n < 0)
        text = s ? std::u16string(s) : std::u16string();
    else
        text.assign(s, size_t(n));
    RealFont *f = fontOf(*dc);
    if (!f)
        return 0;
    TEXTMETRICW tm;
    textMetrics(f, &tm);
    int lineHeight = tm.tmHeight + ((format & DT_EXTERNALLEADING) ? tm.tmExternalLeading : 0);
    RECT box = normalized(r->left, r->top, r->right, r->bottom);
    std::vector<Line> lines = layOut(text, f, format, box.right - box.left);
    int height = int(lines.size()) * lineHeight;
    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const Line &l : lines)
            widest = std::max(widest, l.width);
        r->right = r->left + widest;
        r->bottom = r->top + height;
        return height;
    }
    // Vertical placement applies to a single line only.
    int top = box.top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER)
            top = box.top + (box.bottom - box.top - lineHeight) / 2;
        else if (format & DT_BOTTOM)
            top = box.bottom - lineHeight;
    }
    RECT clip = toDevice(*dc, box);
    const RECT *clipTo = (format & DT_NOCLIP) ? nullptr : &clip;
    bool opaque = dc->st.bkMode == OPAQUE;
    int y = top;
    for (const Line &l : lines) {
        int x = box.left;
        if (format & DT_CENTER)
            x = box.left + (box.right - box.left - l.width) / 2;
        else if (format & DT_RIGHT)
            x = box.right - l.width;
        POINT p{x + dc->origin.x, y + dc->origin.y};
        drawText(*dc, p.x, p.y, l.text.data(), int(l.text.size()), nullptr, clipTo, opaque);
        if (l.mnemonic >= 0)
            underlineChar(*dc, p.x, p.y, l.text.data(), int(l.text.size()), l.mnemonic, clipTo);
        y += lineHeight;
    }
    return (format & (DT_VCENTER | DT_BOTTOM)) && (format & DT_SINGLELINE) ? y - box.top : height;
}
