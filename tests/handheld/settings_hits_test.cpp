// Every control of the settings program's pages is hit where it stands: a tap at the centre of
// a control lands on that control and no other, a tap on a label lands on its page, and a tap
// on a tab label lands on the tab control.
#include "support/installed_device.h"

#include <commctrl.h>
#include <windows.h>

#include "emul/device.h"
#include "emul/windows_sys.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using emul::ControlKind;
using emul::WindowInfo;

class SettingsHits : public ::testing::Test, protected test_support::InstalledDevice {};

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

// What the settings program writes to the registry, in order, for a scenario on a new device.
std::vector<std::string> RegistryWrites(const std::string &scenario) {
    test_support::InstalledDevice d;
    d.Play(scenario);
    std::vector<std::string> writes;
    for (const std::string &line : d.device.journal().lines())
        if (line.find("\"call\":\"Reg") != std::string::npos)
            writes.push_back(line.substr(line.find(",\"call\"")));
    return writes;
}

TEST(SettingsPen, TapsAndDragsWriteWhatClicksSlidesAndSelectionsWrite) {
    // The check box, both sliders to new positions and back part of the way, and OK.
    std::vector<std::string> pen = RegistryWrites("run kbsettings\n"
                                                  "tap 66 48\n"
                                                  "drag 72 109 115 109\n"
                                                  "drag 86 160 43 160\n"
                                                  "drag 43 160 72 160\n"
                                                  "ok\n");
    std::vector<std::string> controls = RegistryWrites("run kbsettings\n"
                                                       "click 1005\n"
                                                       "slide 1000 6\n"
                                                       "slide 1001 1\n"
                                                       "slide 1001 3\n"
                                                       "ok\n");
    EXPECT_GE(pen.size(), 8u);
    EXPECT_EQ(pen, controls);
    // A row of the Hot-Key page: its box's list opened and an entry tapped, or selected.
    const std::string shortcuts = "file \"\\Windows\\Start Menu\\Notes.lnk\" \"9#notes.exe\"\n"
                                  "file \"\\Windows\\Start Menu\\Calculator.lnk\" \"8#calc.exe\"\n"
                                  "run kbsettings\n";
    pen = RegistryWrites(shortcuts + "tap 74 285\ntap 130 119\ntap 130 182\nok\n");
    controls = RegistryWrites(shortcuts + "tab 1\nselect 1012 Notes\nok\n");
    EXPECT_FALSE(pen.empty());
    EXPECT_EQ(pen, controls);
}

} // namespace
