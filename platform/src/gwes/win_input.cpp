// Injected input reaching windows: keybd_event keys for the focus window of the foreground
// thread, PostKeybdMessage keys and characters, and stylus taps from mouse_event.
#include "gwes/input.h"
#include "gwes/win_internal.h"

#include <algorithm>

namespace emul {

char16_t translateKey(uint8_t vk, uint32_t mods) {
    bool shift = (mods & kModShift) != 0, ctrl = (mods & kModCtrl) != 0,
         alt = (mods & kModAlt) != 0;
    if (alt && !ctrl)
        return 0;
    if (vk >= 'A' && vk <= 'Z') {
        if (ctrl)
            return char16_t(vk - 'A' + 1);
        bool upper = shift != ((mods & kModCaps) != 0);
        return char16_t(upper ? vk : vk + 32);
    }
    if (ctrl) {
        switch (vk) {
        case VK_RETURN:
            return 10;
        case VK_BACK:
            return 127;
        case VK_LBRACKET:
            return 27;
        case VK_BACKSLASH:
            return 28;
        case VK_RBRACKET:
            return 29;
        }
        return 0;
    }
    if (vk >= '0' && vk <= '9')
        return shift ? u")!@#$%^&*("[vk - '0'] : char16_t(vk);
    if (vk >= 0x60 && vk <= 0x69) // the numeric pad
        return char16_t('0' + vk - 0x60);
    struct Punct {
        uint8_t vk;
        char16_t plain, shifted;
    };
    static const Punct table[] = {
        {VK_SEMICOLON, ';', ':'},
        {VK_EQUAL, '=', '+'},
        {VK_COMMA, ',', '<'},
        {VK_HYPHEN, '-', '_'},
        {VK_PERIOD, '.', '>'},
        {VK_SLASH, '/', '?'},
        {VK_BACKQUOTE, '`', '~'},
        {VK_LBRACKET, '[', '{'},
        {VK_BACKSLASH, '\\', '|'},
        {VK_RBRACKET, ']', '}'},
        {VK_APOSTROPHE, '\'', '"'},
        {VK_SPACE, ' ', ' '},
        {VK_RETURN, 13, 13},
        {VK_TAB, 9, 9},
        {VK_BACK, 8, 8},
        {VK_ESCAPE, 27, 27},
        {0x6A, '*', '*'},
        {0x6B, '+', '+'},
        {0x6D, '-', '-'},
        {0x6E, '.', '.'},
        {0x6F, '/', '/'},
    };
    for (const Punct &p : table)
        if (p.vk == vk)
            return shift ? p.shifted : p.plain;
    return 0;
}

namespace {

uint32_t modifierBit(uint8_t vk) {
    switch (vk) {
    case VK_SHIFT:
    case 0xA0:
    case 0xA1:
        return kModShift;
    case VK_CONTROL:
    case 0xA2:
    case 0xA3:
        return kModCtrl;
    case VK_MENU:
    case 0xA4:
    case 0xA5:
        return kModAlt;
    }
    return 0;
}

} // namespace

void deliverKeyEvent(uint8_t vk, uint32_t flags) {
    auto &ws = wins();
    bool up = (flags & KEYEVENTF_KEYUP) != 0;
    bool wasDown = ws.keyDown[vk];
    ws.keyDown[vk] = !up;
    if (uint32_t bit = modifierBit(vk)) {
        // Left and right keys share one flag: it stays while either is held.
        bool held = false;
        for (int k : {int(vk), VK_SHIFT, 0xA0, 0xA1, VK_CONTROL, 0xA2, 0xA3, VK_MENU, 0xA4, 0xA5})
            if (modifierBit(uint8_t(k)) == bit && ws.keyDown[k])
                held = true;
        ws.mods = held ? (ws.mods | bit) : (ws.mods & ~bit);
    }
    if (vk == VK_CAPITAL && !up)
        ws.mods ^= kModCaps;
    Window *w = ws.get(ws.focusOfForeground());
    if (!w)
        return;
    LPARAM lp = 1;
    if (wasDown)
        lp |= LPARAM(1) << 30;
    if (up)
        lp |= LPARAM(1) << 31;
    if (ws.mods & kModAlt)
        lp |= LPARAM(1) << 29;
    ws.post(w, up ? WM_KEYUP : WM_KEYDOWN, vk, LPARAM(int32_t(uint32_t(lp))), true, ws.mods);
}

void deliverPostedKey(uintptr_t hwnd, uint32_t vk, uint32_t state, const uint32_t *chars,
                      uint32_t count) {
    auto &ws = wins();
    Window *w = nullptr;
    if (hwnd == uintptr_t(-1)) {
        w = ws.get(ws.focusOfForeground());
    } else if (hwnd == 0) {
        Queue &q = ws.queue(kern().self());
        w = ws.get(q.focus ? q.focus : q.active);
    } else {
        w = ws.get(hwnd);
    }
    if (!w)
        return;
    bool down = (state & KeyStateDownFlag) != 0;
    LPARAM lp = down ? 1 : LPARAM(int32_t(0xC0000001u));
    // The characters are given already: TranslateMessage must not make them a second time.
    if (vk)
        ws.post(w, down ? WM_KEYDOWN : WM_KEYUP, vk, lp, false, ws.mods);
    if (down)
        for (uint32_t i = 0; i < count; ++i)
            ws.post(w, WM_CHAR, chars[i], lp, false, ws.mods);
}

void deliverMouseEvent(uint32_t flags, uint32_t dx, uint32_t dy) {
    auto &ws = wins();
    int x = ws.cursorX, y = ws.cursorY;
    if (flags & MOUSEEVENTF_ABSOLUTE) {
        x = int(uint64_t(dx & 0xFFFF) * screen::kWidth / 65536);
        y = int(uint64_t(dy & 0xFFFF) * screen::kHeight / 65536);
    } else if (flags & MOUSEEVENTF_MOVE) {
        x += int32_t(dx);
        y += int32_t(dy);
    }
    using Pen = WindowSystem::Pen;
    if (x != ws.cursorX || y != ws.cursorY)
        ws.pen(Pen::Move, x, y);
    if (flags & MOUSEEVENTF_LEFTDOWN)
        ws.pen(Pen::Down, x, y);
    if (flags & MOUSEEVENTF_LEFTUP)
        ws.pen(Pen::Up, x, y);
    // A move while the pen is up only moves the point that the next tap lands on.
    ws.cursorX = std::clamp(x, 0, screen::kWidth - 1);
    ws.cursorY = std::clamp(y, 0, screen::kHeight - 1);
}

} // namespace emul
