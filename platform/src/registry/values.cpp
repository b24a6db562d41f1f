// Registry values as the platform, the device program and the tests make and read them, and the
// JSON that the journal shows of them.
#include <windows.h>

#include "emul/registry.h"

#include "emul/journal.h"
#include "emul/text.h"

#include <algorithm>
#include <cstring>

namespace emul {

namespace {

std::u16string unitsOf(const std::vector<uint8_t> &data) {
    std::u16string s(data.size() / 2, u'\0');
    if (!s.empty())
        std::memcpy(&s[0], data.data(), s.size() * 2);
    return s;
}

// UTF-8 of UTF-16 text that may hold nulls (they stay, and JSON shows them as \u0000).
std::string utf8Whole(const std::u16string &s) {
    std::string out;
    size_t start = 0;
    for (;;) {
        size_t end = s.find(u'\0', start);
        out +=
            utf8(s.substr(start, end == std::u16string::npos ? std::u16string::npos : end - start));
        if (end == std::u16string::npos)
            return out;
        out += '\0';
        start = end + 1;
    }
}

std::string hexPairs(const std::vector<uint8_t> &data) {
    // Upper case, as every hex byte of the journal.
    return hexText(data.data(), data.size(), " ", true);
}

} // namespace

RegValue regSz(const std::u16string &s, bool terminated) {
    RegValue v;
    v.type = REG_SZ;
    v.data.resize((s.size() + (terminated ? 1 : 0)) * 2);
    std::memcpy(v.data.data(), s.c_str(), v.data.size());
    return v;
}

RegValue regMultiSz(const std::vector<std::u16string> &strings) {
    std::u16string units;
    for (const std::u16string &s : strings)
        units += s + u'\0';
    return RegValue{REG_MULTI_SZ, regSz(units).data};
}

RegPathFit regPathFits(const std::u16string &path) {
    size_t levels = 0, start = 0;
    while (start <= path.size()) {
        size_t end = std::min(path.find(u'\\', start), path.size());
        if (end - start > kRegMaxNameLength)
            return RegPathFit::longName;
        levels += end > start;
        start = end + 1;
    }
    return levels > kRegMaxKeyDepth ? RegPathFit::deep : RegPathFit::fits;
}

RegValue regDword(uint32_t n) {
    RegValue v;
    v.type = REG_DWORD;
    v.data.resize(4);
    std::memcpy(v.data.data(), &n, 4);
    return v;
}

RegValue regRaw(uint32_t type, std::vector<uint8_t> data) {
    return RegValue{type, std::move(data)};
}

namespace {

std::vector<std::string> multiSzParts(const RegValue &v) {
    std::vector<std::u16string> parts;
    std::u16string s = unitsOf(v.data);
    size_t start = 0;
    while (start < s.size()) {
        size_t end = s.find(u'\0', start);
        if (end == std::u16string::npos)
            end = s.size();
        parts.push_back(s.substr(start, end - start));
        start = end + 1;
    }
    while (!parts.empty() && parts.back().empty())
        parts.pop_back();
    std::vector<std::string> out;
    for (auto &p : parts)
        out.push_back(utf8(p));
    return out;
}

std::string szText(const RegValue &v) {
    std::u16string s = unitsOf(v.data);
    if (!s.empty() && s.back() == u'\0')
        s.pop_back();
    return utf8Whole(s);
}

bool isDword(const RegValue &v) {
    return v.type == REG_DWORD && v.data.size() == 4;
}

uint32_t dwordOf(const RegValue &v) {
    return uint32_t(v.data[0]) | uint32_t(v.data[1]) << 8 | uint32_t(v.data[2]) << 16 |
           uint32_t(v.data[3]) << 24;
}

} // namespace

std::string regValueJson(const RegValue &v) {
    if (isDword(v))
        return std::to_string(dwordOf(v));
    if (v.type == REG_SZ)
        return jsonQuote(szText(v));
    if (v.type == REG_MULTI_SZ) {
        std::string out = "[";
        bool first = true;
        for (auto &p : multiSzParts(v)) {
            out += (first ? "" : ",") + jsonQuote(p);
            first = false;
        }
        return out + "]";
    }
    return jsonQuote(hexPairs(v.data));
}

void regValueField(Fields &f, const char *name, const RegValue &v) {
    if (isDword(v))
        f.num(name, dwordOf(v));
    else if (v.type == REG_SZ)
        f.str(name, szText(v));
    else if (v.type == REG_MULTI_SZ)
        f.strs(name, multiSzParts(v));
    else
        f.str(name, hexPairs(v.data));
}

std::optional<uint32_t> regDwordOf(const std::optional<RegValue> &v) {
    if (!v || v->data.size() != 4)
        return std::nullopt;
    uint32_t n;
    std::memcpy(&n, v->data.data(), 4);
    return n;
}

std::optional<std::u16string> regStringOf(const std::optional<RegValue> &v) {
    if (!v)
        return std::nullopt;
    std::u16string s = unitsOf(v->data);
    size_t end = s.find(u'\0');
    return end == std::u16string::npos ? s : s.substr(0, end);
}

} // namespace emul
