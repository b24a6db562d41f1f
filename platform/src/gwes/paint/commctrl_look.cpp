// How the common controls look: the trackbar's channel and thumb, the tab control's tabs and
// page frame, and the menu bar along the bottom of the screen.
#include "gwes/paint/look.h"

#include <commctrl.h>

#include <algorithm>

namespace emul::look {

namespace {

// A thumb that points both ways: a raised block.
void thumb(HDC dc, const RECT &r, bool enabled) {
    fill(dc, r, sys(COLOR_BTNFACE));
    buttonEdge(dc, r, false);
    if (!enabled)
        return;
    // Grip lines down its middle.
    int x = (r.left + r.right) / 2 - 1;
    vline(dc, x, r.top + 4, r.bottom - 4, sys(COLOR_BTNSHADOW));
    vline(dc, x + 1, r.top + 4, r.bottom - 4, sys(COLOR_BTNHIGHLIGHT));
}

// One tab's edges: its two sides from the page's edge to its far end, and the far end.
void tabEdges(HDC dc, const RECT &r, int edge, int far, COLORREF line) {
    vline(dc, r.left, std::min(edge, far), std::max(edge, far) + 1, line);
    vline(dc, r.right - 1, std::min(edge, far), std::max(edge, far) + 1, line);
    hline(dc, r.left, r.right, far, line);
}

} // namespace

void paintTrackbar(Window *w, HDC dc, const RECT &client, const WindowInfo &info) {
    (void)info;
    HBRUSH brush = ctlColor(w, WM_CTLCOLORSTATIC, dc);
    FillRect(dc, &client, brush);
    RECT channel{}, thumbRect{};
    wins().send(w, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
    wins().send(w, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumbRect));
    // The channel: a sunken groove.
    fill(dc, channel, sys(COLOR_WINDOW));
    hline(dc, channel.left, channel.right, channel.top, sys(COLOR_BTNSHADOW));
    vline(dc, channel.left, channel.top, channel.bottom, sys(COLOR_BTNSHADOW));
    hline(dc, channel.left, channel.right, channel.bottom - 1, sys(COLOR_BTNHIGHLIGHT));
    vline(dc, channel.right - 1, channel.top, channel.bottom, sys(COLOR_BTNHIGHLIGHT));
    RECT t = thumbRect;
    InflateRect(&t, 0, -1);
    thumb(dc, t, !(w->style & WS_DISABLED));
    if (focused(w)) {
        RECT f = client;
        DrawFocusRect(dc, &f);
    }
}

void paintTabs(Window *w, HDC dc, const RECT &client, const WindowInfo &info) {
    HBRUSH brush = ctlColor(w, WM_CTLCOLORSTATIC, dc);
    FillRect(dc, &client, brush);
    const std::vector<std::u16string> items = info.items.value_or(std::vector<std::u16string>{});
    bool bottom = (w->style & TCS_BOTTOM) != 0;
    COLORREF line = sys(COLOR_WINDOWFRAME);
    COLORREF label = (w->style & WS_DISABLED) ? sys(COLOR_GRAYTEXT) : GetTextColor(dc);
    RECT row{};
    if (!items.empty())
        wins().send(w, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
    // The page frame's edge along the row of tabs; the selected tab opens it.
    int edge = items.empty() ? client.bottom - 1 : bottom ? row.top : row.bottom - 1;
    int away = bottom ? 1 : -1; // from the page towards the tabs' far end
    hline(dc, client.left, client.right, edge, line);
    // The other tabs first, two pixels shorter than the selected one, which is drawn over
    // them a little wider: it stands out from the row and is one with its page.
    for (size_t i = 0; i < items.size(); ++i) {
        if (int(i) == info.selected)
            continue;
        RECT r{};
        wins().send(w, TCM_GETITEMRECT, WPARAM(i), reinterpret_cast<LPARAM>(&r));
        int far = (bottom ? r.bottom - 1 : r.top) - 2 * away;
        tabEdges(dc, r, edge, far, line);
        RECT text = r;
        OffsetRect(&text, 0, -away);
        look::text(dc, items[i], text, DT_CENTER | DT_VCENTER | DT_SINGLELINE, label);
    }
    if (info.selected < 0 || size_t(info.selected) >= items.size())
        return;
    RECT r{};
    wins().send(w, TCM_GETITEMRECT, WPARAM(info.selected), reinterpret_cast<LPARAM>(&r));
    r.left = std::max<LONG>(client.left, r.left - 2);
    r.right = std::min<LONG>(client.right, r.right + 2);
    int far = bottom ? r.bottom - 1 : r.top;
    FillRect(dc, &r, brush);
    tabEdges(dc, r, edge, far, line);
    text(dc, items[size_t(info.selected)], r, DT_CENTER | DT_VCENTER | DT_SINGLELINE, label);
    if (focused(w)) {
        RECT f = r;
        InflateRect(&f, -3, -3);
        DrawFocusRect(dc, &f);
    }
}

void paintMenuBar(Window *w, HDC dc, const RECT &client) {
    fill(dc, client, sys(COLOR_MENU));
    hline(dc, client.left, client.right, client.top, sys(COLOR_WINDOWFRAME));
    RECT label{client.left + 4, client.top + 1, client.right - 28, client.bottom};
    text(dc, w->text, label, DT_LEFT | DT_VCENTER | DT_SINGLELINE, sys(COLOR_MENUTEXT));
    // The input panel's button: a small keyboard at the right end.
    RECT kb{client.right - 22, client.top + 8, client.right - 6, client.top + 18};
    frame(dc, kb, sys(COLOR_MENUTEXT));
    for (int y = kb.top + 2; y < kb.bottom - 2; y += 2)
        for (int x = kb.left + 2; x < kb.right - 2; x += 2)
            SetPixel(dc, x, y, sys(COLOR_MENUTEXT));
}

} // namespace emul::look
