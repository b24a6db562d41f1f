// Writing registry files: keys in creation order, each followed by its values and a blank line.
#include "regfile/regedit_writer.h"

#include "regfile/reg_paths.h"
#include "regfile/reg_text.h"

#include "emul/registry.h"
#include "emul/text.h"

#include <cstdio>

namespace handheld {

namespace {

constexpr size_t kLineWidth = 80; // hex lists wrap as Windows' editor wraps them

class Writer {
  public:
    Writer(emul::Registry &reg, RegFileFormat format, std::string *out, std::string *error)
        : reg_(reg), ansi_(format == RegFileFormat::regedit4), out_(*out), error_(error) {}

    bool key(const std::u16string &key) {
        out_ += "[" + regFullName(key) + "]\n";
        for (auto &[name, v] : reg_.values(key))
            if (!value(key, name, v))
                return false;
        out_ += "\n";
        for (auto &sub : reg_.subkeys(key))
            if (!this->key(key.empty() ? sub : key + u"\\" + sub))
                return false;
        return true;
    }

  private:
    bool value(const std::u16string &key, const std::u16string &name, const emul::RegValue &v) {
        size_t lineStart = out_.size();
        out_ += name.empty() ? "@" : regQuoted(emul::utf8(name));
        out_ += "=";
        if (auto d = regExactDword(v)) {
            char b[16];
            std::snprintf(b, sizeof b, "dword:%08x", *d);
            out_ += b;
        } else if (auto text = regPlainSz(v)) {
            out_ += regQuoted(emul::utf8(*text));
        } else if (ansi_ && (v.type == kRegSz || v.type == kRegExpandSz || v.type == kRegMultiSz)) {
            std::string bytes;
            if (!ansiBytes(v, &bytes)) {
                *error_ = regFullName(key) + ": the value " +
                          (name.empty() ? std::string("@") : regQuoted(emul::utf8(name))) +
                          " holds text that REGEDIT4 cannot carry exactly (outside the device's "
                          "ANSI code page, or without its terminating null); --format 5 "
                          "carries every value";
                return false;
            }
            hex(v.type, reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(), lineStart);
        } else {
            hex(v.type, v.data.data(), v.data.size(), lineStart);
        }
        out_ += "\n";
        return true;
    }

    // ANSI bytes that the reader turns back into exactly this data: even-sized, terminated.
    static bool ansiBytes(const emul::RegValue &v, std::string *bytes) {
        bytes->clear();
        if (v.data.empty())
            return true;
        if (v.data.size() % 2 || v.data[v.data.size() - 2] || v.data.back())
            return false;
        std::u16string units(v.data.size() / 2, u'\0');
        for (size_t i = 0; i < units.size(); ++i)
            units[i] = char16_t(v.data[2 * i] | v.data[2 * i + 1] << 8);
        return toAnsi(units, bytes);
    }

    void hex(uint32_t type, const uint8_t *p, size_t n, size_t lineStart) {
        char head[24];
        std::snprintf(head, sizeof head, "hex(%x):", type); // as the reader takes it: hexadecimal
        out_ += type == kRegBinary ? "hex:" : head;
        size_t column = out_.size() - lineStart;
        for (size_t i = 0; i < n; ++i) {
            bool last = i + 1 == n;
            if (column + (last ? 2 : 3) > kLineWidth - 2 && i) {
                out_ += "\\\n  ";
                column = 2;
            }
            out_ += emul::hexText(p + i, 1, "");
            if (!last)
                out_ += ',';
            column += last ? 2 : 3;
        }
    }

    emul::Registry &reg_;
    bool ansi_;
    std::string &out_;
    std::string *error_;
};

// UTF-16 with its byte-order mark and CR LF line ends, of UTF-8 text with LF line ends.
std::string asVersion5(const std::string &text) {
    std::u16string units = emul::utf16(text);
    std::string out = "\xFF\xFE";
    out.reserve(units.size() * 2 + units.size() / 16);
    auto put = [&](char16_t c) {
        out += char(c & 0xFF);
        out += char(c >> 8);
    };
    for (char16_t c : units) {
        if (c == u'\n')
            put(u'\r');
        put(c);
    }
    return out;
}

} // namespace

bool writeRegFile(emul::Registry &reg, const std::u16string &key, RegFileFormat format,
                  std::string *out, std::string *error) {
    std::string text = format == RegFileFormat::regedit4
                           ? "REGEDIT4\n\n"
                           : "Windows Registry Editor Version 5.00\n\n";
    Writer w(reg, format, &text, error);
    bool ok = true;
    if (key.empty()) {
        for (auto &sub : reg.subkeys(u""))
            ok = ok && w.key(sub);
    } else {
        ok = w.key(key);
    }
    if (!ok)
        return false;
    *out += format == RegFileFormat::regedit4 ? text : asVersion5(text);
    return true;
}

} // namespace handheld
