// How injected input (keybd_event, PostKeybdMessage, mouse_event) reaches the window system.
#pragma once

#include <cstdint>

namespace emul {

// A key pressed or released at the keyboard: goes to the focus of the foreground thread.
void deliverKeyEvent(uint8_t vk, uint32_t flags);
// A key with its characters already made, for `hwnd` (-1: the foreground's focus; 0: the
// caller's own focus or active window).
void deliverPostedKey(uintptr_t hwnd, uint32_t vk, uint32_t state, const uint32_t *chars,
                      uint32_t count);
// A tap, drag or release on the screen.
void deliverMouseEvent(uint32_t flags, uint32_t dx, uint32_t dy);

} // namespace emul
