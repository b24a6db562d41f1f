// The device's screen: 240 x 320 pixels, the task bar along the top, a program's menu bar along
// the bottom, the input panel docked on the menu bar when it is shown. In screen pixels.
#pragma once

namespace emul::screen {

constexpr int kWidth = 240;
constexpr int kHeight = 320;
constexpr int kTaskBarHeight = 26; // the navigation bar, along the top
constexpr int kMenuBarHeight = 26; // a program's menu bar, along the bottom
// Between the two bars: where a program's window and a centred dialog go.
constexpr int kWorkTop = kTaskBarHeight;
constexpr int kWorkBottom = kHeight - kMenuBarHeight;
constexpr int kWorkHeight = kWorkBottom - kWorkTop;
// The input panel, right above the menu bar.
constexpr int kInputPanelHeight = 80;
constexpr int kInputPanelTop = kWorkBottom - kInputPanelHeight;

static_assert(kWorkHeight == 268 && kInputPanelTop == 214);

} // namespace emul::screen
