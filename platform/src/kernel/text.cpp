// Text conversions shared by the emulation.
#include "emul/text.h"

#include <cstdio>
#include <cstring>

namespace emul {

namespace {

// The length of the valid UTF-8 sequence at p (at most n bytes), or 0 when it is not one.
// A sequence of the right shape that encodes a surrogate, an overlong form or a value past
// U+10FFFF counts as one invalid sequence, so that each bad character gives one U+FFFD.
size_t utf8Sequence(const unsigned char *p, size_t n, bool *valid) {
    unsigned char b = p[0];
    size_t len = b >= 0xF0 && b <= 0xF7 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 0;
    *valid = false;
    if (len == 0 || len > n)
        return 1;
    uint32_t c = b & (0x7F >> len);
    for (size_t k = 1; k < len; ++k) {
        if ((p[k] & 0xC0) != 0x80)
            return 1;
        c = (c << 6) | (p[k] & 0x3F);
    }
    static const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    *valid = c >= least[len] && c <= 0x10FFFF && !(c >= 0xD800 && c < 0xE000);
    return len;
}

char *putEscaped(char *p, unsigned char c) {
    *p++ = '\\';
    switch (c) {
    case '"':
    case '\\':
        *p++ = char(c);
        return p;
    case '\n':
        *p++ = 'n';
        return p;
    case '\r':
        *p++ = 'r';
        return p;
    case '\t':
        *p++ = 't';
        return p;
    default: {
        static const char hex[] = "0123456789abcdef";
        *p++ = 'u';
        *p++ = '0';
        *p++ = '0';
        *p++ = hex[c >> 4];
        *p++ = hex[c & 15];
        return p;
    }
    }
}

char *putReplacement(char *p) { // U+FFFD
    *p++ = char(0xEF);
    *p++ = char(0xBF);
    *p++ = char(0xBD);
    return p;
}

bool plainAscii(unsigned char c) {
    return c >= 0x20 && c < 0x80 && c != '"' && c != '\\';
}

} // namespace

std::string utf8(const char16_t *s) {
    std::string out;
    if (!s)
        return out;
    for (size_t i = 0; s[i]; ++i) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string utf8(const std::u16string &s) {
    return utf8(s.c_str());
}

std::u16string utf16(const std::string &s) {
    std::u16string out;
    auto p = reinterpret_cast<const unsigned char *>(s.data());
    for (size_t i = 0; i < s.size();) {
        if (p[i] < 0x80) {
            out += char16_t(p[i++]);
            continue;
        }
        bool valid;
        size_t n = utf8Sequence(p + i, s.size() - i, &valid);
        uint32_t c = 0xFFFD; // what is not UTF-8 reads as the replacement character
        if (valid) {
            c = p[i] & (0x7F >> n);
            for (size_t k = 1; k < n; ++k)
                c = (c << 6) | (p[i + k] & 0x3F);
        }
        i += n;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += char16_t(0xD800 + (c >> 10));
            out += char16_t(0xDC00 + (c & 0x3FF));
        } else {
            out += char16_t(c);
        }
    }
    return out;
}

std::u16string foldCase(const std::u16string &s) {
    std::u16string out = s;
    for (auto &c : out)
        if (c >= u'A' && c <= u'Z')
            c = char16_t(c - u'A' + u'a');
    return out;
}

bool equalsNoCase(const std::u16string &a, const std::u16string &b) {
    return foldCase(a) == foldCase(b);
}

char *putJsonQuoted(char *p, const char *text, size_t n) {
    auto in = reinterpret_cast<const unsigned char *>(text);
    *p++ = '"';
    size_t i = 0;
    while (i < n) {
        // Plain ASCII runs are copied in one go.
        size_t run = i;
        while (run < n && plainAscii(in[run]))
            ++run;
        std::memcpy(p, text + i, run - i);
        p += run - i;
        i = run;
        if (i == n)
            break;
        if (in[i] < 0x80) {
            p = putEscaped(p, in[i++]);
            continue;
        }
        bool valid;
        size_t len = utf8Sequence(in + i, n - i, &valid);
        if (valid) {
            std::memcpy(p, text + i, len);
            p += len;
        } else {
            p = putReplacement(p);
        }
        i += len;
    }
    *p++ = '"';
    return p;
}

char *putJsonQuoted(char *p, const char16_t *s, size_t n) {
    *p++ = '"';
    for (size_t i = 0; i < n; ++i) {
        uint32_t c = s[i];
        if (c < 0x80) {
            if (plainAscii((unsigned char)c))
                *p++ = char(c);
            else
                p = putEscaped(p, (unsigned char)c);
        } else if (c < 0x800) {
            *p++ = char(0xC0 | (c >> 6));
            *p++ = char(0x80 | (c & 0x3F));
        } else if (c >= 0xD800 && c < 0xE000) {
            if (c < 0xDC00 && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
                ++i;
                *p++ = char(0xF0 | (c >> 18));
                *p++ = char(0x80 | ((c >> 12) & 0x3F));
                *p++ = char(0x80 | ((c >> 6) & 0x3F));
                *p++ = char(0x80 | (c & 0x3F));
            } else {
                p = putReplacement(p);
            }
        } else {
            *p++ = char(0xE0 | (c >> 12));
            *p++ = char(0x80 | ((c >> 6) & 0x3F));
            *p++ = char(0x80 | (c & 0x3F));
        }
    }
    *p++ = '"';
    return p;
}

void appendJsonQuoted(std::string &out, const char *text, size_t n) {
    size_t old = out.size();
    out.resize(old + jsonQuotedBound(n));
    out.resize(size_t(putJsonQuoted(&out[old], text, n) - out.data()));
}

void appendJsonQuoted(std::string &out, const char16_t *text) {
    size_t n = 0;
    while (text && text[n])
        ++n;
    size_t old = out.size();
    out.resize(old + jsonQuotedBound(n));
    out.resize(size_t(putJsonQuoted(&out[old], text, n) - out.data()));
}

std::string jsonQuote(const std::string &s) {
    std::string out;
    out.reserve(s.size() + 2);
    appendJsonQuoted(out, s.data(), s.size());
    return out;
}

std::string hexText(const unsigned char *p, size_t n, const char *sep, bool upper) {
    const char *digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string out;
    out.reserve(n * (2 + std::char_traits<char>::length(sep)));
    for (size_t i = 0; i < n; ++i) {
        if (i)
            out += sep;
        out += digits[p[i] >> 4];
        out += digits[p[i] & 15];
    }
    return out;
}

} // namespace emul
