// The platform's own programs. They are ordinary GUI programs on a thread of their own, and
// use only calls that the journal does not record.
#include <windows.h>

#include "emul/device.h"
#include "emul/process.h"
#include "emul/shell.h"
#include "emul/windows_sys.h"
#include "shell/program_window.h"

using namespace emul;

namespace {

constexpr int kNotesDocumentId = 100;

// Notes: a window on the work area whose document, an ink control, has the focus.
int NotesMain(const std::u16string &) {
    // A second start brings the running one forward.
    if (HWND running = FindWindowW(u"Notes", nullptr)) {
        dev().windows().setForeground(reinterpret_cast<uintptr_t>(running));
        return 0;
    }
    WNDCLASSW wc{};
    wc.lpfnWndProc = ProgramWindow;
    wc.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
    wc.lpszClassName = u"Notes";
    RegisterClassW(&wc);
    HWND main = CreateWindowExW(0, u"Notes", u"Notes", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
    if (!main)
        return 1;
    RECT client{};
    GetClientRect(main, &client);
    HWND document = CreateWindowExW(
        0, u"richink", u"", WS_CHILD | WS_VISIBLE | WS_VSCROLL, 0, 0, client.right, client.bottom,
        main, reinterpret_cast<HMENU>(intptr_t(kNotesDocumentId)), nullptr, nullptr);
    loadDocument(main);
    SetFocus(document);
    showProgramWindow(main);
    dev().windows().setForeground(reinterpret_cast<uintptr_t>(main));
    int code = programMessageLoop();
    UnregisterClassW(u"Notes", nullptr);
    return code;
}

} // namespace

namespace emul {

void registerPlatformPrograms(Processes &processes) {
    processes.registerBuiltin(u"Notes.exe", NotesMain);
    registerDevicePrograms(processes);
}

} // namespace emul
