// MessageBoxW: the user's answer comes from whoever answers for the device (emul/answers.h), or
// is the box's default button. Every box is journaled with its result.
#include <windows.h>

#include "emul/answers.h"
#include "emul/device.h"
#include "emul/shell.h"
#include "kernel/user_pointers.h"

#include <algorithm>

namespace emul {

std::vector<int> messageBoxButtons(uint32_t type) {
    switch (type & 0xF) {
    case MB_OKCANCEL:
        return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE:
        return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL:
        return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO:
        return {IDYES, IDNO};
    case MB_RETRYCANCEL:
        return {IDRETRY, IDCANCEL};
    }
    return {IDOK};
}

} // namespace emul

using namespace emul;

CEAPI int MessageBoxW(HWND hwnd, LPCWSTR text, LPCWSTR caption, UINT type) {
    if (refusedPointer(text, caption))
        return 0;
    Device &d = dev();
    std::vector<int> b = messageBoxButtons(type);
    int result = 0;
    if (Answers *user = d.shell().answers.get())
        result = user->messageBox(text ? text : u"", caption ? caption : u"", type);
    if (std::find(b.begin(), b.end(), result) == b.end()) {
        size_t def = (type >> 8) & 0xF; // MB_DEFBUTTON1..3
        result = b[def < b.size() ? def : 0];
    }
    d.journal().call("MessageBoxW", Fields()
                                        .hwnd("hwnd", reinterpret_cast<uintptr_t>(hwnd))
                                        .str("text", text)
                                        .str("caption", caption)
                                        .num("type", type)
                                        .num("result", result));
    return result;
}
