// The test harness stays outside the device models: no source of the window system, the common
// controls, the shell or the kernel includes a harness header.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

namespace {

namespace fs = std::filesystem;

TEST(Layering, DeviceModelsIncludeNoHarnessHeader) {
    const fs::path src = fs::path(TESTS_SOURCE_DIR) / ".." / "platform" / "src";
    // The harness's headers: its tables and the user's actions on the screen.
    const std::regex harnessInclude(
        R"re(^\s*#\s*include\s*[<"](emul/harness\.h|emul/user\.h|harness/))re");
    int sources = 0;
    for (const char *folder : {"gwes", "commctrl", "shell", "kernel"}) {
        ASSERT_TRUE(fs::is_directory(src / folder)) << folder;
        for (const auto &e : fs::recursive_directory_iterator(src / folder)) {
            if (!e.is_regular_file())
                continue;
            ++sources;
            std::ifstream in(e.path());
            std::string line;
            for (int n = 1; std::getline(in, line); ++n)
                EXPECT_FALSE(std::regex_search(line, harnessInclude))
                    << e.path().string() << ":" << n << ": " << line;
        }
    }
    EXPECT_GT(sources, 20);
}

} // namespace
