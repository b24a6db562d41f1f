// MessageBoxW: a modal window of the platform's own, centred on the screen over its owner: the
// caption, the text wrapped in the dialog font, an icon for MB_ICON*, the buttons of its type
// with the default one marked. Whoever answers for the device (emul/answers.h) presses a button
// on it or leaves it to the pen and the keys. Every box is journaled with its result.
#include "gwes/dialog/dialog.h"
#include "gwes/input_panel.h"
#include "gwes/paint/look.h"
#include "gwes/win_internal.h"

#include "emul/answers.h"
#include "emul/shell.h"
#include "kernel/user_pointers.h"

#include <algorithm>
#include <cmath>

namespace emul {

std::vector<int> messageBoxButtons(uint32_t type) {
    switch (type & 0xF) {
    case MB_OKCANCEL:
        return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE:
        return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL:
        return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO:
        return {IDYES, IDNO};
    case MB_RETRYCANCEL:
        return {IDRETRY, IDCANCEL};
    }
    return {IDOK};
}

namespace {

constexpr int kCaptionHeight = kDialogCaption;
constexpr int kPad = 8;
constexpr int kButtonWidth = 52, kButtonHeight = 20, kButtonGap = 6;
constexpr int kIconSize = 32;
constexpr int kMinWidth = 128, kMaxWidth = screen::kWidth - 16;
constexpr int kTextId = 0xFFFF;

enum class Icon { None, Stop, Question, Warning, Information };

struct Box {
    std::vector<int> buttons;
    size_t def = 0; // the default button
    Icon icon = Icon::None;
    RECT iconAt{};        // client coordinates
    bool inFront = false; // it was the foreground window when it was answered
};

const char16_t *buttonLabel(int id) {
    switch (id) {
    case IDCANCEL:
        return u"Cancel";
    case IDABORT:
        return u"Abort";
    case IDRETRY:
        return u"Retry";
    case IDIGNORE:
        return u"Ignore";
    case IDYES:
        return u"Yes";
    case IDNO:
        return u"No";
    }
    return u"OK";
}

Icon iconOf(uint32_t type) {
    switch (type & 0xF0) {
    case MB_ICONHAND:
        return Icon::Stop;
    case MB_ICONQUESTION:
        return Icon::Question;
    case MB_ICONEXCLAMATION:
        return Icon::Warning;
    case MB_ICONASTERISK:
        return Icon::Information;
    }
    return Icon::None;
}

Box *boxOf(HWND h) {
    Window *w = wins().get(h);
    if (!w)
        return nullptr;
    auto it = w->longs.find(DWL_USER);
    return it == w->longs.end() ? nullptr : reinterpret_cast<Box *>(it->second);
}

bool has(const Box &b, int id) {
    return std::find(b.buttons.begin(), b.buttons.end(), id) != b.buttons.end();
}

// A round badge (a triangle for a warning) with its sign, as the platform's icons show them.
// The dialog font's face in bold, `pixels` high; the caller deletes it.
HFONT boldFont(int pixels) {
    LOGFONTW lf{};
    lf.lfHeight = -pixels;
    lf.lfWeight = FW_BOLD;
    std::copy_n(u"Tahoma", 7, lf.lfFaceName);
    return CreateFontIndirectW(&lf);
}

void paintIcon(HDC dc, const Box &b) {
    const RECT &r = b.iconAt;
    int size = r.right - r.left;
    COLORREF face = b.icon == Icon::Stop      ? RGB(192, 0, 0)
                    : b.icon == Icon::Warning ? RGB(255, 224, 0)
                                              : RGB(0, 64, 192);
    if (b.icon == Icon::Warning) {
        for (int y = 0; y < size; ++y) {
            int half = (y * size / 2) / size + 1;
            look::hline(dc, r.left + size / 2 - half, r.left + size / 2 + half, r.top + y, face);
        }
    } else {
        double radius = size / 2.0;
        for (int y = 0; y < size; ++y) {
            double dy = y + 0.5 - radius;
            int half = int(std::lround(std::sqrt(std::max(0.0, radius * radius - dy * dy))));
            look::hline(dc, r.left + int(radius) - half, r.left + int(radius) + half, r.top + y,
                        face);
        }
    }
    const char16_t *sign = b.icon == Icon::Stop       ? u"X"
                           : b.icon == Icon::Question ? u"?"
                           : b.icon == Icon::Warning  ? u"!"
                                                      : u"i";
    HFONT font = boldFont(20);
    HGDIOBJ old = SelectObject(dc, font);
    SetTextColor(dc, b.icon == Icon::Warning ? RGB(0, 0, 0) : RGB(255, 255, 255));
    SetBkMode(dc, TRANSPARENT);
    RECT at = r;
    if (b.icon == Icon::Warning)
        at.top += size / 6;
    DrawTextW(dc, sign, 1, &at, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    DeleteObject(font);
}

// The frame and the caption bar; the text and the buttons are controls that paint themselves.
void paintBox(HWND h, const Box &b) {
    Window *w = wins().get(h);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    if (w && dc) {
        paintDialogFrame(dc, RECT{0, 0, w->right - w->left, w->bottom - w->top}, w->text);
        if (b.icon != Icon::None)
            paintIcon(dc, b);
    }
    EndPaint(h, &ps);
}

BOOL CALLBACK boxProc(HWND h, UINT msg, WPARAM wp, LPARAM) {
    Box *b = boxOf(h);
    if (!b)
        return FALSE;
    switch (msg) {
    case WM_PAINT:
        paintBox(h, *b);
        return TRUE;
    case WM_COMMAND: {
        // Escape and closing are Cancel: a box without it answers them only when OK is all.
        int id = LOWORD(wp);
        if (id == IDCANCEL && !has(*b, id) && b->buttons.size() == 1)
            id = b->buttons[0];
        if (has(*b, id)) {
            b->inFront = wins().foreground == reinterpret_cast<uintptr_t>(h);
            EndDialog(h, id);
        }
        return TRUE;
    }
    case DM_GETDEFID: {
        // Enter presses the button that has the focus, else the default one.
        int id = b->buttons[b->def];
        Window *focus = wins().get(GetFocus());
        if (focus && focus->parent && focus->parent->h == reinterpret_cast<uintptr_t>(h) &&
            has(*b, focus->id))
            id = focus->id;
        if (Window *w = wins().get(h))
            w->longs[DWL_MSGRESULT] = MAKELONG(id, DC_HASDEFID);
        return TRUE;
    }
    }
    return FALSE;
}

// The arrow keys move between the buttons, round at the ends.
bool arrowKeys(HWND dlg, const MSG &m) {
    if (m.message != WM_KEYDOWN ||
        (m.wParam != VK_LEFT && m.wParam != VK_RIGHT && m.wParam != VK_UP && m.wParam != VK_DOWN))
        return false;
    Box *b = boxOf(dlg);
    Window *focus = wins().get(GetFocus());
    if (!b || !focus || !has(*b, focus->id))
        return false;
    size_t n = b->buttons.size();
    size_t at =
        size_t(std::find(b->buttons.begin(), b->buttons.end(), focus->id) - b->buttons.begin());
    bool back = m.wParam == VK_LEFT || m.wParam == VK_UP;
    SetFocus(GetDlgItem(dlg, b->buttons[(at + (back ? n - 1 : 1)) % n]));
    return true;
}

struct Layout {
    RECT box{};  // screen
    RECT text{}; // client
    std::vector<RECT> buttons;
};

// As wide as the text wants up to the screen's width less a margin, as tall as the wrapped text
// up to the work area; text beyond that is cut.
Layout layOut(const std::u16string &text, Box &b) {
    Layout l;
    int icon = b.icon == Icon::None ? 0 : kIconSize + kPad;
    int row = int(b.buttons.size()) * (kButtonWidth + kButtonGap) - kButtonGap;
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, controlFont());
    RECT calc{0, 0, kMaxWidth - 2 * kPad - icon, 0};
    DrawTextW(dc, reinterpret_cast<LPCWSTR>(text.c_str()), int(text.size()), &calc,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    int textW = std::clamp(int(calc.right - calc.left), 0, kMaxWidth - 2 * kPad - icon);
    int width = std::clamp(std::max(textW + icon, row) + 2 * kPad, kMinWidth, kMaxWidth);
    int fixed = kCaptionHeight + 4 * kPad + kButtonHeight;
    int textH = std::clamp(int(calc.bottom - calc.top), 0, screen::kWorkHeight - 8 - fixed);
    int height = fixed + std::max(textH, icon ? kIconSize : 0);
    // Centred on what the input panel leaves of the work area, so its buttons are not under it.
    int room =
        (inputPanelShown() ? screen::kInputPanelTop : screen::kWorkBottom) - screen::kWorkTop;
    int x = (screen::kWidth - width) / 2, y = screen::kWorkTop + std::max(0, (room - height) / 2);
    l.box = RECT{x, y, x + width, y + height};
    int top = kCaptionHeight + kPad;
    b.iconAt = RECT{kPad, top, kPad + kIconSize, top + kIconSize};
    l.text = RECT{kPad + icon, top, width - kPad, top + textH};
    // A single line stands level with the middle of the icon.
    if (icon && textH < kIconSize)
        OffsetRect(&l.text, 0, (kIconSize - textH) / 2);
    int bx = (width - row) / 2, by = height - kPad - kButtonHeight;
    for (size_t i = 0; i < b.buttons.size(); ++i) {
        int left = bx + int(i) * (kButtonWidth + kButtonGap);
        l.buttons.push_back(RECT{left, by, left + kButtonWidth, by + kButtonHeight});
    }
    return l;
}

HWND makeBox(HWND owner, const std::u16string &text, const std::u16string &caption, Box &b) {
    Layout l = layOut(text, b);
    HWND dlg = createBareDialog(owner, caption, WS_POPUP | WS_CAPTION | WS_BORDER, l.box, boxProc,
                                reinterpret_cast<LPARAM>(&b));
    if (!dlg)
        return nullptr;
    const RECT &t = l.text;
    CreateWindowExW(0, u"Static", text.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX,
                    t.left, t.top, t.right - t.left, t.bottom - t.top, dlg,
                    reinterpret_cast<HMENU>(uintptr_t(kTextId)), nullptr, nullptr);
    for (size_t i = 0; i < b.buttons.size(); ++i) {
        const RECT &r = l.buttons[i];
        uint32_t kind = i == b.def ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        CreateWindowExW(0, u"Button", buttonLabel(b.buttons[i]),
                        WS_CHILD | WS_VISIBLE | WS_TABSTOP | kind, r.left, r.top, r.right - r.left,
                        r.bottom - r.top, dlg, reinterpret_cast<HMENU>(uintptr_t(b.buttons[i])),
                        nullptr, nullptr);
    }
    return dlg;
}

// The box up until it is answered: by `answer` pressing its button at once, or (kOnScreen) by
// the pen and the keys. 0 when it went without an answer (its owner closed, the program quit).
int runBox(HWND owner, const std::u16string &text, const std::u16string &caption, Box &b,
           int answer) {
    HWND before = GetFocus();
    uintptr_t front = wins().foreground;
    HWND dlg = makeBox(owner, text, caption, b);
    if (!dlg)
        return answer == Answers::kOnScreen ? 0 : answer;
    Window *o = wins().get(owner) ? wins().topLevelOf(wins().get(owner)) : nullptr;
    HWND ownerTop = toHwnd(o);
    bool disabled = o && !(o->style & WS_DISABLED);
    if (disabled)
        EnableWindow(ownerTop, FALSE);
    ShowWindow(dlg, SW_SHOWNORMAL);
    SetFocus(GetDlgItem(dlg, b.buttons[b.def]));
    if (answer != Answers::kOnScreen)
        if (Window *button = wins().get(GetDlgItem(dlg, answer)))
            wins().send(button, BM_CLICK, 0, 0);
    INT_PTR result = runModal(dlg, arrowKeys);
    if (disabled && wins().get(ownerTop))
        EnableWindow(ownerTop, TRUE);
    restoreFront(b.inFront, front, before);
    return result > 0 ? int(result) : 0;
}

} // namespace

void restoreFront(bool dialogWasInFront, uintptr_t front, HWND focus) {
    auto &ws = wins();
    if (Window *f = ws.get(front); f && dialogWasInFront && (f->style & WS_VISIBLE))
        ws.activate(f);
    if (ws.get(focus) && !ws.get(GetFocus()))
        SetFocus(focus);
}

void paintDialogFrame(HDC dc, const RECT &client, const std::u16string &title) {
    RECT bar{0, 0, client.right, kCaptionHeight};
    look::fill(dc, bar, look::sys(COLOR_ACTIVECAPTION));
    HFONT font = boldFont(11);
    HGDIOBJ old = SelectObject(dc, font);
    SetTextColor(dc, look::sys(COLOR_CAPTIONTEXT));
    SetBkMode(dc, TRANSPARENT);
    RECT text{bar.left + 4, bar.top, bar.right - 4, bar.bottom};
    DrawTextW(dc, reinterpret_cast<LPCWSTR>(title.c_str()), int(title.size()), &text,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    SelectObject(dc, old);
    DeleteObject(font);
    look::frame(dc, client, look::sys(COLOR_WINDOWFRAME));
}

} // namespace emul

using namespace emul;

CEAPI int MessageBoxW(HWND hwnd, LPCWSTR text, LPCWSTR caption, UINT type) {
    if (refusedPointer(text, caption))
        return 0;
    Device &d = dev();
    Box b;
    b.buttons = messageBoxButtons(type);
    b.def = std::min(size_t((type >> 8) & 0xF), b.buttons.size() - 1); // MB_DEFBUTTON1..3
    b.icon = iconOf(type);
    std::u16string shownText = text ? text : u"", shownCaption = caption ? caption : u"Error";
    int answer = 0;
    if (Answers *user = d.shell().answers.get())
        answer = user->messageBox(shownText, shownCaption, type);
    if (answer != Answers::kOnScreen && !has(b, answer))
        answer = b.buttons[b.def];
    // An owner that is no window is no owner.
    HWND owner = wins().get(hwnd) ? hwnd : nullptr;
    int result = runBox(owner, shownText, shownCaption, b, answer);
    d.journal().call("MessageBoxW", Fields()
                                        .hwnd("hwnd", reinterpret_cast<uintptr_t>(hwnd))
                                        .str("text", text)
                                        .str("caption", caption)
                                        .num("type", type)
                                        .num("result", result));
    return result;
}
