// The platform's own programs. They are ordinary GUI programs on a thread of their own, and
// use only calls that the journal does not record.
#include <windows.h>

#include "emul/device.h"
#include "emul/process.h"
#include "emul/shell.h"
#include "emul/windows_sys.h"

using namespace emul;

namespace {

constexpr int kNotesEditId = 100;

LRESULT CALLBACK NotesWindow(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// Notes: a full-screen window with one edit box that has the focus.
int NotesMain(const std::u16string &) {
    // A second start brings the running one forward.
    if (HWND running = FindWindowW(u"Notes", nullptr)) {
        dev().windows().setForeground(reinterpret_cast<uintptr_t>(running));
        return 0;
    }
    WNDCLASSW wc{};
    wc.lpfnWndProc = NotesWindow;
    wc.lpszClassName = u"Notes";
    RegisterClassW(&wc);
    HWND main = CreateWindowExW(0, u"Notes", u"Notes", WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr,
                                nullptr, nullptr);
    if (!main)
        return 1;
    HWND edit =
        CreateWindowExW(0, u"Edit", u"", WS_CHILD | WS_VISIBLE | ES_MULTILINE, 0, 0, 240, 320, main,
                        reinterpret_cast<HMENU>(intptr_t(kNotesEditId)), nullptr, nullptr);
    SetFocus(edit);
    dev().windows().setForeground(reinterpret_cast<uintptr_t>(main));
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    UnregisterClassW(u"Notes", nullptr);
    return int(m.wParam);
}

} // namespace

namespace emul {

void registerPlatformPrograms(Processes &processes) {
    processes.registerBuiltin(u"Notes.exe", NotesMain);
    registerDevicePrograms(processes);
}

} // namespace emul
