#include "support/golden.h"

#include "emul/device.h"
#include "emul/graphics.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace testgdi {

namespace {

std::string hexColour(const uint8_t *p) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", p[0], p[1], p[2]);
    return buf;
}

// Matching pixels faded to grey, differing ones bright red.
std::vector<uint8_t> difference(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b) {
    std::vector<uint8_t> d(a.size());
    for (size_t i = 0; i + 2 < a.size(); i += 3) {
        bool same =
            i + 2 < b.size() && a[i] == b[i] && a[i + 1] == b[i + 1] && a[i + 2] == b[i + 2];
        uint8_t grey = uint8_t(192 + (a[i] + a[i + 1] + a[i + 2]) / 12);
        d[i] = same ? grey : 255;
        d[i + 1] = same ? grey : 0;
        d[i + 2] = same ? grey : 0;
    }
    return d;
}

} // namespace

std::string diffsDir() {
    const char *dir = std::getenv("GOLDEN_DIFFS");
    return dir && *dir ? dir : GOLDEN_DIFFS_DIR;
}

::testing::AssertionResult matchesGolden(const std::string &name, int width, int height,
                                         const std::vector<uint8_t> &rgb) {
    std::string path = std::string(TESTS_SOURCE_DIR) + "/golden/" + name + ".png";
    std::string error;
    const char *update = std::getenv("UPDATE_JOURNALS");
    if (update && *update && *update != '0') {
        if (!emul::writePng(path, width, height, rgb, &error))
            return ::testing::AssertionFailure() << error;
        return ::testing::AssertionSuccess();
    }
    int gw = 0, gh = 0;
    std::vector<uint8_t> golden;
    if (!emul::readPng(path, &gw, &gh, &golden, &error))
        return ::testing::AssertionFailure() << error << " (UPDATE_JOURNALS=1 writes it)";
    std::string why;
    if (gw != width || gh != height) {
        why = "size " + std::to_string(width) + "x" + std::to_string(height) + ", golden " +
              std::to_string(gw) + "x" + std::to_string(gh);
    } else {
        for (size_t i = 0; i + 2 < rgb.size(); i += 3)
            if (rgb[i] != golden[i] || rgb[i + 1] != golden[i + 1] || rgb[i + 2] != golden[i + 2]) {
                size_t px = i / 3;
                why = "first difference at (" + std::to_string(px % size_t(width)) + ", " +
                      std::to_string(px / size_t(width)) + "): " + hexColour(&rgb[i]) +
                      ", golden " + hexColour(&golden[i]);
                break;
            }
    }
    if (why.empty())
        return ::testing::AssertionSuccess();
    std::string dir = diffsDir();
    std::filesystem::create_directories(dir);
    std::string actual = dir + "/" + name + ".actual.png";
    std::string diff = dir + "/" + name + ".diff.png";
    emul::writePng(actual, width, height, rgb, &error);
    if (gw == width && gh == height)
        emul::writePng(diff, width, height, difference(rgb, golden), &error);
    return ::testing::AssertionFailure()
           << name << ".png differs: " << why << "; see " << std::filesystem::absolute(actual)
           << " and " << std::filesystem::absolute(diff);
}

std::vector<uint8_t> screenPixels() {
    return emul::Device::current().graphics().rgb();
}

} // namespace testgdi
