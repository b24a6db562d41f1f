// Input injection. Each call is journaled; the window system turns injected keys into messages
// for the focused window of the foreground program.
#include <windows.h>

#include "gwes/input.h"

#include "emul/device.h"
#include "emul/windows_sys.h"

#include <string>

using namespace emul;

CEAPI void keybd_event(BYTE vk, BYTE scan, DWORD flags, DWORD extra) {
    dev().journal().call(
        "keybd_event",
        Fields().num("vk", vk).num("scan", scan).num("flags", flags).num("extra", extra));
    deliverKeyEvent(vk, flags);
    // The power key switches the device off; whoever runs it makes the suspend.
    if (vk == VK_OFF && !(flags & KEYEVENTF_KEYUP))
        dev().requestSuspend();
}

CEAPI BOOL PostKeybdMessage(HWND hwnd, UINT vk, KEY_STATE_FLAGS state, UINT count, UINT *shift,
                            UINT *chars) {
    // Absent arrays are journaled as zeros, as many as the count says.
    uint32_t zeros[16] = {};
    bool fits = count <= 16;
    std::vector<uint32_t> zeroList(fits ? 0 : count);
    const uint32_t *none = fits ? zeros : zeroList.data();
    dev().journal().call("PostKeybdMessage", Fields()
                                                 .hwnd("hwnd", reinterpret_cast<uintptr_t>(hwnd))
                                                 .num("vk", vk)
                                                 .num("state", state)
                                                 .nums("chars", chars ? chars : none, count)
                                                 .nums("shift", shift ? shift : none, count));
    if (!shift || !chars) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    deliverPostedKey(reinterpret_cast<uintptr_t>(hwnd), vk, state, chars, count);
    return TRUE;
}

CEAPI void mouse_event(DWORD flags, DWORD dx, DWORD dy, DWORD data, DWORD extra) {
    dev().journal().call("mouse_event", Fields()
                                            .num("flags", flags)
                                            .num("dx", dx)
                                            .num("dy", dy)
                                            .num("data", data)
                                            .num("extra", extra));
    deliverMouseEvent(flags, dx, dy);
}

CEAPI void SystemIdleTimerReset(void) {
    dev().journal().call("SystemIdleTimerReset", Fields());
}
