// The message box as a window left up for the user: asked on a program's thread of its own,
// answered from here with the pen and the keys as a person at the device would.
#include <windows.h>

#include "emul/device.h"
#include "emul/graphics.h"
#include "emul/harness.h"
#include "emul/kernel.h"
#include "emul/windows_sys.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

class OpenBox : public ::testing::Test {
  protected:
    struct Asked {
        int result = -1;
        bool done = false;
        std::shared_ptr<emul::Thread> thread;
    };
    // Asks on a thread of its own and returns once the box waits for its answer.
    std::shared_ptr<Asked> ask(HWND owner, const char16_t *text, const char16_t *caption,
                               UINT type) {
        auto a = std::make_shared<Asked>();
        emul::harness::scriptedAnswers().leaveBoxOpen();
        a->thread = device.kernel().spawn("asker", [a, owner, text, caption, type] {
            a->result = MessageBoxW(owner, text, caption, type);
            a->done = true;
            return 0u;
        });
        device.kernel().block(
            [this, a] { return a->done || device.windows().waitingForInput(a->thread.get()); },
            emul::kNever);
        return a;
    }
    int answered(const std::shared_ptr<Asked> &a) {
        device.kernel().block([a] { return a->done; }, device.kernel().now() + 1000);
        return a->done ? a->result : -1;
    }
    // Lets the asking thread see what was just given to it.
    void settle(const std::shared_ptr<Asked> &a) {
        device.kernel().block(
            [this, a] { return a->done || device.windows().waitingForInput(a->thread.get()); },
            emul::kNever);
    }
    HWND box() { return GetForegroundWindow(); }
    RECT rectOf(HWND h) {
        RECT r{};
        GetWindowRect(h, &r);
        return r;
    }
    void tap(HWND h) {
        RECT r = rectOf(h);
        tapAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    void tapAt(int x, int y) {
        device.windows().pen(emul::WindowSystem::Pen::Down, x, y);
        device.windows().pen(emul::WindowSystem::Pen::Up, x, y);
    }
    void key(BYTE vk, const std::shared_ptr<Asked> &a) {
        keybd_event(vk, 0, 0, 0);
        keybd_event(vk, 0, KEYEVENTF_KEYUP, 0);
        settle(a);
    }
    std::u16string textOf(HWND h) {
        WCHAR buf[64] = {};
        GetWindowTextW(h, buf, 64);
        return buf;
    }
    emul::Device device;
};

TEST_F(OpenBox, ATapOnEachButtonAnswersWithThatButton) {
    struct Kind {
        UINT type;
        std::vector<int> buttons;
        std::vector<std::u16string> labels;
    };
    const Kind kinds[] = {
        {MB_OKCANCEL, {IDOK, IDCANCEL}, {u"OK", u"Cancel"}},
        {MB_ABORTRETRYIGNORE, {IDABORT, IDRETRY, IDIGNORE}, {u"Abort", u"Retry", u"Ignore"}},
        {MB_YESNOCANCEL, {IDYES, IDNO, IDCANCEL}, {u"Yes", u"No", u"Cancel"}},
        {MB_RETRYCANCEL, {IDRETRY, IDCANCEL}, {u"Retry", u"Cancel"}},
    };
    for (const Kind &k : kinds) {
        for (size_t i = 0; i < k.buttons.size(); ++i) {
            auto a = ask(nullptr, u"Go on?", u"Question", k.type);
            HWND b = GetDlgItem(box(), k.buttons[i]);
            ASSERT_NE(b, nullptr) << k.type << " " << i;
            EXPECT_EQ(textOf(b), k.labels[i]);
            // The buttons stand in a row, in their order.
            if (i > 0) {
                EXPECT_GT(rectOf(b).left, rectOf(GetDlgItem(box(), k.buttons[i - 1])).right);
            }
            tap(b);
            EXPECT_EQ(answered(a), k.buttons[i]) << k.type << " " << i;
        }
    }
    EXPECT_EQ(device.journal().grep("MessageBoxW").size(), 10u);
}

TEST_F(OpenBox, ABoxAskedWhileTheInputPanelIsUpStandsAboveIt) {
    device.windows().setInputPanel(true);
    auto a = ask(nullptr, u"Go on?", u"Question", MB_OKCANCEL);
    RECT r = rectOf(box());
    EXPECT_LE(r.bottom, 214); // the panel's top
    EXPECT_NEAR((r.top + r.bottom) / 2, (26 + 214) / 2, 1);
    tap(GetDlgItem(box(), IDOK));
    EXPECT_EQ(answered(a), IDOK);
    // Without the panel it is centred on the work area.
    device.windows().setInputPanel(false);
    a = ask(nullptr, u"Go on?", u"Question", MB_OKCANCEL);
    r = rectOf(box());
    EXPECT_NEAR((r.top + r.bottom) / 2, (26 + 294) / 2, 1);
    tap(GetDlgItem(box(), IDCANCEL));
    EXPECT_EQ(answered(a), IDCANCEL);
}

TEST_F(OpenBox, EnterPressesTheFocusedButtonAndEscapeCancelsWhereThereIsCancel) {
    // The default button has the focus first.
    auto a = ask(nullptr, u"Save?", u"", MB_YESNOCANCEL | MB_DEFBUTTON2);
    key(VK_RETURN, a);
    EXPECT_EQ(answered(a), IDNO);
    // The arrows and Tab move between the buttons, round at the ends.
    a = ask(nullptr, u"Save?", u"", MB_YESNOCANCEL);
    key(VK_LEFT, a);
    key(VK_RETURN, a);
    EXPECT_EQ(answered(a), IDCANCEL);
    a = ask(nullptr, u"Save?", u"", MB_YESNO);
    key(VK_TAB, a);
    key(VK_RETURN, a);
    EXPECT_EQ(answered(a), IDNO);
    // Escape: Cancel where there is one, OK in a box with OK alone, nothing in a Yes/No box.
    a = ask(nullptr, u"Go?", u"", MB_OKCANCEL);
    key(VK_ESCAPE, a);
    EXPECT_EQ(answered(a), IDCANCEL);
    a = ask(nullptr, u"Done.", u"", MB_OK);
    key(VK_ESCAPE, a);
    EXPECT_EQ(answered(a), IDOK);
    a = ask(nullptr, u"Reset?", u"", MB_YESNO);
    key(VK_ESCAPE, a);
    EXPECT_FALSE(a->done);
    key(VK_RETURN, a);
    EXPECT_EQ(answered(a), IDYES);
}

TEST_F(OpenBox, TheDefaultLookGoesWithTheFocusAmongTheButtons) {
    // Just inside a button's outer line: dark on the default-looking one (its second frame),
    // the light edge on any other.
    auto looksDefault = [this](int id) {
        RECT r = rectOf(GetDlgItem(box(), id));
        std::vector<uint8_t> rgb = device.graphics().rgb();
        size_t at = (size_t((r.top + r.bottom) / 2) * 240 + size_t(r.left + 1)) * 3;
        COLORREF c = RGB(rgb[at], rgb[at + 1], rgb[at + 2]);
        return c == GetSysColor(COLOR_WINDOWFRAME);
    };
    auto a = ask(nullptr, u"Reset?", u"", MB_YESNO);
    EXPECT_TRUE(looksDefault(IDYES));
    EXPECT_FALSE(looksDefault(IDNO));
    key(VK_TAB, a);
    EXPECT_FALSE(looksDefault(IDYES));
    EXPECT_TRUE(looksDefault(IDNO));
    key(VK_LEFT, a);
    EXPECT_TRUE(looksDefault(IDYES));
    EXPECT_FALSE(looksDefault(IDNO));
    key(VK_RETURN, a);
    EXPECT_EQ(answered(a), IDYES);
}

TEST_F(OpenBox, TheOwnerTakesNoPenWhileTheBoxIsUpAndHasTheFrontAgainAfter) {
    HWND owner = CreateWindowExW(0, u"Static", u"Owner", WS_POPUP | WS_VISIBLE, 0, 26, 240, 268,
                                 nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(owner);
    auto a = ask(owner, u"Reset your device now?", u"Keyboard", MB_YESNO | MB_ICONQUESTION);
    HWND b = box();
    ASSERT_NE(b, owner);
    EXPECT_EQ(textOf(b), u"Keyboard");
    EXPECT_FALSE(device.windows().view().window(reinterpret_cast<uintptr_t>(owner))->enabled);
    // Centred on the screen, over its owner.
    RECT r = rectOf(b);
    EXPECT_LE(std::abs((r.left + r.right) - 240), 1);
    EXPECT_LE(std::abs((r.top + r.bottom) - (26 + 294)), 1);
    // A tap on the owner beside the box does nothing; the box is still up.
    tapAt(5, 40);
    settle(a);
    EXPECT_FALSE(a->done);
    tap(GetDlgItem(b, IDNO));
    EXPECT_EQ(answered(a), IDNO);
    EXPECT_TRUE(device.windows().view().window(reinterpret_cast<uintptr_t>(owner))->enabled);
    EXPECT_EQ(GetForegroundWindow(), owner);
    EXPECT_FALSE(device.windows().isWindow(reinterpret_cast<uintptr_t>(b)));
}

TEST_F(OpenBox, NoTextNoCaptionUnknownTypeBitsAndHugeTextMakeASoundBox) {
    // No text and no caption: an empty box captioned "Error", journaled with nulls.
    auto a = ask(nullptr, nullptr, nullptr, MB_OK);
    EXPECT_EQ(textOf(box()), u"Error");
    tap(GetDlgItem(box(), IDOK));
    EXPECT_EQ(answered(a), IDOK);
    std::vector<std::string> lines = device.journal().grep("MessageBoxW");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(R"("text":null,"caption":null,"type":0,"result":1)"), std::string::npos)
        << lines[0];
    // A type the platform does not know, with a fourth default button: OK alone, the default.
    a = ask(nullptr, u"?", u"", 0x0F | 0x300 | 0x80);
    EXPECT_NE(GetDlgItem(box(), IDOK), nullptr);
    EXPECT_EQ(GetDlgItem(box(), IDCANCEL), nullptr);
    key(VK_RETURN, a);
    EXPECT_EQ(answered(a), IDOK);
    // A text far too long for the screen: the box stays on it, between the two bars, and the
    // text inside the box.
    std::u16string huge;
    for (int i = 0; i < 800; ++i)
        huge += u"word ";
    huge += std::u16string(400, u'x');
    a = ask(nullptr, huge.c_str(), huge.c_str(), MB_OKCANCEL | MB_ICONEXCLAMATION);
    RECT r = rectOf(box());
    EXPECT_GE(r.left, 0);
    EXPECT_LE(r.right, 240);
    EXPECT_GE(r.top, 26);
    EXPECT_LE(r.bottom, 294);
    HWND text = GetDlgItem(box(), 0xFFFF);
    ASSERT_NE(text, nullptr);
    RECT t = rectOf(text), ok = rectOf(GetDlgItem(box(), IDOK));
    EXPECT_GE(t.top, r.top);
    EXPECT_LE(t.bottom, ok.top);
    EXPECT_LE(t.right, r.right);
    tap(GetDlgItem(box(), IDCANCEL));
    EXPECT_EQ(answered(a), IDCANCEL);
}

} // namespace
