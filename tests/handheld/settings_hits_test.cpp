// Every control of the settings program's pages is hit where it stands: a tap at the centre of
// a control lands on that control and no other, a tap on a label lands on its page, and a tap
// on a tab label lands on the tab control.
#include "handheld/image/install.h"
#include "handheld/scenario/scenario.h"

#include <commctrl.h>
#include <windows.h>

#include "emul/device.h"
#include "emul/windows_sys.h"

#include <gtest/gtest.h>

namespace {

using emul::ControlKind;
using emul::WindowInfo;

class SettingsHits : public ::testing::Test {
  protected:
    SettingsHits() {
        handheld::InstallOptions options;
        options.withPort = false;
        handheld::install(device, options);
        runner = std::make_unique<handheld::ScenarioRunner>(device);
    }
    void Play(const std::string &text) {
        handheld::ScnError err;
        ASSERT_TRUE(runner->playText(text, &err)) << err.message;
    }
    emul::Device device;
    std::unique_ptr<handheld::ScenarioRunner> runner;
};

uintptr_t HitAt(int x, int y) {
    return reinterpret_cast<uintptr_t>(WindowFromPoint(POINT{x, y}));
}

// Returns how many controls it looked at.
size_t CheckPage(const WindowInfo &page) {
    for (const WindowInfo &c : page.children) {
        int x = (c.left + c.right) / 2, y = (c.top + c.bottom) / 2;
        uintptr_t want = c.kind == ControlKind::Static ? page.hwnd : c.hwnd;
        EXPECT_EQ(HitAt(x, y), want)
            << "control " << c.id << " \"" << std::string(c.label.begin(), c.label.end())
            << "\" at " << x << "," << y;
    }
    return page.children.size();
}

TEST_F(SettingsHits, EachPagesControlsAreHitWhereTheyStand) {
    Play("run kbsettings\n");
    const emul::WindowView &view = device.windows().view();
    uintptr_t tab = view.tabControlOf(view.foregroundProgram());
    ASSERT_NE(tab, 0u);
    const size_t controls[] = {15, 21, 5}; // on the Config, Hot-Key and About pages
    for (int page = 0; page < 3; ++page) {
        Play("tab " + std::to_string(page) + "\n");
        size_t checked = 0;
        for (const WindowInfo &top : view.snapshot())
            if (top.visible && top.program == view.foregroundProgram())
                for (const WindowInfo &t : top.children)
                    if (t.hwnd == tab)
                        for (const WindowInfo &p : t.children)
                            if (p.visible)
                                checked += CheckPage(p);
        EXPECT_EQ(checked, controls[page]);
        for (int i = 0; i < 3; ++i) {
            RECT r{};
            ASSERT_TRUE(device.windows().send(tab, TCM_GETITEMRECT, WPARAM(i),
                                              reinterpret_cast<intptr_t>(&r)));
            std::optional<WindowInfo> t = view.window(tab);
            EXPECT_EQ(HitAt(t->left + (r.left + r.right) / 2, t->top + (r.top + r.bottom) / 2),
                      tab);
        }
    }
}

} // namespace
