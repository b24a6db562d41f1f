// What a person's click on the screen does, as the scenario language says it, so that the
// session's recording replays it. The window system's hit test decides what a click reaches.
#pragma once

#include "frontends/screen_model.h"

#include <string>

namespace handheld {

struct ClickResult {
    std::string command;   // the scenario command to run; empty: the click reaches nothing
    uintptr_t hwnd = 0;    // the window the click reached
    bool programs = false; // the task bar beside Start: the list of running programs
    bool typing = false;   // a text box or the Start menu: the keys go to it
};

// A click on a cell of the device's screen. Must run on the device's main thread (it asks the
// window system's hit test).
ClickResult clickAt(const ScreenModel &model, int col, int row);
// The scenario command that taps the task bar's Start button (the platform opens its Start menu
// then), or "" when the screen shows none.
std::string tapStart(const ScreenModel &model);

} // namespace handheld
