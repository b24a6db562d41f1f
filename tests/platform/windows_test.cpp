// The emulated window system: the window tree, look-ups, messages between threads, injected
// input, the journal's window names and the shell's process handles.
#include <shellapi.h>
#include <sipapi.h>
#include <windows.h>

#include "support/pump.h"

#include "emul/device.h"
#include "emul/files.h"
#include "emul/harness.h"
#include "emul/process.h"
#include "emul/shell.h"
#include "emul/windows_sys.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using emul::kern;

HWND H(uintptr_t h) {
    return reinterpret_cast<HWND>(h);
}

uintptr_t Scene(emul::Device &, const std::string &name, const char16_t *cls, uintptr_t parent = 0,
                int l = 0, int t = 0, int r = 10, int b = 10) {
    return emul::harness::createSceneWindow(name, cls, parent, l, t, r, b);
}

bool WaitsForInput(const emul::Thread *t) {
    return emul::dev().windows().waitingForInput(t);
}

// Runs the device's other threads until the program waits for input or has ended.
void Settle(const std::shared_ptr<emul::Program> &p) {
    kern().block([p] { return p->exited() || WaitsForInput(p->thread.get()); }, emul::kNever);
}

std::shared_ptr<emul::Program> Start(emul::Device &d, const char16_t *name) {
    uint32_t error = 0;
    std::shared_ptr<emul::Program> p = d.processes().start(name, u"", &error);
    EXPECT_NE(p, nullptr) << "error " << error;
    if (p)
        Settle(p);
    return p;
}

void Key(BYTE vk, bool up = false) {
    keybd_event(vk, 0, up ? KEYEVENTF_KEYUP : 0, 0);
}

TEST(Windows, ChildrenComeInCreationOrderAndTheWalkVisitsThemAll) {
    emul::Device d;
    uintptr_t top = Scene(d, "top", u"Frame");
    uintptr_t a = Scene(d, "a", u"A", top), b = Scene(d, "b", u"B", top),
              c = Scene(d, "c", u"C", top);
    uintptr_t a1 = Scene(d, "a1", u"A1", a);
    EXPECT_EQ(GetWindow(H(top), GW_CHILD), H(a));
    EXPECT_EQ(GetWindow(H(a), GW_HWNDNEXT), H(b));
    EXPECT_EQ(GetWindow(H(b), GW_HWNDNEXT), H(c));
    EXPECT_EQ(GetWindow(H(c), GW_HWNDNEXT), nullptr);
    EXPECT_EQ(GetWindow(H(c), GW_HWNDPREV), H(b));
    EXPECT_EQ(GetWindow(H(a), GW_CHILD), H(a1));
    EXPECT_EQ(GetWindow(H(a1), GW_CHILD), nullptr);
    EXPECT_EQ(GetParent(H(a1)), H(a));
    EXPECT_EQ(GetParent(H(top)), nullptr);

    // Destroying a window takes its subtree and closes the gap among its siblings.
    EXPECT_TRUE(DestroyWindow(H(a)));
    EXPECT_FALSE(IsWindow(H(a)));
    EXPECT_FALSE(IsWindow(H(a1)));
    EXPECT_EQ(GetWindow(H(top), GW_CHILD), H(b));
    EXPECT_EQ(GetWindow(H(a), GW_CHILD), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
    // Handles are not reused, so a stale one stays dead.
    uintptr_t again = Scene(d, "again", u"A", top);
    EXPECT_NE(again, a);
    EXPECT_NE(again, a1);
}

TEST(Windows, ClassNameIsTruncatedToTheBufferAndSpelledAsRegistered) {
    emul::Device d;
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"NoteBox";
    ASSERT_NE(RegisterClassW(&wc), 0);
    EXPECT_EQ(RegisterClassW(&wc), 0); // class names are atoms: one per spelling family
    HWND w =
        CreateWindowExW(0, u"notebox", u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(w, nullptr);

    WCHAR buf[16];
    std::fill(std::begin(buf), std::end(buf), WCHAR(0xAAAA));
    EXPECT_EQ(GetClassNameW(w, buf, 16), 7);
    EXPECT_EQ(std::u16string(buf), u"NoteBox");
    std::fill(std::begin(buf), std::end(buf), WCHAR(0xAAAA));
    EXPECT_EQ(GetClassNameW(w, buf, 4), 3);
    EXPECT_EQ(std::u16string(buf), u"Not");
    EXPECT_EQ(buf[4], WCHAR(0xAAAA));       // nothing written past the buffer
    EXPECT_EQ(GetClassNameW(w, buf, 8), 7); // exactly room for the name and its null
    EXPECT_EQ(GetClassNameW(w, buf, 1), 0);
    EXPECT_EQ(buf[0], 0);
    buf[0] = 0x1234;
    EXPECT_EQ(GetClassNameW(w, buf, 0), 0);
    EXPECT_EQ(buf[0], 0x1234);
    EXPECT_EQ(GetClassNameW(nullptr, buf, 16), 0);
    EXPECT_EQ(GetClassNameW(H(0x12345), buf, 16), 0);

    // A class with live windows stays; once they are gone it can go.
    EXPECT_FALSE(UnregisterClassW(u"NOTEBOX", nullptr));
    DestroyWindow(w);
    EXPECT_TRUE(UnregisterClassW(u"NOTEBOX", nullptr));
    EXPECT_EQ(
        CreateWindowExW(0, u"NoteBox", u"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
        nullptr);
}

TEST(Windows, FindWindowSeesTopLevelWindowsOnly) {
    emul::Device d;
    uintptr_t frame = Scene(d, "frame", u"Frame");
    Scene(d, "taskbarChild", u"HHTaskBar", frame);
    EXPECT_EQ(FindWindowW(u"HHTaskBar", nullptr), nullptr);
    uintptr_t bar = Scene(d, "taskbar", u"HHTaskBar");
    EXPECT_EQ(FindWindowW(u"hhtaskbar", nullptr), H(bar));
    EXPECT_EQ(FindWindowW(u"HHTaskBar", u"title"), nullptr);
    SetWindowTextW(H(bar), u"title");
    EXPECT_EQ(FindWindowW(nullptr, u"title"), H(bar));
    // The desktop is always there.
    EXPECT_EQ(FindWindowW(u"DesktopExplorerWindow", nullptr), GetDesktopWindow());
    EXPECT_NE(GetDesktopWindow(), nullptr);
}

TEST(Windows, WindowFromPointFindsTheDeepestVisibleEnabledWindow) {
    emul::Device d;
    uintptr_t top = Scene(d, "top", u"Frame", 0, 0, 26, 240, 320);
    uintptr_t panel = Scene(d, "panel", u"Panel", top, 10, 10, 110, 110); // screen 10,36 .. 110,136
    uintptr_t ink = Scene(d, "ink", u"richink", panel, 5, 5, 50, 50);     // screen 15,41 .. 60,86
    RECT r{};
    ASSERT_TRUE(GetWindowRect(H(ink), &r));
    EXPECT_EQ(r.left, 15);
    EXPECT_EQ(r.top, 41);
    EXPECT_EQ(r.right, 60);
    EXPECT_EQ(r.bottom, 86);
    EXPECT_EQ(WindowFromPoint(POINT{30, 50}), H(ink));
    EXPECT_EQ(WindowFromPoint(POINT{100, 100}), H(panel));
    EXPECT_EQ(WindowFromPoint(POINT{200, 300}), H(top));
    EXPECT_EQ(WindowFromPoint(POINT{5, 5}), GetDesktopWindow());
    ShowWindow(H(ink), SW_HIDE);
    EXPECT_EQ(WindowFromPoint(POINT{30, 50}), H(panel));
    ShowWindow(H(ink), SW_SHOW);
    EnableWindow(H(ink), FALSE);
    EXPECT_EQ(WindowFromPoint(POINT{30, 50}), H(panel));
    // Moving a parent carries its children along.
    EXPECT_TRUE(MoveWindow(H(panel), 0, 0, 100, 100, FALSE));
    ASSERT_TRUE(GetWindowRect(H(ink), &r));
    EXPECT_EQ(r.left, 5);
    EXPECT_EQ(r.top, 31);
}

// A window on a thread of its own, with a message loop.
struct Worker {
    HWND hwnd = nullptr;
    DWORD handledOn = 0;
    int settingChanges = 0;
    std::vector<DWORD> timerTicks;
    std::shared_ptr<emul::Thread> thread;
    emul::Program program; // stands for the program that owns the worker's windows

    static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
        auto *self = reinterpret_cast<Worker *>(GetWindowLongPtrW(h, GWL_USERDATA));
        if (msg == WM_USER) {
            self->handledOn = GetCurrentThreadId();
            Sleep(100); // the sender waits through this
            return LRESULT(wp + lp);
        }
        if (msg == WM_SETTINGCHANGE && wp == 0xE0)
            ++self->settingChanges;
        if (msg == WM_TIMER)
            self->timerTicks.push_back(GetTickCount());
        if (msg == WM_DESTROY)
            PostQuitMessage(3);
        return DefWindowProcW(h, msg, wp, lp);
    }

    void start() {
        thread = kern().spawn("worker", [this] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = Proc;
            wc.lpszClassName = u"WorkerWindow";
            RegisterClassW(&wc);
            hwnd = CreateWindowExW(0, u"WorkerWindow", u"w", 0, 0, 0, 50, 50, nullptr, nullptr,
                                   nullptr, nullptr);
            SetWindowLongPtrW(hwnd, GWL_USERDATA, reinterpret_cast<LONG_PTR>(this));
            MSG m;
            while (GetMessageW(&m, nullptr, 0, 0))
                DispatchMessageW(&m);
            return uint32_t(m.wParam);
        });
        thread->program = &program;
        kern().block([this] { return WaitsForInput(thread.get()); }, emul::kNever);
    }
};

TEST(Windows, SendMessageToAnotherThreadWaitsForItsHandler) {
    emul::Device d;
    Worker w;
    w.start();
    DWORD before = GetTickCount();
    EXPECT_EQ(SendMessageW(w.hwnd, WM_USER, 40, 2), 42);
    EXPECT_EQ(GetTickCount() - before, 100u);
    EXPECT_EQ(w.handledOn, w.thread->id);
    // Text messages of another thread's window go through its procedure too.
    WCHAR buf[8];
    EXPECT_EQ(GetWindowTextW(w.hwnd, buf, 8), 1);
    EXPECT_EQ(std::u16string(buf), u"w");
    // Closing the window ends the thread's loop with the quit code.
    EXPECT_TRUE(PostMessageW(w.hwnd, WM_CLOSE, 0, 0));
    kern().block([&] { return w.thread->exited(); }, emul::kNever);
    EXPECT_EQ(w.thread->exitCode, 3u);
    EXPECT_FALSE(IsWindow(w.hwnd));
    EXPECT_EQ(SendMessageW(w.hwnd, WM_USER, 1, 1), 0);
    EXPECT_EQ(SendMessageW(nullptr, WM_USER, 1, 1), 0);
}

// The thread already waits for messages when the timer is set: it still hears it on time.
TEST(Windows, ATimerSetOnAnotherThreadsWindowFiresWhenDue) {
    emul::Device d;
    Worker w;
    w.start();
    EXPECT_EQ(SetTimer(w.hwnd, 5, 300, nullptr), 5u);
    Sleep(1000);
    EXPECT_EQ(w.timerTicks, (std::vector<DWORD>{300, 600, 900}));
    EXPECT_TRUE(KillTimer(w.hwnd, 5));
    EXPECT_TRUE(PostMessageW(w.hwnd, WM_CLOSE, 0, 0));
    kern().block([&] { return w.thread->exited(); }, emul::kNever);
}

TEST(Windows, ProgramsHearWhenTheInputPanelComesOrGoes) {
    emul::Device d;
    Worker w;
    w.start();
    SipShowIM(SIPF_ON);
    SipShowIM(SIPF_ON); // no change, nothing to tell
    kern().block([&] { return WaitsForInput(w.thread.get()); }, emul::kNever);
    EXPECT_EQ(w.settingChanges, 1);
    SipShowIM(SIPF_OFF);
    kern().block([&] { return WaitsForInput(w.thread.get()); }, emul::kNever);
    EXPECT_EQ(w.settingChanges, 2);
    EXPECT_EQ(d.journal().grep("SipShowIM").size(), 3u);
}

TEST(Windows, MessagesToForeignWindowsAreJournaledByName) {
    emul::Device d;
    uintptr_t bar = Scene(d, "bar", u"HHTaskBar");
    uintptr_t worker = Scene(d, "worker", u"Worker");
    PostMessageW(H(bar), WM_USER, 4, LPARAM(worker));
    SendMessageW(H(bar), 0x464, WPARAM(worker), 0);
    SendMessageW(nullptr, WM_USER, 6, 0);
    SetWindowPos(H(worker), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
    SetWindowPos(H(worker), HWND_TOP, 0, 0, 0, 0, 0x43);
    SetForegroundWindow(H(reinterpret_cast<uintptr_t>(GetDesktopWindow()) | 1));
    EXPECT_EQ(GetForegroundWindow(), GetDesktopWindow());
    const auto &l = d.journal().lines();
    ASSERT_EQ(l.size(), 6u);
    EXPECT_EQ(
        l[0],
        R"({"t":0,"call":"PostMessageW","hwnd":"bar","msg":1024,"wparam":4,"lparam":"worker"})");
    EXPECT_EQ(
        l[1],
        R"({"t":0,"call":"SendMessageW","hwnd":"bar","msg":1124,"wparam":"worker","lparam":0})");
    EXPECT_EQ(l[2],
              R"({"t":0,"call":"SendMessageW","hwnd":null,"msg":1024,"wparam":6,"lparam":0})");
    EXPECT_EQ(
        l[3],
        R"({"t":0,"call":"SetWindowPos","hwnd":"worker","after":-1,"x":0,"y":0,"cx":0,"cy":0,"flags":67})");
    EXPECT_EQ(
        l[4],
        R"({"t":0,"call":"SetWindowPos","hwnd":"worker","after":0,"x":0,"y":0,"cx":0,"cy":0,"flags":67})");
    EXPECT_EQ(l[5], R"({"t":0,"call":"SetForegroundWindow","hwnd":"DesktopExplorerWindow"})");
    EXPECT_EQ(emul::harness::received(bar).size(), 2u);
}

TEST(Windows, AProgramsOwnWindowsAreNotJournaled) {
    emul::Device d;
    Worker w;
    w.start();
    uintptr_t bar = Scene(d, "bar", u"HHTaskBar");
    HWND target = w.hwnd;
    auto t = kern().spawn("same program", [bar, target] {
        SendMessageW(target, WM_USER, 1, 1);              // a window of its own program
        PostMessageW(H(bar), WM_USER, 0, LPARAM(target)); // a scene window belongs to no program
        return 0u;
    });
    t->program = &w.program;
    kern().block([t] { return t->exited(); }, emul::kNever);
    const auto &l = d.journal().lines();
    ASSERT_EQ(l.size(), 1u);
    EXPECT_EQ(
        l[0],
        R"({"t":100,"call":"PostMessageW","hwnd":"bar","msg":1024,"wparam":0,"lparam":"WorkerWindow"})");
    // The host's own calls (no program) are journaled like any other foreign caller's.
    SendMessageW(w.hwnd, WM_USER, 1, 1);
    EXPECT_EQ(d.journal().grep("SendMessageW").size(), 1u);
}

TEST(Windows, ShiftedKeysTypeIntoTheNotesEditBox) {
    emul::Device d;
    std::shared_ptr<emul::Program> notes = Start(d, u"notes");
    ASSERT_NE(notes, nullptr);
    HWND main = FindWindowW(u"Notes", nullptr);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(GetForegroundWindow(), main);
    HWND edit = GetDlgItem(main, 100);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(d.windows().focus(), reinterpret_cast<uintptr_t>(edit));
    // Notes takes the work area between the task bar and its menu bar; its document fills it.
    RECT r{}, work{}, doc{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ(work.top, 26);
    GetWindowRect(main, &r);
    GetWindowRect(edit, &doc);
    for (const RECT &got : {r, doc}) {
        EXPECT_EQ(got.left, work.left);
        EXPECT_EQ(got.top, work.top);
        EXPECT_EQ(got.right, work.right);
        EXPECT_EQ(got.bottom, work.bottom - 26);
    }

    // The whole word is injected before Notes runs: each key keeps the Shift state it had.
    Key(VK_SHIFT);
    Key('H');
    Key('H', true);
    Key(VK_SHIFT, true);
    Key('I');
    Key('I', true);
    Key(VK_SHIFT);
    Key('1');
    Key('1', true);
    Key(VK_SHIFT, true);
    Settle(notes);
    EXPECT_EQ(d.windows().text(reinterpret_cast<uintptr_t>(edit)), u"Hi!");

    // Caps Lock flips letters but not digits; Shift flips them back; Backspace deletes.
    Key(VK_CAPITAL);
    Key(VK_CAPITAL, true);
    Key('A');
    Key(VK_SHIFT);
    Key('B');
    Key(VK_SHIFT, true);
    Key('2');
    Key(VK_BACK);
    Key(VK_SPACE);
    Settle(notes);
    EXPECT_EQ(d.windows().text(reinterpret_cast<uintptr_t>(edit)), u"Hi!Ab ");

    // Closing the window ends the program.
    d.windows().post(reinterpret_cast<uintptr_t>(main), WM_CLOSE, 0, 0);
    Settle(notes);
    EXPECT_TRUE(notes->exited());
    EXPECT_EQ(notes->exitCode(), 0u);
    EXPECT_EQ(GetForegroundWindow(), nullptr);
}

TEST(Windows, PostedKeysReachTheFocusWindowUntranslated) {
    emul::Device d;
    std::shared_ptr<emul::Program> notes = Start(d, u"Notes.exe");
    ASSERT_NE(notes, nullptr);
    HWND edit = GetDlgItem(FindWindowW(u"Notes", nullptr), 100);
    UINT shift[1] = {0}, chars[1] = {u'\u00e9'};
    EXPECT_TRUE(PostKeybdMessage(H(uintptr_t(-1)), 0, KeyStateDownFlag, 1, shift, chars));
    // A key with its character: the character arrives once, not again through TranslateMessage.
    chars[0] = 'q';
    EXPECT_TRUE(PostKeybdMessage(edit, 'Q', KeyStateDownFlag, 1, shift, chars));
    // A release posts no character.
    EXPECT_TRUE(PostKeybdMessage(edit, 'Q', 0, 1, shift, chars));
    EXPECT_FALSE(PostKeybdMessage(edit, 0, KeyStateDownFlag, 0, nullptr, chars));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    Settle(notes);
    EXPECT_EQ(d.windows().text(reinterpret_cast<uintptr_t>(edit)), u"\u00e9q");
    auto lines = d.journal().grep("PostKeybdMessage");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(
        lines[0],
        R"({"t":0,"call":"PostKeybdMessage","hwnd":"focus","vk":0,"state":128,"chars":[233],"shift":[0]})");
    EXPECT_NE(lines[1].find(R"("hwnd":"richink")"), std::string::npos);
}

TEST(Windows, KeysGoToTheForegroundWindowWhenItHasNoFocus) {
    emul::Device d;
    uintptr_t app = Scene(d, "app", u"App", 0, 100, 100, 200, 200);
    d.windows().setForeground(app);
    Key('A');
    mouse_event(MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTDOWN, 5, 5, 0, 0);
    auto got = emul::harness::received(app);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].msg, UINT(WM_KEYDOWN));
    EXPECT_EQ(got[0].wparam, WPARAM('A'));
    // The pen-down at the corner lands on the desktop, the only window there.
    auto desk = emul::harness::received(d.windows().desktop());
    ASSERT_EQ(desk.size(), 1u);
    EXPECT_EQ(desk[0].msg, UINT(WM_LBUTTONDOWN));
    EXPECT_EQ(desk[0].lparam, 0);
}

using Heard = std::vector<std::pair<UINT, WPARAM>>;

// A parent that notes its commands and timers in the list its user data points to.
LRESULT CALLBACK ParentProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    auto *heard = reinterpret_cast<Heard *>(GetWindowLongPtrW(h, GWL_USERDATA));
    if (heard && (msg == WM_COMMAND || msg == WM_TIMER))
        heard->push_back({msg, wp});
    return DefWindowProcW(h, msg, wp, lp);
}

HWND MakeParent(Heard *heard) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ParentProc;
    wc.lpszClassName = u"Parent";
    RegisterClassW(&wc);
    HWND h = CreateWindowExW(0, u"Parent", u"", WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr,
                             nullptr, nullptr);
    SetWindowLongPtrW(h, GWL_USERDATA, reinterpret_cast<LONG_PTR>(heard));
    return h;
}

using test_support::Pump;

TEST(Windows, ACheckBoxTogglesOnATapAndTellsItsParent) {
    emul::Device d;
    Heard parentHeard;
    HWND parent = MakeParent(&parentHeard);
    HWND box =
        CreateWindowExW(0, u"BUTTON", u"Enable", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 10, 40,
                        100, 20, parent, reinterpret_cast<HMENU>(1001), nullptr, nullptr);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(GetDlgCtrlID(box), 1001);
    EXPECT_EQ(IsDlgButtonChecked(parent, 1001), UINT(BST_UNCHECKED));
    // A tap at (20, 45): normalised coordinates of the 240x320 screen.
    mouse_event(MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTDOWN, 20 * 65536 / 240 + 1,
                45 * 65536 / 320 + 1, 0, 0);
    mouse_event(MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTUP, 20 * 65536 / 240 + 1,
                45 * 65536 / 320 + 1, 0, 0);
    Pump();
    EXPECT_EQ(IsDlgButtonChecked(parent, 1001), UINT(BST_CHECKED));
    ASSERT_EQ(parentHeard.size(), 1u);
    EXPECT_EQ(parentHeard[0].second, MAKEWPARAM(1001, BN_CLICKED));
    SendMessageW(box, BM_CLICK, 0, 0);
    EXPECT_EQ(IsDlgButtonChecked(parent, 1001), UINT(BST_UNCHECKED));
    CheckDlgButton(parent, 1001, BST_CHECKED);
    EXPECT_EQ(parentHeard.size(), 2u); // setting the check is not a click
    auto st = emul::harness::controlState(reinterpret_cast<uintptr_t>(box));
    ASSERT_TRUE(st.has_value());
    EXPECT_EQ(st->className, "Button");
    EXPECT_EQ(st->text, "Enable");
    EXPECT_TRUE(st->checked.value_or(false));
    ShowWindow(parent, SW_HIDE);
    EXPECT_FALSE(emul::harness::controlState(reinterpret_cast<uintptr_t>(box))->visible);
}

TEST(Windows, TimersFireInDeviceTime) {
    emul::Device d;
    Heard parentHeard;
    HWND parent = MakeParent(&parentHeard);
    EXPECT_EQ(SetTimer(parent, 7, 250, nullptr), 7u);
    MSG m;
    // The new window's WM_PAINT would come first.
    ASSERT_TRUE(GetMessageW(&m, nullptr, WM_TIMER, WM_TIMER));
    EXPECT_EQ(m.message, UINT(WM_TIMER));
    EXPECT_EQ(GetTickCount(), 250u);
    DispatchMessageW(&m);
    ASSERT_TRUE(GetMessageW(&m, nullptr, WM_TIMER, WM_TIMER));
    EXPECT_EQ(GetTickCount(), 500u);
    EXPECT_TRUE(KillTimer(parent, 7));
    EXPECT_FALSE(KillTimer(parent, 7));
    ASSERT_EQ(parentHeard.size(), 1u);
    EXPECT_EQ(parentHeard[0].second, WPARAM(7));
    // With the timer gone, the quit message is what remains.
    PostQuitMessage(4);
    EXPECT_FALSE(GetMessageW(&m, nullptr, 0, 0));
    EXPECT_EQ(m.wParam, WPARAM(4));
}

TEST(Shell, ProcessHandlesAreCountedUntilClosed) {
    emul::Device d;
    SHELLEXECUTEINFO sei{};
    sei.cbSize = 60;
    sei.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    sei.lpVerb = u"open";
    sei.lpFile = u"Notes.exe";
    sei.nShow = SW_SHOW;
    ASSERT_TRUE(ShellExecuteEx(&sei));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(sei.hInstApp), 33u);
    ASSERT_NE(sei.hProcess, nullptr);
    EXPECT_EQ(d.handles().count("process"), 1u);
    ASSERT_EQ(d.processes().programs().size(), 1u);
    Settle(d.processes().programs()[0]);
    EXPECT_EQ(WaitForSingleObject(sei.hProcess, 0), DWORD(WAIT_TIMEOUT)); // Notes waits for input
    HWND notes = FindWindowW(u"Notes", nullptr);
    ASSERT_NE(notes, nullptr);
    d.windows().post(reinterpret_cast<uintptr_t>(notes), WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(sei.hProcess, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(sei.hProcess));
    EXPECT_EQ(d.handles().count("process"), 0u);

    // A program the device does not have: the call fails as the platform's does, starts
    // nothing and hands back no process; the journal says so.
    SHELLEXECUTEINFO other = sei;
    other.hProcess = nullptr;
    other.lpFile = u"\\Windows\\nothere.exe";
    SetLastError(0);
    EXPECT_FALSE(ShellExecuteEx(&other));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(other.hProcess, nullptr);
    EXPECT_EQ(d.handles().count("process"), 0u);

    auto lines = d.journal().grep("ShellExecuteEx");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(
        lines[0],
        R"({"t":0,"call":"ShellExecuteEx","mask":1088,"verb":"open","file":"Notes.exe","params":null,"dir":null,"show":5})");
    EXPECT_NE(lines[1].find(R"("file":"\\Windows\\nothere.exe")"), std::string::npos);
}

// A document opens in the program for its kind; one that no program opens fails.
TEST(Shell, ADocumentOpensInItsProgram) {
    emul::Device d;
    d.files().writeFile(u"\\My Documents\\letter.txt", "Dear");
    d.files().writeFile(u"\\My Documents\\data.xyz", "?");
    SHELLEXECUTEINFO sei{};
    sei.cbSize = 60;
    sei.lpFile = u"\\My Documents\\letter.txt";
    ASSERT_TRUE(ShellExecuteEx(&sei));
    ASSERT_EQ(d.processes().programs().size(), 1u);
    EXPECT_EQ(d.processes().programs()[0]->name, u"pword.exe");
    EXPECT_EQ(d.processes().programs()[0]->cmdLine, u"\\My Documents\\letter.txt");
    sei.lpFile = u"\\My Documents\\data.xyz";
    EXPECT_FALSE(ShellExecuteEx(&sei));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_ASSOCIATION));
    sei.lpFile = u"\\My Documents\\gone.txt";
    EXPECT_FALSE(ShellExecuteEx(&sei));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(d.processes().programs().size(), 1u);
}

TEST(Shell, AnInjectedFailureIsJournaledAndStartsNothing) {
    emul::Device d;
    d.fail("ShellExecuteEx");
    SHELLEXECUTEINFO sei{};
    sei.cbSize = 60;
    sei.fMask = SEE_MASK_NOCLOSEPROCESS;
    sei.lpFile = u"Notes.exe";
    EXPECT_FALSE(ShellExecuteEx(&sei));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(sei.hProcess, nullptr);
    EXPECT_EQ(d.journal().grep("ShellExecuteEx").size(), 1u);
    EXPECT_EQ(FindWindowW(u"Notes", nullptr), nullptr);
    EXPECT_EQ(d.handles().count("process"), 0u);
}

TEST(Shell, AShortcutStartsItsTarget) {
    emul::Device d;
    d.files().writeFile(u"\\Windows\\Start Menu\\Notes.lnk", "19#\"\\Windows\\Notes.exe\"\r\n");
    SHELLEXECUTEINFO sei{};
    sei.cbSize = 60;
    sei.lpFile = u"\\Windows\\Start Menu\\Notes.lnk";
    ASSERT_TRUE(ShellExecuteEx(&sei));
    EXPECT_EQ(sei.hProcess, nullptr); // not asked for
    ASSERT_EQ(d.processes().programs().size(), 1u);
    Settle(d.processes().programs()[0]);
    EXPECT_NE(FindWindowW(u"Notes", nullptr), nullptr);
}

} // namespace
