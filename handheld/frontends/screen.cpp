// Text rendering of the screen, from the window system's snapshot of the foreground window.
#include "frontends/screen.h"

#include "emul/harness.h"
#include "emul/text.h"
#include "emul/windows_sys.h"

#include <vector>

namespace handheld {

namespace {

// Splits UTF-8 text into lines of at most `width` characters (code points), at line breaks
// and, where a line is too long, at the last blank that fits.
std::vector<std::string> wrap(const std::string &text, size_t width) {
    std::vector<std::string> out;
    std::u16string all = emul::utf16(text);
    std::u16string cur;
    auto flush = [&] {
        out.push_back(emul::utf8(cur));
        cur.clear();
    };
    for (size_t i = 0; i < all.size(); ++i) {
        char16_t c = all[i];
        if (c == u'\r')
            continue;
        if (c == u'\n') {
            flush();
            continue;
        }
        cur += c == u'\t' ? u' ' : c;
        if (cur.size() > width) {
            size_t cut = cur.rfind(u' ', width);
            std::u16string rest;
            if (cut == std::u16string::npos || cut == 0) {
                rest = cur.substr(width);
                cur.resize(width);
            } else {
                rest = cur.substr(cut + 1);
                cur.resize(cut);
            }
            flush();
            cur = rest;
        }
    }
    if (!cur.empty() || out.empty())
        flush();
    return out;
}

size_t columns(const std::string &utf8Text) {
    return emul::utf16(utf8Text).size();
}

struct Canvas {
    int width;
    std::string text;
    void rule() { text += "+" + std::string(size_t(width), '-') + "+\n"; }
    void row(const std::string &s) {
        for (auto &l : wrap(s, size_t(width))) {
            size_t n = columns(l);
            text += "|" + l + std::string(n < size_t(width) ? size_t(width) - n : 0, ' ') + "|\n";
        }
    }
};

std::string controlLine(const emul::harness::ControlState &st) {
    std::string cls = emul::utf8(emul::foldCase(emul::utf16(st.className)));
    if (st.checked)
        return std::string(*st.checked ? "[x] " : "[ ] ") + st.text;
    if (st.pos && st.min && st.max)
        return (st.text.empty() ? "" : st.text + " ") + std::to_string(*st.pos) + " (" +
               std::to_string(*st.min) + ".." + std::to_string(*st.max) + ")";
    if (st.items) {
        std::string sel = st.selected ? *st.selected : "";
        return "[" + sel + " v]";
    }
    if (cls == "button")
        return "[ " + st.text + " ]";
    return st.text;
}

void drawChildren(const emul::WindowInfo &parent, Canvas &c) {
    for (const emul::WindowInfo &w : parent.children) {
        if (!w.visible)
            continue;
        emul::harness::ControlState st = emul::harness::controlState(w);
        // Containers without text of their own take no room; an empty edit box does.
        if (!st.text.empty() || st.checked || st.pos || st.items ||
            w.kind == emul::ControlKind::Edit || w.kind == emul::ControlKind::Ink)
            c.row(controlLine(st));
        drawChildren(w, c);
    }
}

} // namespace

std::string renderScreen(emul::Device &device, int width) {
    Canvas c{width, ""};
    uintptr_t fg = device.windows().foreground();
    c.rule();
    if (!fg) {
        c.row("(no foreground window)");
        c.rule();
        return c.text;
    }
    c.row(emul::utf8(device.windows().text(fg)));
    c.rule();
    for (const emul::WindowInfo &top : device.windows().view().snapshot())
        if (top.hwnd == fg)
            drawChildren(top, c);
    c.rule();
    return c.text;
}

} // namespace handheld
