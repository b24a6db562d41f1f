// The task bar's OK button under the pen, as a button works: drawn pressed while the pen is on
// it, the program's OK only when the pen lifts there; sliding off and lifting does nothing.
#include "support/golden.h"
#include "support/installed_device.h"

#include <windows.h>

#include "emul/device.h"
#include "emul/process.h"
#include "emul/windows_sys.h"

#include <gtest/gtest.h>

namespace {

class TaskBarOk : public ::testing::Test, protected test_support::InstalledDevice {
  protected:
    TaskBarOk() { Play("run explorer\nrun kbsettings\nwait 10\n"); }
    bool SettingsRun() { return FindWindowW(u"KB Config", nullptr) != nullptr; }
    // The button's face, inside its outline: white while pressed, black otherwise.
    bool DrawnPressed() {
        std::vector<uint8_t> rgb = testgdi::screenPixels();
        return rgb[(6 * 240 + 214) * 3] > 128;
    }
    void Pen(emul::WindowSystem::Pen what, int x, int y) {
        device.windows().pen(what, x, y);
        Play("wait 10\n");
    }
};

using Pen = emul::WindowSystem::Pen;

TEST_F(TaskBarOk, APenSlidOffBeforeItLiftsPressesNothing) {
    ASSERT_TRUE(SettingsRun());
    EXPECT_FALSE(DrawnPressed());
    Pen(Pen::Down, 224, 13);
    EXPECT_TRUE(DrawnPressed());
    EXPECT_TRUE(SettingsRun());
    Pen(Pen::Move, 150, 13); // off it: drawn up again
    EXPECT_FALSE(DrawnPressed());
    Pen(Pen::Move, 230, 20); // back on it, at its edge
    EXPECT_TRUE(DrawnPressed());
    Pen(Pen::Move, 150, 60);
    Pen(Pen::Up, 150, 60);
    EXPECT_FALSE(DrawnPressed());
    EXPECT_TRUE(SettingsRun());
}

TEST_F(TaskBarOk, ThePenLiftingOnItIsTheProgramsOk) {
    Pen(Pen::Down, 211, 4); // its top-left pixel
    EXPECT_TRUE(SettingsRun());
    Pen(Pen::Up, 235, 21); // its bottom-right pixel
    EXPECT_FALSE(DrawnPressed());
    EXPECT_FALSE(SettingsRun());
}

} // namespace
