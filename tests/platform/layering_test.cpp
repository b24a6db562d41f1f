// The test harness stays outside the device models: no source of the window system, the common
// controls, the shell or the kernel includes a harness header. The front ends take the journal
// as records from a sink, never as text read back.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Every line of the sources under `folders` of `root` that matches `pattern`, as "file:line: text";
// `*sources` counts the files looked at.
std::vector<std::string> matches(const fs::path &root, std::initializer_list<const char *> folders,
                                 const std::regex &pattern, int *sources) {
    std::vector<std::string> found;
    for (const char *folder : folders) {
        EXPECT_TRUE(fs::is_directory(root / folder)) << folder;
        if (!fs::is_directory(root / folder))
            continue;
        for (const auto &e : fs::recursive_directory_iterator(root / folder)) {
            if (!e.is_regular_file())
                continue;
            ++*sources;
            std::ifstream in(e.path());
            std::string line;
            for (int n = 1; std::getline(in, line); ++n)
                if (std::regex_search(line, pattern))
                    found.push_back(e.path().string() + ":" + std::to_string(n) + ": " + line);
        }
    }
    return found;
}

TEST(Layering, DeviceModelsIncludeNoHarnessHeader) {
    const fs::path src = fs::path(TESTS_SOURCE_DIR) / ".." / "platform" / "src";
    // The harness's headers: its tables and the user's actions on the screen.
    const std::regex harnessInclude(
        R"re(^\s*#\s*include\s*[<"](emul/harness\.h|emul/user\.h|harness/))re");
    int sources = 0;
    auto found = matches(src, {"gwes", "commctrl", "shell", "kernel"}, harnessInclude, &sources);
    EXPECT_TRUE(found.empty()) << ::testing::PrintToString(found);
    EXPECT_GT(sources, 20);
}

TEST(Layering, FrontEndsReadNoJournalText) {
    const fs::path handheld = fs::path(TESTS_SOURCE_DIR) / ".." / "handheld";
    // A JSON reader, or the journal's kept lines and their search, would be its text read back.
    const std::regex journalText(
        R"re(#\s*include\s*[<"]nlohmann/|json::parse|journal\(\)\s*\.\s*(lines|grep)\s*\(|JournalRecorder)re");
    int sources = 0;
    auto found = matches(handheld, {"frontends"}, journalText, &sources);
    EXPECT_TRUE(found.empty()) << ::testing::PrintToString(found);
    EXPECT_GT(sources, 20);
}

} // namespace
