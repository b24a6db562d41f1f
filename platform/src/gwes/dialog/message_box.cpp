// MessageBoxW: the user's answer comes from the scenario (`answer`), from an interactive front
// end, or else is the box's default button. Every box is journaled with its result.
#include <windows.h>

#include "emul/device.h"
#include "emul/shell.h"

using namespace emul;

namespace {

// The buttons of a box type, in the order they stand; the first is the affirmative one.
int buttons(UINT type, int out[3]) {
    switch (type & 0xF) {
    case MB_OKCANCEL:
        out[0] = IDOK, out[1] = IDCANCEL;
        return 2;
    case MB_ABORTRETRYIGNORE:
        out[0] = IDABORT, out[1] = IDRETRY, out[2] = IDIGNORE;
        return 3;
    case MB_YESNOCANCEL:
        out[0] = IDYES, out[1] = IDNO, out[2] = IDCANCEL;
        return 3;
    case MB_YESNO:
        out[0] = IDYES, out[1] = IDNO;
        return 2;
    case MB_RETRYCANCEL:
        out[0] = IDRETRY, out[1] = IDCANCEL;
        return 2;
    }
    out[0] = IDOK;
    return 1;
}

} // namespace

CEAPI int MessageBoxW(HWND hwnd, LPCWSTR text, LPCWSTR caption, UINT type) {
    Device &d = dev();
    int b[3] = {IDOK, 0, 0};
    int n = buttons(type, b);
    int result = 0;
    Shell &shell = d.shell();
    if (!shell.answers.empty()) {
        // "yes" takes the affirmative button, "no" the negative one (No, else Cancel).
        bool yes = shell.answers.front();
        shell.answers.pop_front();
        if (yes)
            result = b[0];
        else if ((type & 0xF) == MB_YESNO || (type & 0xF) == MB_YESNOCANCEL)
            result = IDNO;
        else
            result = n > 1 ? b[n - 1] : b[0];
    } else if (shell.askUser) {
        result = shell.askUser(text ? text : u"", caption ? caption : u"", type);
    }
    if (!result) {
        int def = int((type >> 8) & 0xF); // MB_DEFBUTTON1..3
        result = b[def < n ? def : 0];
    }
    d.journal().call("MessageBoxW", Fields()
                                        .hwnd("hwnd", reinterpret_cast<uintptr_t>(hwnd))
                                        .str("text", text)
                                        .str("caption", caption)
                                        .num("type", type)
                                        .num("result", result));
    return result;
}
