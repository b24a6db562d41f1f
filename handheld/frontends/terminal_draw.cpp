// The terminal's drawing: the device's screen in a frame, the status and the journal beside it
// (or below it, or left out when there is no room), the help line, and what covers the screen
// (the running programs, the help). Everything is laid out anew
// for the terminal's size at each drawing.
#include "frontends/screen_picture.h"
#include "frontends/session.h"

#include "emul/serial.h"
#include "emul/text.h"
#include "emul/windows_sys.h"

#include "image/install.h"

#include <ncurses.h>

#include <algorithm>

namespace handheld {

namespace {

constexpr int kFrameCols = kScreenCols + 2, kFrameRows = kScreenRows + 2;
// The least terminal: the framed screen, a header above and the help line below.
constexpr int kLeastCols = kFrameCols, kLeastRows = kFrameRows + 2;
constexpr int kPanelLeast = 30; // a side panel narrower than this goes below the screen
constexpr int kTaskBarRows = 2; // menus stand below the task bar

void put(int y, int x, const std::string &utf8Text, int maxCols) {
    if (maxCols <= 0)
        return;
    std::u16string t = emul::utf16(utf8Text);
    if (int(t.size()) > maxCols)
        t.resize(size_t(maxCols));
    mvaddstr(y, x, emul::utf8(t).c_str());
}

int attrOf(uint8_t a) {
    return ((a & kReverse) ? A_REVERSE : 0) | ((a & kBold) ? A_BOLD : 0) |
           ((a & kDim) ? A_DIM : 0) | ((a & kUnderline) ? A_UNDERLINE : 0);
}

void blit(const Picture &p, int x0, int y0) {
    for (int y = 0; y < p.rows(); ++y)
        for (int x = 0; x < p.cols(); ++x) {
            const Cell &c = p.at(x, y);
            attrset(attrOf(c.attr));
            mvaddstr(y0 + y, x0 + x, emul::utf8(std::u16string(1, c.ch)).c_str());
        }
    attrset(A_NORMAL);
}

// A list that drops from the task bar: its entries, the one at `at` highlighted.
void drawList(Picture &p, const std::u16string &title, const std::vector<std::u16string> &items,
              size_t at, const std::u16string &foot) {
    int w = 2;
    for (const auto &i : items)
        w = std::max(w, int(i.size()) + 2);
    w = std::min(p.cols(), std::max({w, int(title.size()) + 2, int(foot.size()) + 2}));
    int h = std::min(p.rows() - kTaskBarRows, int(items.size()) + 2);
    p.fill(CellRect{0, kTaskBarRows, w, h});
    p.put(0, kTaskBarRows, u" " + title + std::u16string(size_t(w), u' '), w, kReverse);
    for (int i = 0; i < h - 2; ++i)
        p.put(0, kTaskBarRows + 1 + i, u" " + items[size_t(i)] + std::u16string(size_t(w), u' '), w,
              size_t(i) == at ? kReverse : 0);
    p.put(0, kTaskBarRows + h - 1, u" " + foot, w, kDim);
}

void drawOverlay(Session &s, Picture &p) {
    switch (s.overlay) {
    case Session::Overlay::Programs: {
        std::vector<std::u16string> items;
        for (const RunningProgram &r : runningPrograms(s))
            items.push_back(r.title);
        if (items.empty())
            items.push_back(u"(none)");
        drawList(p, u"Running Programs", items, s.overlayAt, u"Enter switches, x closes");
        break;
    }
    case Session::Overlay::Quit: {
        int w = 34, x = (p.cols() - w) / 2, y = 7;
        p.fill(CellRect{x - 1, y - 1, w + 2, 6});
        p.put(x, y, u" End the device?" + std::u16string(size_t(w), u' '), w, kReverse);
        p.put(x, y + 1, u" Its programs close and keep", w);
        p.put(x, y + 2, u" their documents.", w);
        p.put(x + 1, y + 4, u"[ y Yes ]", 9, kReverse);
        p.put(x + 11, y + 4, u"[ n No ]", 8);
        break;
    }
    default:
        break;
    }
}

const char *const kHelp[] = {
    "Host keys (always)",
    "  ^]        end the session",
    "  F1        the screen's keys / the device's keyboard",
    "  F2        hold the next key down (auto-repeat); F2 again lets go",
    "  F3 F4 F5  Fn, Cmd, Symbol for the next key",
    "  F6        Caps Lock      F7  the pen-tap key",
    "  F8-F11    the four application keys",
    "  F12       connect the keyboard again (handshake)",
    "  mouse     a click taps the screen where it is drawn",
    "Screen keys (after F1)",
    "  arrows    move between controls; Left/Right move a slider",
    "  Enter, Space  act on the control (-  steps back)",
    "  PgUp PgDn     the previous / next tab",
    "  o  OK      c  Cancel     s  Start menu",
    "  p  running programs: Enter switches, x closes",
    "  a letter  with a list open (Start, a box's list): its next entry",
    "  ?  this help           q  end the device (asks first)",
    "  Esc or F1  back to the keyboard",
    "A message box or the file dialog is a window of the device: tap it, or",
    "  type to it with the keyboard (Esc first after F1).",
    "",
    "Any key closes this help.",
};

void drawHelp() {
    erase();
    int rows = std::min(LINES, int(std::size(kHelp)));
    for (int i = 0; i < rows; ++i)
        put(i, 1, kHelp[i], COLS - 1);
    refresh();
}

void drawTooSmall() {
    erase();
    std::string need = "The terminal is " + std::to_string(COLS) + " x " + std::to_string(LINES) +
                       "; the device needs at least " + std::to_string(kLeastCols) + " x " +
                       std::to_string(kLeastRows) + ". Make it larger; ^] quits.";
    // Whole words on each line, so that the sizes read whole.
    int y = 0;
    std::string line;
    size_t at = 0;
    while (at <= need.size() && y < LINES) {
        size_t end = std::min(need.find(' ', at), need.size());
        std::string word = need.substr(at, end - at);
        if (!line.empty() && int(line.size() + 1 + word.size()) > COLS) {
            put(y++, 0, line, COLS);
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
        at = end + 1;
    }
    if (y < LINES)
        put(y, 0, line, COLS);
    refresh();
}

void drawFrame(Session &s) {
    const Layout &l = s.layout;
    mvaddch(l.originY - 1, l.originX - 1, ACS_ULCORNER);
    mvhline(l.originY - 1, l.originX, ACS_HLINE, kScreenCols);
    mvaddch(l.originY - 1, l.originX + kScreenCols, ACS_URCORNER);
    if (!s.model.title.empty())
        put(l.originY - 1, l.originX + 1, " " + emul::utf8(s.model.title) + " ", kScreenCols - 2);
    for (int y = 0; y < kScreenRows; ++y) {
        mvaddch(l.originY + y, l.originX - 1, ACS_VLINE);
        mvaddch(l.originY + y, l.originX + kScreenCols, ACS_VLINE);
    }
    mvaddch(l.originY + kScreenRows, l.originX - 1, ACS_LLCORNER);
    mvhline(l.originY + kScreenRows, l.originX, ACS_HLINE, kScreenCols);
    mvaddch(l.originY + kScreenRows, l.originX + kScreenCols, ACS_LRCORNER);
}

std::string modeHint(Session &s) {
    switch (s.overlay) {
    case Session::Overlay::Programs:
        return "PROGRAMS: arrows choose, Enter switches to it, x closes it, Esc goes back";
    case Session::Overlay::Quit:
        return "END THE DEVICE? y yes, n no";
    default:
        break;
    }
    return s.menu ? "SCREEN: arrows move, Enter acts, PgUp/PgDn tabs, o OK, c Cancel, s Start, "
                    "p programs, ? help, q end, F1 back"
                  : "KEYBOARD: what you type goes to the device; F1 for the screen's keys";
}

// Lines cut to the panel's width, at a blank where there is one; long ones go on in the next.
void addWrapped(std::vector<std::string> &out, const std::string &text, int width) {
    std::u16string t = emul::utf16(text);
    size_t w = size_t(std::max(1, width));
    while (t.size() > w) {
        size_t cut = t.rfind(u' ', w);
        if (cut == std::u16string::npos || cut == 0)
            cut = w;
        out.push_back(emul::utf8(t.substr(0, cut)));
        t = t.substr(cut + (t[cut] == u' ' ? 1 : 0));
    }
    out.push_back(emul::utf8(t));
}

void drawPanel(Session &s) {
    const Layout &l = s.layout;
    if (l.panelW <= 0 || l.panelH <= 0)
        return;
    std::vector<std::string> lines;
    emul::SerialPort *port = s.device.serial().find(kInfraredPort);
    bool up = port && port->isOpen();
    addWrapped(lines,
               std::string("keyboard link ") + (up ? "up" : "down (port closed)") + "  driver " +
                   s.build + (s.device.suspended() ? "  device off (power key)" : ""),
               l.panelW);
    std::string keys = s.driver.status();
    std::string phase = repeatPhase(s);
    if (!phase.empty() && keys.rfind("held: ", 0) == 0) {
        size_t end = keys.find("  ");
        keys.insert(end == std::string::npos ? keys.size() : end, phase);
    }
    addWrapped(lines, keys.empty() ? "no key held" : keys, l.panelW);
    addWrapped(lines, settingsLine(s.device.registry()), l.panelW);
    addWrapped(lines, modeHint(s), l.panelW);
    if (!s.message.empty())
        addWrapped(lines, "> " + s.message, l.panelW);
    int y = l.panelY;
    for (size_t i = 0; i < lines.size() && y < l.panelY + l.panelH; ++i, ++y)
        put(y, l.panelX, lines[i], l.panelW);
    if (y >= l.panelY + l.panelH)
        return;
    mvhline(y++, l.panelX, ACS_HLINE, std::max(0, l.panelW - 1));
    // The journal's newest lines at the bottom once they fill the panel; until then from its
    // top.
    int rows = l.panelY + l.panelH - y;
    size_t n = s.tap.lines.size();
    int shown = int(std::min(n, size_t(std::max(0, rows))));
    for (int i = 0; i < shown; ++i)
        put(y + shown - 1 - i, l.panelX, s.tap.lines[n - 1 - size_t(i)], l.panelW);
}

} // namespace

Layout layoutFor(int cols, int rows) {
    Layout l;
    l.fits = cols >= kLeastCols && rows >= kLeastRows;
    if (cols - kFrameCols - 2 >= kPanelLeast) {
        l.panelX = kFrameCols + 2;
        l.panelY = 1;
        l.panelW = cols - l.panelX;
        l.panelH = rows - 2;
    } else if (rows - kLeastRows >= 3) {
        l.panelX = 0;
        l.panelY = kFrameRows + 1;
        l.panelW = cols;
        l.panelH = rows - kLeastRows;
    }
    return l;
}

void draw(Session &s) {
    s.layout = layoutFor(COLS, LINES);
    s.model = screenModel(s.device.windows().view());
    if (s.overlay == Session::Overlay::Help) {
        drawHelp();
        return;
    }
    if (!s.layout.fits) {
        drawTooSmall();
        return;
    }
    erase();
    int W = COLS, H = LINES;
    attron(A_BOLD);
    put(0, 0, "handheld  " + s.dir.dir + "  line " + s.linePath, W);
    attroff(A_BOLD);
    drawFrame(s);

    Picture p;
    DrawOptions o;
    if (s.menu)
        o.selected = s.selected;
    drawModel(s.model, p, o);
    if (s.device.suspended()) {
        p.fill(CellRect{0, 0, p.cols(), p.rows()});
        p.put(2, kScreenRows / 2 - 1, u"The device is off.", kScreenCols - 2);
        p.put(2, kScreenRows / 2, u"Any key switches it on.", kScreenCols - 2);
    }
    drawOverlay(s, p);
    blit(p, s.layout.originX, s.layout.originY);
    drawPanel(s);

    // "^] quit" first: it stays when the line is cut.
    attron(A_REVERSE);
    put(H - 1, 0,
        std::string("^] quit  F1 screen keys (then ? help)  ") + HostKeyMapper::helpLine(), W);
    attroff(A_REVERSE);
    refresh();
}

} // namespace handheld
