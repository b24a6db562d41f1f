// Input quoted for a one-line message: printable text as it is, control bytes and bytes that
// are not UTF-8 escaped, and cut after `max` characters, so that a NUL cannot end the message
// early and a binary or huge word cannot flood the terminal.
#pragma once

#include <cstddef>
#include <string>

namespace handheld {

inline std::string quoteInput(const std::string &s, size_t max = 60) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out = "\"";
    size_t shown = 0, i = 0;
    while (i < s.size()) {
        if (shown == max)
            return out + "\"... (" + std::to_string(s.size()) + " bytes)";
        unsigned char c = static_cast<unsigned char>(s[i]);
        size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        bool ok = len > 1 && i + len <= s.size() && c >= 0xC2 && c <= 0xF4;
        for (size_t k = 1; ok && k < len; ++k)
            ok = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
        if (ok) {
            out.append(s, i, len);
            i += len;
        } else if (c == '"') {
            out += '\\';
            out += char(c);
            ++i;
        } else if (c >= 0x20 && c < 0x7F) {
            out += char(c);
            ++i;
        } else {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
            ++i;
        }
        ++shown;
    }
    return out + "\"";
}

} // namespace handheld
