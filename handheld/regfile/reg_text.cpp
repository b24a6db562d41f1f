// A registry value's data read as text, and the device's ANSI code page.
#include "regfile/reg_text.h"

#include "emul/registry.h"
#include "emul/text.h"

#include <cstring>

namespace handheld {

namespace {

// Windows-1252 at 0x80-0x9F; the five bytes it leaves free keep their own value, as the
// platform's conversion does. Everything else is Latin-1.
const char16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                            0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

std::vector<std::u16string> regStrings(const std::vector<uint8_t> &data) {
    std::vector<std::u16string> out;
    std::u16string cur;
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
        char16_t c = char16_t(data[i] | (data[i + 1] << 8));
        if (c == 0) {
            out.push_back(cur);
            cur.clear();
            continue;
        }
        cur += c;
    }
    if (!cur.empty())
        out.push_back(cur);
    return out;
}

std::optional<std::u16string> regPlainSz(const emul::RegValue &v) {
    if (v.type != kRegSz || v.data.size() < 2 || v.data.size() % 2)
        return std::nullopt;
    std::u16string text(v.data.size() / 2 - 1, u'\0');
    if (!text.empty())
        std::memcpy(&text[0], v.data.data(), text.size() * 2);
    if (v.data[v.data.size() - 2] || v.data.back())
        return std::nullopt;
    // No nulls or control characters inside, nothing that UTF-8 cannot carry (a lone surrogate).
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c < 0x20 || c == 0x7F || (c >= 0xDC00 && c < 0xE000))
            return std::nullopt;
        if (c >= 0xD800 && c < 0xDC00) {
            if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] >= 0xE000)
                return std::nullopt;
            ++i;
        }
    }
    return text;
}

std::string regQuoted(std::string_view s) {
    std::string out;
    out.reserve(s.size() + 2);
    out += '"';
    for (char c : s) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

std::optional<uint32_t> regExactDword(const emul::RegValue &v) {
    if (v.type != kRegDword || v.data.size() != 4)
        return std::nullopt;
    uint32_t d;
    std::memcpy(&d, v.data.data(), 4);
    return d;
}

std::u16string fromAnsi(std::string_view bytes) {
    std::u16string out(bytes.size(), u'\0');
    for (size_t i = 0; i < bytes.size(); ++i) {
        uint8_t b = uint8_t(bytes[i]);
        out[i] = b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : char16_t(b);
    }
    return out;
}

bool toAnsi(const std::u16string &text, std::string *bytes) {
    bytes->clear();
    bytes->reserve(text.size());
    for (char16_t c : text) {
        if (c < 0x80 || (c >= 0xA0 && c < 0x100)) {
            *bytes += char(c);
            continue;
        }
        size_t i = 0;
        while (i < 32 && kHigh[i] != c)
            ++i;
        if (i == 32)
            return false;
        *bytes += char(0x80 + i);
    }
    return true;
}

} // namespace handheld
