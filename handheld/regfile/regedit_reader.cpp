// Reading registry files as Windows' registry editor writes and reads them. A line that is not
// valid refuses the whole file, named; what the editor takes is never refused.
#include "regfile/regedit_reader.h"

#include "regfile/reg_paths.h"
#include "regfile/reg_text.h"

#include "emul/text.h"

#include <cctype>
#include <string_view>

namespace handheld {

const char *const kRegFileLimitText = "64 MB";

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view skipBlanks(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && isBlank(s[i]))
        ++i;
    return s.substr(i);
}

std::string_view trimmed(std::string_view s) {
    s = skipBlanks(s);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// What may follow a value's data: blanks, then nothing or a comment.
bool endsClean(std::string_view rest) {
    rest = skipBlanks(rest);
    return rest.empty() || rest[0] == ';';
}

// A line's text in a message: short, whatever its length.
std::string shown(std::string_view s) {
    return s.size() <= 40 ? std::string(s) : std::string(s.substr(0, 40)) + "...";
}

void appendUtf8(std::string &out, uint32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | c >> 6);
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | c >> 12);
        out += char(0x80 | (c >> 6 & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | c >> 18);
        out += char(0x80 | (c >> 12 & 0x3F));
        out += char(0x80 | (c >> 6 & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

bool validUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        uint8_t b = uint8_t(s[i]);
        size_t n = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : 3;
        if (b >= 0xF8 || (b >= 0x80 && b < 0xC0) || i + n >= s.size() + (n ? 0 : 1))
            return false;
        for (size_t k = 1; k <= n; ++k)
            if ((uint8_t(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += n + 1;
    }
    return true;
}

// The file as UTF-8 text: UTF-16 with its byte-order mark as Windows' editor writes it, UTF-8
// with or without a mark, else the device's ANSI code page.
std::string decode(std::string bytes) {
    if (bytes.compare(0, 2, "\xFF\xFE") == 0) {
        std::string out;
        out.reserve(bytes.size() / 2);
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            uint32_t c = uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8;
            if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size()) {
                uint32_t lo = uint8_t(bytes[i + 2]) | uint8_t(bytes[i + 3]) << 8;
                if (lo >= 0xDC00 && lo < 0xE000) {
                    c = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
                    i += 2;
                }
            }
            appendUtf8(out, c >= 0xD800 && c < 0xE000 ? 0xFFFD : c);
        }
        return out;
    }
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        bytes.erase(0, 3);
    if (validUtf8(bytes))
        return bytes;
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (char16_t c : fromAnsi(bytes))
        appendUtf8(out, c);
    return out;
}

// Lines of the text, ended by CR LF, LF or CR alone.
class Lines {
  public:
    explicit Lines(std::string_view text) : text_(text) {}
    bool next(std::string_view *line) {
        if (pos_ >= text_.size())
            return false;
        size_t end = text_.find_first_of("\r\n", pos_);
        if (end == std::string_view::npos)
            end = text_.size();
        *line = text_.substr(pos_, end - pos_);
        pos_ = end;
        if (pos_ < text_.size())
            pos_ += text_.compare(pos_, 2, "\r\n") == 0 ? 2 : 1;
        ++number_;
        return true;
    }
    int number() const { return number_; }

  private:
    std::string_view text_;
    size_t pos_ = 0;
    int number_ = 0;
};

// A quoted string at s[*i] (the opening quote). Only \\ and \" are escapes, as for Windows'
// editor; any other backslash stays as written. False when the string does not end.
bool readQuoted(std::string_view s, size_t *i, std::string *out) {
    size_t j = *i + 1;
    size_t quote = s.find('"', j);
    out->reserve((quote == std::string_view::npos ? s.size() : quote) - j);
    while (j < s.size()) {
        char c = s[j++];
        if (c == '"') {
            *i = j;
            return true;
        }
        if (c == '\\' && j < s.size() && (s[j] == '\\' || s[j] == '"'))
            c = s[j++];
        *out += c;
    }
    return false;
}

class Reader {
    using RegValue = emul::RegValue;

  public:
    Reader(Lines &lines, const std::function<bool(RegFileStep &)> &step, std::string *error)
        : lines_(lines), step_(step), error_(error) {}

    bool run();

  private:
    bool fail(const std::string &what, int line = 0) {
        *error_ = "line " + std::to_string(line ? line : start_) + ": " + what;
        return false;
    }
    bool header(std::string_view line);
    bool keyLine(std::string_view line);
    bool valueLine(std::string_view line);
    bool data(std::string_view s, RegValue &v);
    bool hexData(std::string_view s, RegValue &v);
    bool hexList(std::string_view s, std::vector<uint8_t> *out);
    bool emit(RegFileStep::Kind kind, std::u16string name = {}, RegValue v = {}) {
        RegFileStep s{kind, key_, std::move(name), std::move(v)};
        if (step_(s))
            return true;
        error_->clear();
        return false;
    }

    Lines &lines_;
    const std::function<bool(RegFileStep &)> &step_;
    std::string *error_;
    int start_ = 0;
    bool ansi_ = true; // REGEDIT4: text in hex form is ANSI
    bool haveKey_ = false, skipping_ = false;
    std::u16string key_;
};

bool Reader::run() {
    std::string_view line;
    bool first = true;
    while (lines_.next(&line)) {
        start_ = lines_.number();
        std::string_view s = skipBlanks(line);
        if (s.empty() || s[0] == ';')
            continue;
        bool ok = first ? header(s) : s[0] == '[' ? keyLine(s) : valueLine(s);
        first = false;
        if (!ok)
            return false;
    }
    if (first) {
        *error_ = "empty: not REGEDIT4 text";
        return false;
    }
    return true;
}

bool Reader::header(std::string_view line) {
    line = trimmed(line);
    ansi_ = line == "REGEDIT4";
    if (ansi_ || line == "Windows Registry Editor Version 5.00")
        return true;
    return fail("not REGEDIT4 text (the first line must be REGEDIT4 or Windows Registry Editor "
                "Version 5.00)");
}

bool Reader::keyLine(std::string_view line) {
    // A blank after the bracket: a line the editor ignores, and the values under it.
    bool remove = line.size() > 1 && line[1] == '-';
    size_t nameAt = remove ? 2 : 1;
    if (line.size() <= nameAt || isBlank(line[nameAt]) || (!remove && isBlank(line[1]))) {
        haveKey_ = false;
        skipping_ = true;
        return true;
    }
    size_t e = line.rfind(']');
    if (e == std::string_view::npos || e < nameAt)
        return fail("a key without its closing ]");
    std::string err;
    if (!regKeyPath(std::string(line.substr(nameAt, e - nameAt)), &key_, &err))
        return fail(err);
    if (key_.empty())
        return fail("the root itself cannot be " + std::string(remove ? "deleted" : "set"));
    // Values under a deleted key have no key to go to: the editor passes over them.
    haveKey_ = !remove;
    skipping_ = remove;
    return emit(remove ? RegFileStep::deleteKey : RegFileStep::createKey);
}

bool Reader::valueLine(std::string_view line) {
    if (!haveKey_) {
        if (skipping_)
            return true;
        return fail("a value outside any key");
    }
    std::string name;
    size_t i = 0;
    if (line[0] == '@') {
        i = 1;
    } else if (line[0] == '"') {
        if (!readQuoted(line, &i, &name))
            return fail("an unterminated value name");
    } else {
        return fail("expected a key in [ ] or a \"name\"=value");
    }
    std::string_view rest = skipBlanks(line.substr(i));
    if (rest.empty() || rest[0] != '=')
        return fail("expected = after the value name");
    rest = skipBlanks(rest.substr(1));
    std::string err;
    if (!regValueName(name, &err))
        return fail(err);
    std::u16string wname = emul::utf16(name);
    if (!rest.empty() && rest[0] == '-' && endsClean(rest.substr(1)))
        return emit(RegFileStep::deleteValue, std::move(wname));
    RegValue v;
    if (!data(rest, v))
        return false;
    return emit(RegFileStep::setValue, std::move(wname), std::move(v));
}

bool Reader::data(std::string_view s, RegValue &v) {
    if (!s.empty() && s[0] == '"') {
        size_t j = 0;
        std::string text;
        if (!readQuoted(s, &j, &text))
            return fail("an unterminated string");
        if (!endsClean(s.substr(j)))
            return fail("text after the string: " + shown(s.substr(j)));
        std::u16string units = emul::utf16(text);
        std::string().swap(text);
        v = emul::regSz(units);
        return true;
    }
    if (s.substr(0, 6) == "dword:") {
        std::string_view digits = skipBlanks(s.substr(6));
        size_t n = 0;
        while (n < digits.size() && std::isxdigit(uint8_t(digits[n])))
            ++n;
        if (n == 0 || n > 8 || !endsClean(digits.substr(n)))
            return fail("not a dword: " + shown(s));
        v = emul::regDword(uint32_t(std::stoul(std::string(digits.substr(0, n)), nullptr, 16)));
        return true;
    }
    if (s.substr(0, 3) == "hex")
        return hexData(s, v);
    return fail("unknown value data: " + shown(s));
}

bool Reader::hexData(std::string_view s, RegValue &v) {
    size_t colon = s.find(':');
    if (colon == std::string_view::npos)
        return fail("hex data without :");
    std::string_view kind = s.substr(3, colon - 3);
    v.type = kRegBinary;
    if (!kind.empty()) {
        size_t n = kind.size() - 2;
        if (kind.size() < 3 || n > 8 || kind.front() != '(' || kind.back() != ')' ||
            kind.substr(1, n).find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return fail("not a value type: " + shown(kind));
        v.type = uint32_t(std::stoul(std::string(kind.substr(1, n)), nullptr, 16));
    }
    if (!hexList(s.substr(colon + 1), &v.data))
        return false;
    // In REGEDIT4, text in hex form is the device's ANSI text: stored as its Unicode, with the
    // terminating null that the file may leave out.
    bool text = v.type == kRegSz || v.type == kRegExpandSz || v.type == kRegMultiSz;
    if (ansi_ && text && !v.data.empty()) {
        std::u16string units = fromAnsi(
            std::string_view(reinterpret_cast<const char *>(v.data.data()), v.data.size()));
        bool terminated = units.back() == u'\0';
        if (terminated)
            units.pop_back();
        v.data = emul::regSz(units).data;
    }
    return true;
}

// Bytes of two hex digits at most, a comma between each two; a line that ends in a backslash
// after a comma goes on over the next one that is not blank or a comment. A file may end right
// after such a backslash.
bool Reader::hexList(std::string_view s, std::vector<uint8_t> *out) {
    const std::string what = "not hexadecimal byte pairs: ";
    std::string_view line = s;
    int at = start_;
    bool wantByte = true;
    size_t i = 0;
    for (;;) {
        while (i < s.size() && isBlank(s[i]))
            ++i;
        if (i == s.size() || s[i] == ';')
            return true;
        char c = s[i];
        if (c == '\\') {
            if (!wantByte || !endsClean(s.substr(i + 1)))
                return fail(what + shown(line) + " (a backslash must follow a comma)", at);
            std::string_view next;
            do {
                if (!lines_.next(&next))
                    return true;
                next = skipBlanks(next);
            } while (next.empty() || next[0] == ';');
            at = lines_.number();
            if (next[0] == '\\' || next[0] == ',')
                return fail(what + shown(next), at);
            s = line = next;
            i = 0;
            continue;
        }
        if (c == ',') {
            if (wantByte)
                return fail(what + shown(line) + " (a comma without a byte before it)", at);
            wantByte = true;
            ++i;
            continue;
        }
        size_t n = 0;
        while (i + n < s.size() && std::isxdigit(uint8_t(s[i + n])))
            ++n;
        if (!wantByte || n == 0 || n > 2)
            return fail(what + shown(line), at);
        out->push_back(uint8_t(std::stoul(std::string(s.substr(i, n)), nullptr, 16)));
        i += n;
        wantByte = false;
    }
}

} // namespace

bool readRegFile(std::string bytes, const std::function<bool(RegFileStep &)> &step,
                 std::string *error) {
    std::string text = decode(std::move(bytes));
    Lines lines(text);
    Reader reader(lines, step, error);
    return reader.run();
}

} // namespace handheld
