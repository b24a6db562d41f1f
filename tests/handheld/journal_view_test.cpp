// The journal for people, as the interactive screen shows it: made from the records, not from
// their text.
#include <windows.h>

#include "emul/device.h"
#include "handheld/frontends/journal_view.h"

#include <gtest/gtest.h>

namespace {

TEST(JournalView, KeysCharactersProgramsAndSettingsReadAsWords) {
    emul::Device device;
    handheld::ReadableJournal view;
    emul::Subscription s(device.journal(), view);
    emul::Journal &j = device.journal();
    j.call("keybd_event", emul::Fields().num("vk", 'A').num("scan", 0).num("flags", 0));
    j.call("keybd_event", emul::Fields().num("vk", 0x21).num("scan", 0).num("flags", 2));
    j.call("SystemIdleTimerReset", emul::Fields()); // comes with every key: not shown
    uint32_t euro[] = {0x20AC}, enter[] = {13}, shift[] = {0};
    j.call("PostKeybdMessage", emul::Fields()
                                   .hwnd("hwnd", uintptr_t(-1))
                                   .num("vk", 0)
                                   .nums("chars", euro, 1)
                                   .nums("shift", shift, 1));
    j.call("PostKeybdMessage", emul::Fields()
                                   .hwnd("hwnd", uintptr_t(-1))
                                   .num("vk", 13)
                                   .nums("chars", enter, 1)
                                   .nums("shift", shift, 1));
    j.call("ShellExecuteEx", emul::Fields().str("file", u"\\Windows\\calc.exe").null("params"));
    j.call("ShellExecuteEx", emul::Fields().str("file", "poutlook.exe").str("params", "contacts"));
    j.call("RegSetValueExW", emul::Fields()
                                 .str("key", "Drivers\\BuiltIn\\Norvel")
                                 .str("name", "Fn-1")
                                 .str("data", "\"quoted\" é"));
    j.call("RegSetValueExW", emul::Fields().null("key").str("name", "N").strs("data", {"a", "b"}));
    j.call("CreateFileW", emul::Fields().str("name", "COM2:").boolean("result", false));
    j.call("SetCommState", emul::Fields().num("BaudRate", 9600));
    j.event("exit", emul::Fields().str("program", "kbsettings").num("code", 0));
    j.dump("Drivers", emul::Fields().raw("values", "null"));
    EXPECT_EQ(view.lines, (std::deque<std::string>{
                              "  0.000 key A down",
                              "  0.000 key Page Up up",
                              "  0.000 character € to focus",
                              "  0.000 key Enter to focus",
                              "  0.000 start \\Windows\\calc.exe",
                              "  0.000 start poutlook.exe contacts",
                              "  0.000 registry Drivers\\BuiltIn\\Norvel \"Fn-1\" = \"quoted\" é",
                              "  0.000 registry null \"N\" = [\"a\",\"b\"]",
                              "  0.000 open COM2: failed",
                              "  0.000 exit kbsettings",
                          }));
    EXPECT_TRUE(view.changed);
    EXPECT_TRUE(view.flush()) << "new lines wake whoever waits for them, once";
    EXPECT_FALSE(view.flush());
}

TEST(JournalView, KeepsTheLastLinesOnly) {
    emul::Device device;
    handheld::ReadableJournal view;
    emul::Subscription s(device.journal(), view);
    for (int i = 0; i < 250; ++i)
        device.journal().call("SipShowIM", emul::Fields().num("flags", i % 2));
    ASSERT_EQ(view.lines.size(), 200u);
    EXPECT_EQ(view.lines.back(), "  0.000 input panel on");
}

} // namespace
