// Records made readable, field by field.
#include "frontends/journal_view.h"

#include "keyboard/vk_names.h"

#include "emul/text.h"

#include <cstdio>

namespace handheld {

namespace {

std::string seconds(uint32_t t) {
    char b[32];
    std::snprintf(b, sizeof b, "%7.3f ", t / 1000.0);
    return b;
}

// The characters of PostKeybdMessage's "chars".
std::string characters(const emul::Record &r) {
    const emul::Field *f = r.find("chars");
    std::u16string text;
    if (f && f->kind == emul::FieldKind::Numbers)
        for (uint32_t i = 0; i < f->len; ++i)
            text += char16_t(r.fields.number(*f, i));
    return emul::utf8(text);
}

std::string posted(const emul::Record &r, const std::string &t) {
    std::string text = characters(r);
    std::string to = r.text("hwnd");
    if (text.empty() || uint8_t(text[0]) < ' ')
        return t + "key " + vkLabel(int(r.number("vk"))) + " to " + to;
    return t + "character " + text + " to " + to;
}

bool result(const emul::Record &r) {
    return r.number("result") != 0;
}

// The calls that come with every key, and those of the serial port's set-up.
bool quiet(std::string_view call) {
    for (const char *q : {"SystemIdleTimerReset", "SetEvent", "CloseHandle", "SetCommState",
                          "SetCommTimeouts", "SetCommMask", "EscapeCommFunction", "PurgeComm"})
        if (call == q)
            return true;
    return false;
}

std::string readableCall(const emul::Record &r, const std::string &t) {
    std::string_view call = r.name;
    if (quiet(call))
        return "";
    if (call == "keybd_event")
        return t + "key " + vkLabel(int(r.number("vk"))) +
               ((r.number("flags") & 2) ? " up" : " down");
    if (call == "PostKeybdMessage")
        return posted(r, t);
    if (call == "ShellExecuteEx") {
        const emul::Field *params = r.find("params");
        bool none = !params || params->kind == emul::FieldKind::Null || r.text(*params).empty();
        return t + "start " + r.text("file") + (none ? "" : " " + r.text(*params));
    }
    if (call == "RegSetValueExW")
        return t + "registry " + r.text("key") + " \"" + r.text("name") + "\" = " + r.text("data");
    if (call == "mouse_event")
        return t + "pen " + ((r.number("flags") & 4) ? "up" : "down") + " at " + r.text("dx") +
               "," + r.text("dy");
    if (call == "SipShowIM")
        return t + "input panel " + (r.number("flags") == 1 ? "on" : "off");
    if (call == "ActivateDevice")
        return t + "driver " + r.text("key") + (result(r) ? " activated" : " not activated");
    if (call == "CreateFileW")
        return t + "open " + r.text("name") + (result(r) ? "" : " failed");
    return t + std::string(call);
}

} // namespace

std::string readableLine(const emul::Record &r) {
    std::string t = seconds(r.t);
    std::string_view head = r.head;
    if (head == "call")
        return readableCall(r, t);
    if (head == "event")
        return t + std::string(r.name) + (r.name == "exit" ? " " + r.text("program") : "");
    return "";
}

void ReadableJournal::record(const emul::Record &r) {
    std::string line = readableLine(r);
    if (line.empty())
        return;
    lines.push_back(std::move(line));
    if (lines.size() > 200)
        lines.pop_front();
    changed = true;
    unseen_ = true;
}

bool ReadableJournal::flush() {
    bool was = unseen_;
    unseen_ = false;
    return was;
}

} // namespace handheld
