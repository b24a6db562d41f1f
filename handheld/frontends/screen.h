// The device's screen as text, for `play --screen`.
#pragma once

#include "emul/device.h"

#include <string>

namespace handheld {

// The device's screen in a frame, its foreground window's title above it: one line of text per
// row of cells, as the interactive device draws it.
std::string renderScreen(emul::Device &device);

} // namespace handheld
