// Resources and dialogs from a module's compiled resource script: the .res look-ups, templates
// built into windows with the dialog font's units, the dialog procedure's conventions, and the
// modal answers of the message box and the file dialog.
#include <commctrl.h>
#include <commdlg.h>
#include <windows.h>

#include "emul/device.h"
#include "emul/devmgr.h"
#include "emul/files.h"
#include "emul/harness.h"
#include "emul/kernel.h"
#include "handheld/image/install.h"
#include "platform/resources/resource.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

class DialogTest : public ::testing::Test {
  protected:
    DialogTest() {
        device.files().linkFile(u"\\Windows\\restest.dll", handheld::moduleDir() + "/restest.so");
        inst = LoadLibraryW(u"restest.dll");
    }
    ~DialogTest() override { FreeLibrary(inst); }

    emul::Device device;
    HMODULE inst = nullptr;
};

// Keeps WM_INITDIALOG's parameter in the dialog's DWL_USER slot, where the test reads it.
BOOL CALLBACK Recorder(HWND h, UINT msg, WPARAM, LPARAM lp) {
    if (msg == WM_INITDIALOG) {
        SetWindowLongPtrW(h, DWL_USER, lp);
        ShowWindow(h, SW_SHOW);
        return TRUE;
    }
    if (msg == WM_COMMAND) {
        SetWindowLongW(h, DWL_MSGRESULT, 77);
        return TRUE;
    }
    return FALSE;
}

RECT Rect(HWND h) {
    RECT r{};
    GetWindowRect(h, &r);
    return r;
}

TEST_F(DialogTest, ResourcesAreFoundByTypeAndNameInTheModule) {
    ASSERT_NE(inst, nullptr);
    HRSRC dlg = FindResourceW(inst, MAKEINTRESOURCEW(IDD_PAGE), RT_DIALOG);
    ASSERT_NE(dlg, nullptr);
    EXPECT_GT(SizeofResource(inst, dlg), DWORD(sizeof(DLGTEMPLATE)));
    auto *t = static_cast<const DLGTEMPLATE *>(LockResource(LoadResource(inst, dlg)));
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->style, DWORD(WS_CHILD | WS_VISIBLE | WS_CAPTION | DS_CONTROL | DS_SETFONT));
    EXPECT_EQ(t->cdit, 6);
    EXPECT_EQ(t->cx, 155);
    EXPECT_EQ(t->cy, 143);
    // "#129" names the same ordinal; a missing name and a missing type set their own errors.
    EXPECT_EQ(FindResourceW(inst, u"#129", RT_DIALOG), dlg);
    EXPECT_EQ(FindResourceW(inst, MAKEINTRESOURCEW(999), RT_DIALOG), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(1814));
    EXPECT_EQ(FindResourceW(inst, MAKEINTRESOURCEW(1), RT_BITMAP), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(1813));
    EXPECT_NE(LoadIconW(inst, MAKEINTRESOURCEW(IDI_TEST)), nullptr);
    EXPECT_EQ(LoadIconW(inst, MAKEINTRESOURCEW(IDI_TEST + 1)), nullptr);
}

TEST_F(DialogTest, StringsComeFromTheirBlockAndAreCutToTheBuffer) {
    WCHAR buf[32];
    EXPECT_EQ(LoadStringW(inst, IDS_HELLO, buf, 32), 13);
    EXPECT_EQ(std::u16string(buf), u"Hello, device");
    EXPECT_EQ(LoadStringW(inst, IDS_OTHER, buf, 32), 9); // the next block of sixteen
    EXPECT_EQ(std::u16string(buf), u"Seventeen");
    EXPECT_EQ(LoadStringW(inst, IDS_HELLO, buf, 6), 5);
    EXPECT_EQ(std::u16string(buf), u"Hello");
    EXPECT_EQ(LoadStringW(inst, IDS_EMPTY, buf, 32), 0);
    EXPECT_EQ(buf[0], 0);
}

TEST_F(DialogTest, TemplateBecomesWindowsInDialogUnitsOfTahoma8) {
    HWND parent = CreateWindowExW(0, u"Static", u"", WS_VISIBLE, 0, 26, 240, 268, nullptr, nullptr,
                                  nullptr, nullptr);
    HWND page = CreateDialogParamW(inst, MAKEINTRESOURCEW(IDD_PAGE), parent, Recorder, 42);
    ASSERT_NE(page, nullptr);
    // Tahoma 8: 6 pixels across and 13 down per 4 and 8 dialog units.
    RECT r = Rect(page);
    EXPECT_EQ(r.right - r.left, MulDiv(155, 6, 4));
    EXPECT_EQ(r.bottom - r.top, MulDiv(143, 13, 8));
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 26);
    HWND edit = GetDlgItem(page, IDC_EDIT);
    RECT e = Rect(edit);
    EXPECT_EQ(e.left - r.left, MulDiv(7, 6, 4));
    EXPECT_EQ(e.top - r.top, MulDiv(124, 13, 8));
    EXPECT_EQ(e.right - e.left, 210);
    RECT du{27, 45, 120, 57};
    ASSERT_TRUE(MapDialogRect(page, &du));
    EXPECT_EQ(du.left, 41);   // 27 * 1.5 = 40.5, rounded
    EXPECT_EQ(du.top, 73);    // 45 * 1.625 = 73.1
    EXPECT_EQ(du.bottom, 93); // 57 * 1.625 = 92.6

    // Controls in template order, children forced, class names by atom or by name.
    WCHAR cls[40];
    std::vector<std::u16string> classes;
    for (HWND c = GetWindow(page, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        GetClassNameW(c, cls, 40);
        classes.push_back(cls);
        EXPECT_TRUE(GetWindowLongW(c, GWL_STYLE) & WS_CHILD);
    }
    EXPECT_EQ(classes, (std::vector<std::u16string>{u"Edit", u"Button", u"msctls_trackbar32",
                                                    u"Static", u"Static", u"ComboBox"}));
    WCHAR text[40];
    GetDlgItemTextW(page, IDC_CHECK, text, 40);
    EXPECT_EQ(std::u16string(text), u"&Enable Keyboard");

    // The procedure hears WM_INITDIALOG with the parameter, after the controls exist.
    EXPECT_EQ(GetWindowLongPtrW(page, DWL_USER), 42);
    EXPECT_TRUE(IsWindowVisible(page));
    // A handled message answers with DWL_MSGRESULT; WM_INITDIALOG's TRUE set the focus.
    EXPECT_EQ(SendMessageW(page, WM_COMMAND, 5, 0), 77);
    EXPECT_EQ(GetFocus(), GetDlgItem(page, IDC_EDIT));
    DestroyWindow(parent);
    EXPECT_FALSE(IsWindow(page));
}

TEST_F(DialogTest, ExtendedTemplateCarriesItsExtendedStyleAndIcon) {
    HWND about =
        CreateDialogParamW(inst, MAKEINTRESOURCEW(IDD_ABOUT), GetDesktopWindow(), Recorder, 0);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(GetWindowLongW(about, GWL_EXSTYLE), 0x400);
    HWND help = GetDlgItem(about, IDC_HELP);
    EXPECT_EQ(GetWindowLongW(help, GWL_STYLE) & 0xF, BS_DEFPUSHBUTTON);
    EXPECT_EQ(SendMessageW(about, DM_GETDEFID, 0, 0), MAKELONG(IDC_HELP, DC_HASDEFID));
    HWND icon = GetDlgItem(about, IDC_ICON);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(GetWindowLongW(icon, GWL_STYLE) & 0x1F, SS_ICON);
}

TEST_F(DialogTest, TemplateWithAnUnknownControlAtomMakesNoDialog) {
    // Header, no menu, the dialog class, no title; one item whose class is atom 0x99.
    alignas(4) uint16_t words[32] = {};
    DLGTEMPLATE t{};
    t.style = WS_POPUP;
    t.cdit = 1;
    std::memcpy(words, &t, sizeof t); // 9 words, then menu, class, title: 12 words
    DLGITEMTEMPLATE item{};
    item.style = WS_VISIBLE;
    item.id = 5;
    std::memcpy(&words[12], &item, sizeof item); // DWORD-aligned at 24 bytes
    words[21] = 0xFFFF;
    words[22] = 0x0099;
    HWND dlg = CreateDialogIndirectParamW(inst, reinterpret_cast<LPCDLGTEMPLATEW>(words), nullptr,
                                          Recorder, 0);
    EXPECT_EQ(dlg, nullptr);
    words[22] = 0x0080; // a button is fine
    dlg = CreateDialogIndirectParamW(inst, reinterpret_cast<LPCDLGTEMPLATEW>(words), nullptr,
                                     Recorder, 0);
    ASSERT_NE(dlg, nullptr);
    EXPECT_NE(GetDlgItem(dlg, 5), nullptr);
    EXPECT_EQ(CreateDialogParamW(inst, MAKEINTRESOURCEW(12345), nullptr, Recorder, 0), nullptr);
}

TEST_F(DialogTest, MessageBoxTakesTheQueuedAnswerOrItsDefaultButton) {
    emul::harness::scriptedAnswers().answer(true);
    emul::harness::scriptedAnswers().answer(false);
    EXPECT_EQ(MessageBoxW(nullptr, u"Reset?", u"Keyboard", MB_YESNO), IDYES);
    EXPECT_EQ(MessageBoxW(nullptr, u"Reset?", u"Keyboard", MB_YESNO), IDNO);
    EXPECT_EQ(MessageBoxW(nullptr, u"Reset?", u"Keyboard", MB_YESNO | MB_DEFBUTTON2), IDNO);
    emul::harness::scriptedAnswers().answer(false);
    EXPECT_EQ(MessageBoxW(nullptr, u"Go?", u"", MB_OKCANCEL), IDCANCEL);
    auto lines = device.journal().grep("MessageBoxW");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_NE(
        lines[0].find(R"("hwnd":null,"text":"Reset?","caption":"Keyboard","type":4,"result":6)"),
        std::string::npos)
        << lines[0];
}

TEST_F(DialogTest, FileDialogReturnsTheChosenPathAndTitleOrCancels) {
    device.files().writeFile(u"\\My Documents\\notes.txt", "x");
    WCHAR file[MAX_PATH] = {}, title[80] = {};
    OPENFILENAMEW ofn{};
    ofn.lStructSize = 76;
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrFileTitle = title;
    ofn.nMaxFileTitle = 80;
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    emul::harness::ScriptedAnswers &script = emul::harness::scriptedAnswers();
    script.choose(std::u16string(u"\\My Documents\\notes.txt"));
    script.choose(std::nullopt);
    script.choose(std::u16string(u"\\My Documents\\missing.txt"));
    ASSERT_TRUE(GetOpenFileNameW(&ofn));
    EXPECT_EQ(std::u16string(file), u"\\My Documents\\notes.txt");
    EXPECT_EQ(std::u16string(title), u"notes.txt");
    EXPECT_EQ(ofn.nFileOffset, 14);
    EXPECT_FALSE(GetOpenFileNameW(&ofn));
    // The dialog lets the user pick only files that exist.
    EXPECT_FALSE(GetOpenFileNameW(&ofn));
    ofn.lStructSize = 88;
    EXPECT_FALSE(GetOpenFileNameW(&ofn));
    auto lines = device.journal().grep("GetOpenFileNameW");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_NE(lines[0].find(R"("flags":4100,"result":true,"file":"\\My Documents\\notes.txt")"),
              std::string::npos)
        << lines[0];
    EXPECT_NE(lines[1].find(R"("result":false,"file":null)"), std::string::npos) << lines[1];
}

// Someone at a screen, who answers what the script leaves open.
struct Person : emul::Answers {
    int boxes = 0, files = 0;
    int answer = IDRETRY;
    int messageBox(const std::u16string &, const std::u16string &, uint32_t) override {
        ++boxes;
        return answer;
    }
    FilePick openFile(const std::u16string &initialDir) override {
        ++files;
        return FilePick{initialDir + u"\\picked.txt", false};
    }
};

TEST_F(DialogTest, TheScriptAnswersFirstThenThePersonAndANonsenseAnswerIsTheDefault) {
    Person person;
    emul::harness::ScriptedAnswers &script = emul::harness::scriptedAnswers();
    script.otherwise = &person;
    script.answer(true);
    EXPECT_EQ(MessageBoxW(nullptr, u"Again?", u"", MB_RETRYCANCEL), IDRETRY);
    EXPECT_EQ(person.boxes, 0);
    person.answer = IDCANCEL;
    EXPECT_EQ(MessageBoxW(nullptr, u"Again?", u"", MB_RETRYCANCEL), IDCANCEL);
    // A button the box does not have counts as no answer.
    person.answer = IDYES;
    EXPECT_EQ(MessageBoxW(nullptr, u"Again?", u"", MB_RETRYCANCEL | MB_DEFBUTTON2), IDCANCEL);
    EXPECT_EQ(person.boxes, 2);

    WCHAR file[MAX_PATH] = {};
    OPENFILENAMEW ofn{};
    ofn.lStructSize = 76;
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrInitialDir = u"\\Temp";
    ASSERT_TRUE(GetOpenFileNameW(&ofn));
    EXPECT_EQ(std::u16string(file), u"\\Temp\\picked.txt");
    EXPECT_EQ(person.files, 1);
    script.otherwise = nullptr;
    EXPECT_FALSE(GetOpenFileNameW(&ofn)); // nobody to ask: cancelled
}

TEST_F(DialogTest, TheDialogErrorIsTheCallingThreads) {
    WCHAR file[4] = {};
    OPENFILENAMEW ofn{};
    ofn.lStructSize = 76;
    ofn.lpstrFile = file;
    ofn.nMaxFile = 4;
    emul::harness::scriptedAnswers().choose(std::u16string(u"\\a long name.txt"));
    EXPECT_FALSE(GetOpenFileNameW(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), DWORD(0x3003) /* FNERR_BUFFERTOOSMALL */);
    DWORD seenThere = 1;
    auto t = emul::kern().spawn("other", [&seenThere] {
        seenThere = CommDlgExtendedError();
        return 0u;
    });
    emul::kern().block([&] { return t->exited(); }, emul::kNever);
    EXPECT_EQ(seenThere, 0u);
    EXPECT_EQ(CommDlgExtendedError(), DWORD(0x3003) /* FNERR_BUFFERTOOSMALL */);
}

} // namespace
