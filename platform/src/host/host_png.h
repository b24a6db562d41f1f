// PNG files through libpng: the bottom of screenshots and of golden-image comparisons.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace emul::hostpng {

// Writes `width` x `height` pixels of 8-bit R, G, B bytes, top row first, touching no file but
// `path`. On failure `error` says why in one line.
bool write(const std::string &path, int width, int height, const std::vector<uint8_t> &rgb,
           std::string *error);

// Reads a PNG of any colour type into 8-bit R, G, B bytes (alpha dropped); false with `error`
// set when it is missing or damaged.
bool read(const std::string &path, int *width, int *height, std::vector<uint8_t> *rgb,
          std::string *error);

} // namespace emul::hostpng
