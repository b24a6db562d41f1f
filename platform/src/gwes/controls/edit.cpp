// The Edit control, and the ink control of the notes program, which takes typed text as a
// multi-line box does. The text is the window's text, lines ending in "\r\n"; the caret and the
// selection are positions in it (never between "\r" and "\n"): the anchor, where a selection
// started, and the caret, where it ends. Typing replaces the selection.
//
// Keys: Left, Right, Home, End (Ctrl: the whole text), Up, Down, Page Up and Page Down (a
// multi-line box, by the lines as it shows them, wrapped; elsewhere Up and Down are Left and
// Right) move the caret, with Shift they extend the selection; Delete and Backspace take the
// selection, else the character after or before the caret.
//
// The pen puts the caret where it goes down and, dragged, selects up to where it is, measured
// against the lines as the box shows them (EM_POSFROMCHAR and EM_CHARFROMPOS too).
#include "gwes/controls/combobox.h" // foldLetter
#include "gwes/paint/paint.h"
#include "kernel/user_pointers.h"

#include <algorithm>
#include <cstdlib>

namespace emul {

namespace {

constexpr size_t kDefaultLimit = 0x7FFFFFFE;

struct EditData : ControlData {
    size_t anchor = 0, caret = 0;
    size_t limit = kDefaultLimit;
    bool selecting = false; // the pen went down in the box and has not lifted
    // The last pen-down: a second one soon after and close by is a double tap.
    DWORD lastDownTime = 0;
    int lastDownX = -100, lastDownY = -100;
    char16_t passwordChar = u'*';
    size_t from() const { return std::min(anchor, caret); }
    size_t to() const { return std::max(anchor, caret); }
    void inspect(const Window &, WindowInfo &s) const override {
        s.selStart = int(from());
        s.selEnd = int(to());
        s.caret = int(caret);
    }
};

EditData *data(Window *w) {
    return controlData<EditData>(w);
}

bool multiLine(const Window *w) {
    return (w->style & ES_MULTILINE) != 0 || !equalsNoCase(w->className, u"Edit");
}

// A style of the Edit class (the ink control keeps none).
bool styled(const Window *w, uint32_t bit) {
    return (w->style & bit) && equalsNoCase(w->className, u"Edit");
}

bool isBreak(const std::u16string &t, size_t i) {
    return i + 1 < t.size() && t[i] == u'\r' && t[i + 1] == u'\n';
}

// One position further back or on, a line break counting as one.
size_t back(const std::u16string &t, size_t i) {
    if (i == 0)
        return 0;
    return i >= 2 && isBreak(t, i - 2) ? i - 2 : i - 1;
}
size_t forth(const std::u16string &t, size_t i) {
    if (i >= t.size())
        return t.size();
    return isBreak(t, i) ? i + 2 : i + 1;
}

void notify(Window *w, UINT code) {
    notifyParent(w, code);
}

void setSel(Window *w, size_t anchor, size_t caret) {
    EditData *d = data(w);
    const std::u16string &t = w->text;
    auto fix = [&t](size_t i) {
        i = std::min(i, t.size());
        return i > 0 && isBreak(t, i - 1) ? i - 1 : i; // never between "\r" and "\n"
    };
    d->anchor = fix(anchor);
    d->caret = fix(caret);
    wins().changed();
}

// Puts `s` in place of the selection, as much of it as the limit lets in; false when nothing
// could go in (EN_MAXTEXT said so).
bool replaceSel(Window *w, std::u16string s, bool notifyChange) {
    EditData *d = data(w);
    size_t from = d->from(), to = d->to();
    size_t room =
        w->text.size() - (to - from) >= d->limit ? 0 : d->limit - (w->text.size() - (to - from));
    bool cut = s.size() > room;
    if (cut) {
        s.resize(room);
        if (!s.empty() && s.back() == u'\r')
            s.pop_back();
    }
    // A multi-line box that does not scroll up takes no more lines than it shows.
    if (styled(w, ES_MULTILINE) && !(w->style & ES_AUTOVSCROLL) && !s.empty()) {
        std::u16string after = w->text;
        after.replace(from, to - from, s);
        if (!editHasRoomFor(w, w->text, after)) {
            notify(w, EN_MAXTEXT);
            return false;
        }
    }
    if (cut)
        notify(w, EN_MAXTEXT);
    if (s.empty() && from == to)
        return !cut;
    w->text.replace(from, to - from, s);
    setSel(w, from + s.size(), from + s.size());
    if (notifyChange)
        notify(w, EN_CHANGE);
    return true;
}

// A key that moves the caret; with Shift it takes the selection along.
bool moveKey(Window *w, WPARAM vk) {
    EditData *d = data(w);
    const std::u16string &t = w->text;
    // The modifiers as they were when the key was pressed, not as they are now.
    auto &ws = wins();
    Queue &q = ws.queue(kern().self());
    uint32_t mods = q.hasLastKey ? q.lastKey.mods : ws.mods;
    bool shift = (mods & kModShift) != 0, ctrl = (mods & kModCtrl) != 0;
    bool multi = multiLine(w);
    if (!multi && vk == VK_UP)
        vk = VK_LEFT;
    if (!multi && vk == VK_DOWN)
        vk = VK_RIGHT;
    size_t c = d->caret;
    switch (vk) {
    case VK_LEFT:
        c = !shift && d->anchor != d->caret ? d->from() : back(t, c);
        break;
    case VK_RIGHT:
        c = !shift && d->anchor != d->caret ? d->to() : forth(t, c);
        break;
    case VK_HOME:
    case VK_END: {
        size_t start = 0, end = 0;
        editLineBounds(w, c, &start, &end);
        c = vk == VK_HOME ? (ctrl ? 0 : start) : (ctrl ? t.size() : end);
        break;
    }
    case VK_UP:
    case VK_DOWN:
        c = editLineMove(w, c, vk == VK_UP ? -1 : 1, false);
        break;
    case VK_PRIOR:
    case VK_NEXT:
        if (!multi)
            return false;
        c = editLineMove(w, c, vk == VK_PRIOR ? -1 : 1, true);
        break;
    default:
        return false;
    }
    setSel(w, shift ? d->anchor : c, c);
    return true;
}

LRESULT keyDown(Window *w, WPARAM vk) {
    EditData *d = data(w);
    if (moveKey(w, vk))
        return 0;
    if (vk == VK_DELETE && !styled(w, ES_READONLY)) {
        if (d->anchor == d->caret)
            setSel(w, d->caret, forth(w->text, d->caret));
        replaceSel(w, u"", true);
    }
    return 0;
}

// What the style does to a typed character: a read-only box takes none, a number box digits
// alone, and a box of one case turns letters into it; 0 refuses the character.
char16_t allowed(const Window *w, char16_t c) {
    if (styled(w, ES_READONLY))
        return 0;
    bool printable = c >= 32 && c != 127;
    if (styled(w, ES_NUMBER) && printable && (c < u'0' || c > u'9'))
        return 0;
    if (styled(w, ES_LOWERCASE))
        return foldLetter(c);
    if (styled(w, ES_UPPERCASE) &&
        ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)))
        return char16_t(c - 32);
    return c;
}

// The selection onto the clipboard as text; false when there is none, or the box hides it.
bool copySelection(Window *w) {
    EditData *d = data(w);
    if (d->anchor == d->caret || editPasswordChar(w) || !OpenClipboard(toHwnd(w)))
        return false;
    std::u16string s = w->text.substr(d->from(), d->to() - d->from());
    EmptyClipboard();
    auto *mem = static_cast<char16_t *>(LocalAlloc(LMEM_FIXED, UINT((s.size() + 1) * 2)));
    if (mem) {
        std::copy(s.begin(), s.end(), mem);
        mem[s.size()] = 0;
        if (!SetClipboardData(CF_UNICODETEXT, mem)) {
            LocalFree(mem);
            mem = nullptr;
        }
    }
    CloseClipboard();
    return mem != nullptr;
}

// The clipboard's text in place of the selection; a box of one line takes its first line.
void paste(Window *w) {
    if (styled(w, ES_READONLY) || !OpenClipboard(toHwnd(w)))
        return;
    std::u16string s;
    if (auto *p = static_cast<const char16_t *>(GetClipboardData(CF_UNICODETEXT)))
        s = p;
    CloseClipboard();
    if (!multiLine(w))
        s = s.substr(0, s.find_first_of(u"\r\n"));
    if (!s.empty())
        replaceSel(w, s, true);
}

// WM_COPY, WM_CUT, WM_PASTE and WM_CLEAR, as the keys Ctrl+C, Ctrl+X and Ctrl+V ask for them.
LRESULT clipboardMessage(Window *w, UINT msg) {
    bool fixed = styled(w, ES_READONLY);
    if (msg == WM_COPY)
        copySelection(w);
    else if (msg == WM_CUT && !fixed && copySelection(w))
        replaceSel(w, u"", true);
    else if (msg == WM_CLEAR && !fixed)
        replaceSel(w, u"", true);
    else if (msg == WM_PASTE)
        paste(w);
    return 0;
}

LRESULT typed(Window *w, char16_t c) {
    EditData *d = data(w);
    bool multi = multiLine(w);
    if (c == 3 || c == 0x18 || c == 0x16) // Ctrl+C, Ctrl+X, Ctrl+V
        return clipboardMessage(w, c == 3 ? WM_COPY : c == 0x18 ? WM_CUT : WM_PASTE);
    if ((c = allowed(w, c)) == 0)
        return 0;
    if (c == 8) {
        if (d->anchor == d->caret)
            setSel(w, back(w->text, d->caret), d->caret);
        replaceSel(w, u"", true);
    } else if (c == 13 && multi) {
        replaceSel(w, u"\r\n", true);
    } else if ((c == 9 && multi) || (c >= 32 && c != 127)) {
        replaceSel(w, std::u16string(1, c), true);
    }
    return 0;
}

constexpr DWORD kDoubleTapTime = 500; // ms between the two pen-downs
constexpr int kDoubleTapRoom = 4;     // pixels between them, either way

bool isWordChar(char16_t c) {
    return c == u'_' || (c >= u'0' && c <= u'9') || foldLetter(c) != c ||
           (c >= u'a' && c <= u'z') || (c >= 0xDF && c != 0xF7);
}

// The word at position `at` (or the run of blanks or marks there) is selected.
void selectWord(Window *w, size_t at) {
    const std::u16string &t = w->text;
    size_t from = std::min(at, t.size()), to = from;
    if (from == t.size() && from > 0)
        --from;
    if (from >= t.size() || t[from] == u'\r' || t[from] == u'\n')
        return setSel(w, at, at);
    auto same = [&t, kind = isWordChar(t[from]), blank = t[from] == u' '](size_t i) {
        return t[i] != u'\r' && t[i] != u'\n' && isWordChar(t[i]) == kind &&
               (t[i] == u' ') == blank;
    };
    while (from > 0 && same(from - 1))
        --from;
    to = from;
    while (to < t.size() && same(to))
        ++to;
    setSel(w, from, to);
}

// The pen: down puts the caret there (a double tap selects the word there), a drag selects to
// where it is, and the lift ends it.
LRESULT penMessage(Window *w, UINT msg, LPARAM lp) {
    EditData *d = data(w);
    HWND h = toHwnd(w);
    if (msg != WM_CAPTURECHANGED &&
        editScrollPen(w, msg, int16_t(LOWORD(lp)), int16_t(HIWORD(lp)))) {
        if (msg == WM_LBUTTONDOWN)
            SetFocus(h);
        return 0;
    }
    switch (msg) {
    case WM_LBUTTONDOWN: {
        SetFocus(h);
        int x = int16_t(LOWORD(lp)), y = int16_t(HIWORD(lp));
        size_t at = editCharAt(w, x, y);
        DWORD now = GetTickCount();
        bool twice = now - d->lastDownTime <= kDoubleTapTime &&
                     std::abs(x - d->lastDownX) <= kDoubleTapRoom &&
                     std::abs(y - d->lastDownY) <= kDoubleTapRoom;
        d->lastDownTime = now;
        d->lastDownX = twice ? -100 : x; // a third tap starts again
        d->lastDownY = y;
        if (twice) {
            selectWord(w, at);
            return 0;
        }
        setSel(w, at, at);
        d->selecting = true;
        SetCapture(h);
        return 0;
    }
    case WM_MOUSEMOVE:
        if (d->selecting)
            setSel(w, d->anchor, editCharAt(w, int16_t(LOWORD(lp)), int16_t(HIWORD(lp))));
        return 0;
    case WM_LBUTTONUP:
        if (!d->selecting)
            return 0;
        setSel(w, d->anchor, editCharAt(w, int16_t(LOWORD(lp)), int16_t(HIWORD(lp))));
        d->selecting = false;
        if (GetCapture() == h)
            ReleaseCapture();
        return 0;
    case WM_CAPTURECHANGED:
        if (LPARAM(lp) != LPARAM(w->h))
            d->selecting = false;
        return 0;
    }
    return 0;
}

LRESULT textProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window *w = wins().get(h);
    if (!w)
        return 0;
    EditData *d = data(w);
    switch (msg) {
    case WM_CHAR:
        return typed(w, char16_t(wp));
    case WM_KEYDOWN:
        return keyDown(w, wp);
    case WM_COPY:
    case WM_CUT:
    case WM_PASTE:
    case WM_CLEAR:
        return clipboardMessage(w, msg);
    case WM_SETTEXT:
        // A new text puts the caret at its start; a multi-line box does not call it a change.
        if (!defaultProc(w, msg, wp, lp))
            return FALSE;
        setSel(w, 0, 0);
        if (!multiLine(w))
            notify(w, EN_CHANGE);
        return TRUE;
    case WM_LBUTTONDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
        return penMessage(w, msg, lp);
    case WM_GETDLGCODE:
        return 0x0001 | 0x0080 | (multiLine(w) ? 0x0004 : 0); // ARROWS, CHARS, ALLKEYS
    case EM_GETSEL:
        if (refusedParam(LPARAM(wp)) || refusedParam(lp))
            return -1;
        if (wp)
            *reinterpret_cast<DWORD *>(wp) = DWORD(d->from());
        if (lp)
            *reinterpret_cast<DWORD *>(lp) = DWORD(d->to());
        return MAKELONG(std::min<size_t>(d->from(), 0xFFFF), std::min<size_t>(d->to(), 0xFFFF));
    case EM_SETSEL:
        // -1 as the start drops the selection where the caret is; -1 as the end is the end.
        if (int(wp) == -1)
            setSel(w, d->caret, d->caret);
        else
            setSel(w, size_t(int(wp)), int(lp) < 0 ? w->text.size() : size_t(int(lp)));
        return 0;
    case EM_REPLACESEL:
        if (refusedParam(lp))
            return 0;
        replaceSel(w, lp ? std::u16string(reinterpret_cast<const char16_t *>(lp)) : u"", true);
        return 0;
    case EM_SETREADONLY:
        w->style = wp ? (w->style | ES_READONLY) : (w->style & ~uint32_t(ES_READONLY));
        wins().changed();
        InvalidateRect(h, nullptr, TRUE);
        return TRUE;
    case EM_SETPASSWORDCHAR:
        // Only a box of one line hides its text; 0 shows it again.
        if (multiLine(w))
            return 0;
        if (wp)
            d->passwordChar = char16_t(wp);
        w->style = wp ? (w->style | ES_PASSWORD) : (w->style & ~uint32_t(ES_PASSWORD));
        wins().changed();
        InvalidateRect(h, nullptr, TRUE);
        return 0;
    case EM_GETPASSWORDCHAR:
        return editPasswordChar(w);
    case EM_LIMITTEXT:
        d->limit = wp ? size_t(wp) : kDefaultLimit;
        return 0;
    case EM_GETLIMITTEXT:
        return LRESULT(std::min<size_t>(d->limit, 0x7FFFFFFF));
    case EM_POSFROMCHAR: {
        POINT p = editPointOf(w, size_t(wp));
        return MAKELONG(p.x, p.y);
    }
    case EM_CHARFROMPOS: {
        size_t at = editCharAt(w, int16_t(LOWORD(lp)), int16_t(HIWORD(lp)));
        auto line = std::count(w->text.begin(), w->text.begin() + long(at), u'\n');
        return MAKELONG(std::min<size_t>(at, 0xFFFF), line);
    }
    }
    return defaultProc(w, msg, wp, lp);
}

} // namespace

bool editSelection(Window *w, size_t *anchor, size_t *caret) {
    auto *d = dynamic_cast<EditData *>(w->control.get());
    if (!d)
        return false;
    *anchor = std::min(d->anchor, w->text.size());
    *caret = std::min(d->caret, w->text.size());
    return true;
}

char16_t editPasswordChar(Window *w) {
    auto *d = dynamic_cast<EditData *>(w->control.get());
    return d && styled(w, ES_PASSWORD) && !multiLine(w) ? d->passwordChar : 0;
}

LRESULT CALLBACK editProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    return textProc(h, msg, wp, lp);
}

// The text typed into an ink document: a multi-line box's keys, caret and selection.
LRESULT CALLBACK richInkProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    return textProc(h, msg, wp, lp);
}

} // namespace emul
