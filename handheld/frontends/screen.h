// The device's screen as text: the foreground window's title and what its controls show.
#pragma once

#include "emul/device.h"

#include <string>

namespace handheld {

// Renders the foreground window as a framed block of text lines `width` characters wide.
// Must be called on an emulated thread of the device (the runner).
std::string renderScreen(emul::Device &device, int width = 30);

} // namespace handheld
