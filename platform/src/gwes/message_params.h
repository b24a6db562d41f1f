// What a message's parameters are, for the journal: a window is written by its name, anything
// else as the number it is.
#pragma once

#include <windows.h>

#include <string>

namespace emul {

struct MessageParams {
    bool wparamIsWindow = false, lparamIsWindow = false;
};

// For message `msg` sent to a window of class `targetClass` (empty: no window): the system's
// messages by their definition, the task bar's own messages by what it takes.
MessageParams messageParams(UINT msg, const std::u16string &targetClass);

} // namespace emul
