// The terminal's keys and mouse: decoded by curses, then given to what has them (a list over the
// screen, the screen's controls, or the device's keyboard).
#include "frontends/runner.h"
#include "frontends/screen_actions.h"
#include "frontends/session.h"

#include "emul/text.h"

#include <ncurses.h>

#include <algorithm>

namespace handheld {

namespace {

// Keys read while a command waits for the device, to see a ^] meanwhile; the next step
// handles the rest in order.
std::deque<std::pair<int, wint_t>> typedAhead;

int nextKey(wint_t *c) {
    if (typedAhead.empty())
        return get_wch(c);
    int r = typedAhead.front().first;
    *c = typedAhead.front().second;
    typedAhead.pop_front();
    return r;
}

HostKey keyCodeOf(wint_t c) {
    HostKey k;
    struct Named {
        int code;
        HostKey::Type type;
        bool shift;
    };
    static const Named named[] = {
        {KEY_UP, HostKey::Up, false},        {KEY_DOWN, HostKey::Down, false},
        {KEY_LEFT, HostKey::Left, false},    {KEY_RIGHT, HostKey::Right, false},
        {KEY_SR, HostKey::Up, true},         {KEY_SF, HostKey::Down, true},
        {KEY_SLEFT, HostKey::Left, true},    {KEY_SRIGHT, HostKey::Right, true},
        {KEY_HOME, HostKey::Home, false},    {KEY_END, HostKey::End, false},
        {KEY_PPAGE, HostKey::PageUp, false}, {KEY_NPAGE, HostKey::PageDown, false},
        {KEY_DC, HostKey::Delete, false},
    };
    for (const Named &n : named)
        if (c == wint_t(n.code)) {
            k.type = n.type;
            k.shift = n.shift;
            return k;
        }
    if (c == KEY_BACKSPACE)
        k.ch = 8;
    else if (c == KEY_ENTER)
        k.ch = 13;
    else if (c == KEY_BTAB) {
        k.ch = 9;
        k.shift = true;
    } else if (c >= wint_t(KEY_F(1)) && c <= wint_t(KEY_F(12))) {
        k.type = HostKey::Function;
        k.function = int(c - KEY_F(0));
    }
    return k;
}

HostKey hostKeyOf(wint_t c, bool isKeyCode) {
    if (isKeyCode)
        return keyCodeOf(c);
    HostKey k;
    if (c == 10 || c == 13)
        k.ch = 13;
    else if (c == 8 || c == 127)
        k.ch = 8;
    else if (c == 9)
        k.ch = 9;
    else if (c == 27)
        k.type = HostKey::Escape;
    else if (c >= 1 && c <= 26) {
        k.ch = char16_t('a' + c - 1);
        k.ctrl = true;
    } else {
        k.ch = char16_t(c);
        k.ctrl = c < 32;
    }
    return k;
}

void programEntry(Session &s, size_t i, bool close) {
    std::vector<RunningProgram> running = runningPrograms(s);
    if (i >= running.size())
        return;
    s.overlay = Session::Overlay::None;
    act(s, close ? running[i].close : running[i].run);
}

// Keys while a list or a box covers the screen.
void overlayKey(Session &s, const HostKey &k) {
    using O = Session::Overlay;
    if (s.overlay == O::Help) {
        s.overlay = O::None;
        return;
    }
    if (s.overlay == O::Quit) {
        if (k.type == HostKey::Char && (k.ch == u'y' || k.ch == u'Y' || k.ch == 13))
            s.quit = true;
        s.overlay = O::None;
        return;
    }
    size_t n = runningPrograms(s).size();
    switch (k.type) {
    case HostKey::Up:
        s.overlayAt = n ? (s.overlayAt + n - 1) % n : 0;
        return;
    case HostKey::Down:
        s.overlayAt = n ? (s.overlayAt + 1) % n : 0;
        return;
    case HostKey::Escape:
    case HostKey::Function:
        s.overlay = O::None;
        return;
    case HostKey::Char:
        break;
    default:
        return;
    }
    if (k.ch == 13)
        programEntry(s, s.overlayAt, false);
    else if (k.ch == u'x')
        programEntry(s, s.overlayAt, true);
}

// Moves the selection among the controls in front.
void moveSelection(Session &s, int by) {
    std::vector<Drawn> controls = controlsInFront(s.model);
    if (controls.empty())
        return;
    size_t n = controls.size(), at = 0;
    for (size_t i = 0; i < n; ++i)
        if (controls[i].hwnd == s.selected)
            at = i;
    if (!s.model.find(s.selected))
        at = by > 0 ? n - 1 : 0; // the first move lands on the first or the last control
    s.selected = controls[(at + n + size_t(by > 0 ? 1 : n - 1)) % n].hwnd;
}

bool onSlider(Session &s) {
    const Drawn *d = s.model.find(s.selected);
    return d && d->kind == emul::ControlKind::Trackbar;
}

// With a list open (the Start menu, a combo box's list), a letter or digit taps the next entry
// shown that begins with it.
bool listKey(Session &s, char16_t c) {
    if (!(c >= u'0' && c <= u'9') && !(c >= u'a' && c <= u'z') && !(c >= u'A' && c <= u'Z'))
        return false;
    for (auto it = s.model.drawn.rbegin(); it != s.model.drawn.rend(); ++it) {
        const Drawn &d = *it;
        if (d.kind != emul::ControlKind::ListBox)
            continue;
        char16_t want = emul::foldCase(std::u16string(1, c))[0];
        size_t shown = d.itemBoxes.size();
        size_t from = d.selected >= d.topIndex ? size_t(d.selected - d.topIndex) : shown - 1;
        for (size_t n = 1; n <= shown; ++n) {
            size_t i = (from + n) % shown;
            size_t item = size_t(d.topIndex) + i;
            if (item < d.items.size() && !d.items[item].empty() &&
                emul::foldCase(d.items[item].substr(0, 1))[0] == want) {
                const PixelRect &b = d.itemBoxes[i];
                act(s, "tap " + std::to_string((b.left + b.right) / 2) + " " +
                           std::to_string((b.top + b.bottom) / 2));
                return true;
            }
        }
        s.message = "no entry shown begins with that";
        return true;
    }
    return false;
}

// Keys in screen mode.
void screenKey(Session &s, const HostKey &k) {
    switch (k.type) {
    case HostKey::Function:
    case HostKey::Escape:
        s.menu = false;
        return;
    case HostKey::Up:
    case HostKey::Left:
        if (k.type == HostKey::Left && onSlider(s))
            actOnControl(s, -1);
        else
            moveSelection(s, -1);
        return;
    case HostKey::Down:
    case HostKey::Right:
        if (k.type == HostKey::Right && onSlider(s))
            actOnControl(s, 1);
        else
            moveSelection(s, 1);
        return;
    case HostKey::PageUp:
    case HostKey::PageDown:
        for (const Drawn &d : controlsInFront(s.model))
            if (d.kind == emul::ControlKind::Tabs) {
                s.selected = d.hwnd;
                actOnControl(s, k.type == HostKey::PageUp ? -1 : 1);
            }
        return;
    case HostKey::Char:
        break;
    default:
        return;
    }
    if (listKey(s, k.ch))
        return;
    switch (k.ch) {
    case 13:
    case ' ':
        actOnControl(s, 1);
        break;
    case '-':
        actOnControl(s, -1);
        break;
    case 'o':
        act(s, "ok");
        break;
    case 'c':
        act(s, "cancel");
        break;
    case 's': {
        // The platform's Start menu, which then has the keys.
        std::string tap = tapStart(s.model);
        if (tap.empty()) {
            s.message = "no Start button on the screen";
            break;
        }
        act(s, tap);
        break;
    }
    case 'p':
        s.overlay = Session::Overlay::Programs;
        s.overlayAt = 0;
        break;
    case '?':
        s.overlay = Session::Overlay::Help;
        break;
    case 'q':
        s.overlay = Session::Overlay::Quit;
        break;
    }
}

void mouse(Session &s) {
    MEVENT me;
    if (getmouse(&me) != OK || !s.layout.fits)
        return;
    int col = me.x - s.layout.originX, row = me.y - s.layout.originY;
    // A device that is off wakes at a click, which taps nothing.
    if (s.device.suspended()) {
        s.device.resume();
        s.message = "the device is on again";
        return;
    }
    if (s.overlay == Session::Overlay::Help) {
        s.overlay = Session::Overlay::None;
        return;
    }
    if (s.overlay == Session::Overlay::Programs) {
        // A click on an entry of the list (below its title row), else the list closes.
        size_t i = size_t(std::max(0, row - 3));
        s.overlay = Session::Overlay::None;
        if (row >= 3 && col >= 0 && col < kScreenCols)
            programEntry(s, i, false);
        return;
    }
    if (s.overlay == Session::Overlay::Quit)
        return;
    draw(s); // the controls as they are now: the last key may have turned the page
    clickCell(s, col, row);
}

void key(Session &s, const HostKey &key) {
    // A device that is off wakes at any key, which is not typed.
    if (s.device.suspended()) {
        s.device.resume();
        s.message = "the device is on again";
        return;
    }
    if (s.overlay != Session::Overlay::None) {
        overlayKey(s, key);
        return;
    }
    if (s.menu) {
        draw(s); // the controls as they are now: the last key may have turned the page
        screenKey(s, key);
        return;
    }
    if (key.type == HostKey::Function && key.function == 1) {
        s.menu = true;
        return;
    }
    if (!s.driver.handle(key))
        s.message = "no key of the keyboard types that";
    else
        s.message.clear();
}

} // namespace

bool quitTyped() {
    wint_t c;
    int r;
    while (!RealTimeRunner::stopping() && (r = get_wch(&c)) != ERR) {
        if (r == OK && c == 0x1D)
            RealTimeRunner::requestStop();
        else
            typedAhead.emplace_back(r, c);
    }
    return RealTimeRunner::stopping();
}

void forgetTypedAhead() {
    typedAhead.clear();
}

void pump(Session &s) {
    bool changed = s.tap.changed;
    wint_t c;
    int r;
    while (!s.quit && (r = nextKey(&c)) != ERR) {
        changed = true;
        if (r == KEY_CODE_YES && c == KEY_MOUSE)
            mouse(s);
        else if (r == KEY_CODE_YES && c == KEY_RESIZE)
            continue;
        else if (r == OK && c == 0x1D) // ^]
            s.quit = true;
        else
            key(s, hostKeyOf(c, r == KEY_CODE_YES));
    }
    if (RealTimeRunner::stopping())
        s.quit = true;
    if (s.recorder.active())
        recordRegChanges(s);
    // Redraw on a change only: what the device does shows in its journal, what another
    // process does shows in the hive's files.
    if (changed || s.redraw) {
        s.tap.changed = false;
        s.redraw = false;
        draw(s);
    }
}

} // namespace handheld
