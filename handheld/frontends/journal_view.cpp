// Journal lines made readable. The journal's JSON is flat and written by the platform, so a
// field is found by its quoted name.
#include "frontends/journal_view.h"

#include "emul/text.h"

#include <cstdio>
#include <cstdlib>

namespace handheld {

namespace {

// The raw JSON text of field `name` ("" if absent): a number, a quoted string or an array.
std::string field(const std::string &json, const std::string &name) {
    std::string key = "\"" + name + "\":";
    size_t p = json.find(key);
    if (p == std::string::npos)
        return "";
    p += key.size();
    size_t e = p;
    if (json[p] == '"') {
        for (e = p + 1; e < json.size() && json[e] != '"'; ++e)
            if (json[e] == '\\')
                ++e;
        return json.substr(p, e + 1 - p);
    }
    if (json[p] == '[') {
        e = json.find(']', p);
        return json.substr(p, e == std::string::npos ? std::string::npos : e + 1 - p);
    }
    while (e < json.size() && json[e] != ',' && json[e] != '}')
        ++e;
    return json.substr(p, e - p);
}

// A JSON string's text, with its escapes undone (\uXXXX included).
std::string unquote(const std::string &s) {
    if (s.size() < 2 || s[0] != '"')
        return s;
    std::u16string out;
    for (size_t i = 1; i + 1 < s.size(); ++i) {
        char c = s[i];
        if (c != '\\') {
            size_t len = (uint8_t(c) >= 0xF0)   ? 4
                         : (uint8_t(c) >= 0xE0) ? 3
                         : (uint8_t(c) >= 0xC0) ? 2
                                                : 1;
            out += emul::utf16(s.substr(i, len));
            i += len - 1;
            continue;
        }
        char n = s[++i];
        if (n == 'u' && i + 4 < s.size()) {
            out += char16_t(std::strtoul(s.substr(i + 1, 4).c_str(), nullptr, 16));
            i += 4;
        } else {
            out += char16_t(n == 'n' ? '\n' : n == 't' ? '\t' : n == 'r' ? '\r' : n);
        }
    }
    return emul::utf8(out);
}

std::string keyName(int vk) {
    if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9'))
        return std::string(1, char(vk));
    switch (vk) {
    case 8:
        return "Backspace";
    case 9:
        return "Tab";
    case 13:
        return "Enter";
    case 16:
        return "Shift";
    case 17:
        return "Ctrl";
    case 18:
        return "Alt";
    case 20:
        return "Caps Lock";
    case 27:
        return "Escape";
    case 32:
        return "Space";
    case 33:
        return "Page Up";
    case 34:
        return "Page Down";
    case 35:
        return "End";
    case 36:
        return "Home";
    case 37:
        return "Left";
    case 38:
        return "Up";
    case 39:
        return "Right";
    case 40:
        return "Down";
    case 46:
        return "Delete";
    case 186:
        return ";";
    case 187:
        return "=";
    case 188:
        return ",";
    case 189:
        return "-";
    case 190:
        return ".";
    case 191:
        return "/";
    case 192:
        return "`";
    case 219:
        return "[";
    case 220:
        return "\\";
    case 221:
        return "]";
    case 222:
        return "'";
    case 223:
        return "Power";
    }
    return "VK " + std::to_string(vk);
}

std::string seconds(const std::string &t) {
    char b[32];
    std::snprintf(b, sizeof b, "%7.3f ", std::atof(t.c_str()) / 1000.0);
    return b;
}

} // namespace

std::string readableJournalLine(const std::string &json) {
    std::string t = seconds(field(json, "t"));
    std::string call = unquote(field(json, "call"));
    if (call == "SystemIdleTimerReset" || call == "SetEvent")
        return ""; // every key comes with them
    if (call == "keybd_event") {
        int flags = std::atoi(field(json, "flags").c_str());
        return t + "key " + keyName(std::atoi(field(json, "vk").c_str())) +
               ((flags & 2) ? " up" : " down");
    }
    if (call == "PostKeybdMessage") {
        std::string chars = field(json, "chars");
        std::string text;
        const char *p = chars.c_str();
        while (*p) {
            if (*p < '0' || *p > '9') {
                ++p;
                continue;
            }
            char *end = nullptr;
            text += emul::utf8(std::u16string(1, char16_t(std::strtoul(p, &end, 10))));
            p = end;
        }
        std::string to = unquote(field(json, "hwnd"));
        if (text.empty() || uint8_t(text[0]) < ' ')
            return t + "key " + keyName(std::atoi(field(json, "vk").c_str())) + " to " + to;
        return t + "character " + text + " to " + to;
    }
    if (call == "ShellExecuteEx") {
        std::string params = unquote(field(json, "params"));
        return t + "start " + unquote(field(json, "file")) +
               (params.empty() || params == "null" ? "" : " " + params);
    }
    if (call == "RegSetValueExW")
        return t + "registry " + unquote(field(json, "key")) + " \"" +
               unquote(field(json, "name")) + "\" = " + unquote(field(json, "data"));
    if (call == "mouse_event")
        return t + "pen " +
               std::string((std::atoi(field(json, "flags").c_str()) & 4) ? "up" : "down") + " at " +
               field(json, "dx") + "," + field(json, "dy");
    if (call == "SipShowIM")
        return t + "input panel " + (field(json, "flags") == "1" ? "on" : "off");
    if (call == "ActivateDevice")
        return t + "driver " + unquote(field(json, "key")) +
               (field(json, "result") == "true" ? " activated" : " not activated");
    if (call == "CreateFileW" || call == "CloseHandle" || call == "SetCommState" ||
        call == "SetCommTimeouts" || call == "SetCommMask" || call == "EscapeCommFunction" ||
        call == "PurgeComm")
        return call == "CreateFileW" ? t + "open " + unquote(field(json, "name")) +
                                           (field(json, "result") == "true" ? "" : " failed")
                                     : "";
    if (!call.empty())
        return t + call;
    std::string event = unquote(field(json, "event"));
    if (!event.empty())
        return t + event + (event == "exit" ? " " + unquote(field(json, "program")) : "");
    return "";
}

} // namespace handheld
