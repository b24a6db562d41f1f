// Pictures compared pixel for pixel with golden PNG files under tests/golden. UPDATE_JOURNALS=1
// rewrites the golden file instead. A mismatch names the first differing pixel with both
// colours and writes the actual picture and a difference picture into diffsDir(): $GOLDEN_DIFFS,
// else tests/golden-diffs in the build folder, never the source tree.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testgdi {

::testing::AssertionResult matchesGolden(const std::string &name, int width, int height,
                                         const std::vector<uint8_t> &rgb);
std::string diffsDir();
// The device's screen as R, G, B bytes.
std::vector<uint8_t> screenPixels();

} // namespace testgdi
