// The parameters of the messages whose meaning the platform knows. A number that merely equals
// a window's handle stays a number: only a parameter that a message defines as a window is
// journaled by name.
#include "gwes/message_params.h"

#include "emul/text.h"

namespace emul {

namespace {

struct Schema {
    UINT msg;
    const char16_t *targetClass; // null: any window
    bool wparam, lparam;
};

const Schema kSchemas[] = {
    {WM_ACTIVATE, nullptr, false, true},  // the window losing or gaining activation
    {WM_SETFOCUS, nullptr, true, false},  // the window that had the focus
    {WM_KILLFOCUS, nullptr, true, false}, // the window that gets it
    {WM_COMMAND, nullptr, false, true},   // the control that sends the notification
    // The task bar: show (4) or activate (6) the window in lparam; select the window in wparam.
    {WM_USER, u"HHTaskBar", false, true},
    {WM_USER + 0x64, u"HHTaskBar", true, false},
};

} // namespace

MessageParams messageParams(UINT msg, const std::u16string &targetClass) {
    for (const Schema &s : kSchemas)
        if (s.msg == msg && (!s.targetClass || equalsNoCase(targetClass, s.targetClass)))
            return MessageParams{s.wparam, s.lparam};
    return MessageParams{};
}

} // namespace emul
