// The scenario language: tokens, numbers and the shape of every command.
#include "scenario/commands.h"

#include "scenario/quote.h"

#include "emul/device.h"
#include "emul/text.h"
#include "image/driver_builds.h"

#include <cstring>
#include <string_view>

namespace handheld {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Decimal or 0x hexadecimal, optionally negative; false when it is no number or out of range.
bool parseNumber(const std::string &t, int64_t lo, int64_t hi, int64_t *out) {
    size_t i = 0;
    bool negative = false;
    if (i < t.size() && t[i] == '-') {
        negative = true;
        ++i;
    }
    int base = 10;
    if (t.size() - i > 2 && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= t.size())
        return false;
    uint64_t v = 0;
    for (; i < t.size(); ++i) {
        int d = hexDigit(t[i]);
        if (d < 0 || d >= base)
            return false;
        v = v * base + uint64_t(d);
        if (v > (uint64_t(1) << 40))
            return false;
    }
    int64_t s = negative ? -int64_t(v) : int64_t(v);
    if (s < lo || s > hi)
        return false;
    *out = s;
    return true;
}

bool parseU32(const std::string &t, uint32_t *out) {
    int64_t v;
    if (!parseNumber(t, 0, 0xFFFFFFFFLL, &v))
        return false;
    *out = uint32_t(v);
    return true;
}

bool parseByte(const std::string &t, uint8_t *out) {
    if (t.size() != 2 || hexDigit(t[0]) < 0 || hexDigit(t[1]) < 0)
        return false;
    *out = uint8_t(hexDigit(t[0]) * 16 + hexDigit(t[1]));
    return true;
}

// GENERIC_READ, GENERIC_WRITE... joined by '|', or a number.
bool parseAccess(const std::string &t, uint32_t *out) {
    if (parseU32(t, out))
        return true;
    static const struct {
        const char *name;
        uint32_t value;
    } names[] = {{"GENERIC_READ", 0x80000000u},
                 {"GENERIC_WRITE", 0x40000000u},
                 {"GENERIC_EXECUTE", 0x20000000u},
                 {"GENERIC_ALL", 0x10000000u}};
    uint32_t v = 0;
    size_t start = 0;
    for (;;) {
        size_t bar = t.find('|', start);
        std::string part =
            t.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
        bool known = false;
        for (auto &n : names)
            if (part == n.name) {
                v |= n.value;
                known = true;
            }
        if (!known)
            return false;
        if (bar == std::string::npos)
            break;
        start = bar + 1;
    }
    *out = v;
    return true;
}

bool isComName(const std::string &t) {
    if (t.size() < 5 || t.back() != ':')
        return false;
    if (strncasecmp(t.c_str(), "COM", 3) != 0)
        return false;
    for (size_t i = 3; i + 1 < t.size(); ++i)
        if (t[i] < '0' || t[i] > '9')
            return false;
    return true;
}

emul::RegValue textValue(uint32_t type, const std::vector<std::string> &parts) {
    std::u16string all;
    for (auto &p : parts) {
        all += emul::utf16(p);
        all += u'\0';
    }
    if (type == 7 || parts.empty())
        all += u'\0'; // a multi-string ends with an empty string
    emul::RegValue v = emul::regSz(all, false);
    v.type = type;
    return v;
}

bool badByte(const std::string &t, std::string *why) {
    *why = quoteInput(t) + " is not a byte of two hex digits";
    return false;
}

} // namespace

namespace scnparse {

bool none(const Args &a, ScnCommand *, std::string *) {
    return a.empty();
}

bool number(const Args &a, ScnCommand *cmd, std::string *) {
    return a.size() == 1 && parseU32(a[0], &cmd->num);
}

bool path(const Args &a, ScnCommand *cmd, std::string *) {
    if (a.size() != 1 || a[0].empty())
        return false;
    cmd->path = a[0];
    return true;
}

bool call(const Args &a, ScnCommand *cmd, std::string *why) {
    // A misspelt name would otherwise make the scenario pass without testing anything.
    if (a.size() == 1 && !emul::canFail(a[0])) {
        *why = "\"" + a[0] + "\" is not a platform call whose failure the device can inject";
        return false;
    }
    return path(a, cmd, why);
}

bool driver(const Args &a, ScnCommand *cmd, std::string *why) {
    if (a.size() != 1)
        return false;
    if (!handheld::findDriverBuild(a[0])) {
        *why = "unknown driver build " + quoteInput(a[0]);
        return false;
    }
    cmd->name = a[0];
    return true;
}

bool slide(const Args &a, ScnCommand *cmd, std::string *) {
    return a.size() == 2 && parseU32(a[0], &cmd->num) && parseU32(a[1], &cmd->num2);
}

bool select(const Args &a, ScnCommand *cmd, std::string *) {
    if (a.size() != 2 || !parseU32(a[0], &cmd->num))
        return false;
    cmd->text = a[1];
    return true;
}

bool set(const Args &a, ScnCommand *cmd, std::string *why) {
    if (a.size() < 3)
        return false;
    cmd->path = a[0];
    cmd->valueName = a[1];
    const std::string &type = a[2];
    std::vector<std::string> rest(a.begin() + 3, a.end());
    if (type == "dword") {
        uint32_t v;
        if (rest.size() != 1 || !parseU32(rest[0], &v))
            return false;
        cmd->value = emul::regDword(v);
    } else if (type == "sz") {
        if (rest.size() != 1)
            return false;
        cmd->value = textValue(1, rest);
    } else if (type == "multisz") {
        cmd->value = textValue(7, rest);
    } else if (type == "binary" || type == "raw") {
        // raw: a value of any type, its number first, then its bytes as they are stored.
        cmd->value.type = 3;
        if (type == "raw") {
            if (rest.empty() || !parseU32(rest[0], &cmd->value.type))
                return false;
            rest.erase(rest.begin());
        }
        for (auto &t : rest) {
            uint8_t b;
            if (!parseByte(t, &b))
                return badByte(t, why);
            cmd->value.data.push_back(b);
        }
    } else {
        *why = "unknown value type " + quoteInput(type);
        return false;
    }
    return true;
}

bool port(const Args &a, ScnCommand *cmd, std::string *why) {
    const size_t n = a.size();
    if (n < 1 || n > 2 || (n == 2 && a[1] != "nobaud9600"))
        return false;
    if (!isComName(a[0])) {
        *why = quoteInput(a[0]) + " is not a COM port name such as \"COM3:\"";
        return false;
    }
    cmd->name = a[0];
    cmd->baud9600 = n == 1;
    return true;
}

bool del(const Args &a, ScnCommand *cmd, std::string *) {
    if (a.size() < 1 || a.size() > 2)
        return false;
    cmd->path = a[0];
    if (a.size() == 2)
        cmd->valueName = a[1];
    return true;
}

bool file(const Args &a, ScnCommand *cmd, std::string *) {
    if (a.size() < 1 || a.size() > 2)
        return false;
    cmd->path = a[0];
    if (a.size() == 2)
        cmd->text = a[1];
    return true;
}

bool window(const Args &a, ScnCommand *cmd, std::string *) {
    const size_t n = a.size();
    if (n < 2)
        return false;
    cmd->path = a[0];
    cmd->name = a[1];
    size_t i = 2;
    while (i < n) {
        if (a[i] == "parent" && i + 1 < n && !cmd->parent) {
            cmd->parent = a[i + 1];
            i += 2;
        } else if (a[i] == "rect" && i + 4 < n && !cmd->hasRect) {
            for (int k = 0; k < 4; ++k) {
                int64_t v;
                if (!parseNumber(a[i + 1 + k], -32768, 32767, &v))
                    return false;
                cmd->rect[k] = int(v);
            }
            cmd->hasRect = true;
            i += 5;
        } else {
            return false;
        }
    }
    return true;
}

// X Y pairs of screen pixels, into `rect`: one pair for `tap`, two for `drag`.
bool points(const Args &a, size_t pairs, ScnCommand *cmd, std::string *why) {
    if (a.size() != 2 * pairs)
        return false;
    for (size_t k = 0; k < a.size(); ++k) {
        int64_t v;
        if (!parseNumber(a[k], INT32_MIN, INT32_MAX, &v))
            return false;
        int limit = k % 2 ? emul::screen::kHeight : emul::screen::kWidth;
        if (v < 0 || v >= limit) {
            *why = "the point " + a[k - k % 2] + " " + a[k - k % 2 + 1] + " is off the " +
                   std::to_string(emul::screen::kWidth) + " x " +
                   std::to_string(emul::screen::kHeight) + " screen";
            return false;
        }
        cmd->rect[k] = int(v);
    }
    return true;
}

bool tap(const Args &a, ScnCommand *cmd, std::string *why) {
    return points(a, 1, cmd, why);
}

bool drag(const Args &a, ScnCommand *cmd, std::string *why) {
    return points(a, 2, cmd, why);
}

bool rx(const Args &a, ScnCommand *cmd, std::string *why) {
    if (a.empty())
        return false;
    for (auto &t : a) {
        uint8_t b;
        if (!parseByte(t, &b))
            return badByte(t, why);
        cmd->bytes.push_back(b);
    }
    return true;
}

bool clientOpen(const Args &a, ScnCommand *cmd, std::string *why) {
    if (a.size() > 1)
        return false;
    cmd->num = 0x80000000u;
    if (a.size() == 1 && !parseAccess(a[0], &cmd->num)) {
        *why = quoteInput(a[0]) + " is not an access such as GENERIC_READ or 0x80000000";
        return false;
    }
    return true;
}

bool clientRead(const Args &a, ScnCommand *cmd, std::string *) {
    return a.size() == 1 && parseU32(a[0], &cmd->num) && cmd->num <= 65536;
}

bool run(const Args &a, ScnCommand *cmd, std::string *) {
    if (a.empty() || a[0].empty())
        return false;
    cmd->path = a[0];
    cmd->args.assign(a.begin() + 1, a.end());
    return true;
}

bool sip(const Args &a, ScnCommand *cmd, std::string *) {
    if (a.size() != 1 || (a[0] != "on" && a[0] != "off"))
        return false;
    cmd->yes = a[0] == "on";
    return true;
}

bool answer(const Args &a, ScnCommand *cmd, std::string *) {
    if (a.size() != 1 || (a[0] != "yes" && a[0] != "no" && a[0] != "open"))
        return false;
    cmd->yes = a[0] == "yes";
    cmd->open = a[0] == "open";
    return true;
}

bool choose(const Args &a, ScnCommand *cmd, std::string *) {
    if (a.size() != 1)
        return false;
    cmd->cancel = a[0] == "cancel";
    cmd->open = a[0] == "open";
    cmd->path = a[0];
    return true;
}

} // namespace scnparse

namespace {

// The row for the words that start the line: a command of two words first ("client read").
// Runs for every line of a scenario (an hour of typing has 180,000): no string is made.
const ScnVerb *findVerb(const std::vector<std::string> &tokens, size_t *words) {
    for (const ScnVerb &v : scnVerbs()) {
        std::string_view w = v.word;
        size_t space = w.find(' ');
        if (space == std::string_view::npos
                ? tokens[0] == w
                : tokens.size() > 1 && tokens[0] == w.substr(0, space) &&
                      tokens[1] == w.substr(space + 1)) {
            *words = space == std::string::npos ? 1 : 2;
            return &v;
        }
    }
    return nullptr;
}

// The usages of every command that starts with this word ("client open ... | client close").
std::string usageOf(const std::string &first) {
    std::string all;
    for (const ScnVerb &v : scnVerbs()) {
        std::string w = v.word;
        if (w.substr(0, w.find(' ')) == first)
            all += (all.empty() ? "" : " | ") + std::string(v.usage);
    }
    return all;
}

} // namespace

bool scnTokenize(const std::string &line, std::vector<std::string> *tokens, std::string *error) {
    tokens->clear();
    size_t i = 0;
    const size_t n = line.size();
    while (i < n) {
        if (isBlank(line[i])) {
            ++i;
            continue;
        }
        if (line[i] == '#')
            break;
        std::string tok;
        if (line[i] == '"') {
            size_t start = i++;
            bool closed = false;
            while (i < n) {
                char c = line[i];
                if (c == '"') {
                    closed = true;
                    ++i;
                    break;
                }
                if (c == '\\' && i + 1 < n && (line[i + 1] == '"' || line[i + 1] == '\\')) {
                    tok += line[i + 1];
                    i += 2;
                    continue;
                }
                tok += c;
                ++i;
            }
            if (!closed) {
                *error = "unterminated quote starting at column " + std::to_string(start + 1);
                return false;
            }
            if (i < n && !isBlank(line[i]) && line[i] != '#') {
                *error = "a closing quote must be followed by a blank (column " +
                         std::to_string(i + 1) + ")";
                return false;
            }
        } else {
            while (i < n && !isBlank(line[i]) && line[i] != '#') {
                if (line[i] == '"') {
                    *error = "a quote inside a word (column " + std::to_string(i + 1) + ")";
                    return false;
                }
                tok += line[i++];
            }
        }
        tokens->push_back(std::move(tok));
    }
    return true;
}

bool scnParseLine(const std::string &line, int lineNo, ScnCommand *cmd, bool *empty,
                  std::string *error) {
    *cmd = ScnCommand();
    cmd->line = lineNo;
    std::string text = line;
    if (lineNo == 1 && text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text.erase(0, 3); // a byte-order mark some editors write
    std::vector<std::string> tokens;
    if (!scnTokenize(text, &tokens, error))
        return false;
    *empty = tokens.empty();
    if (tokens.empty())
        return true;
    size_t words = 1;
    const ScnVerb *verb = findVerb(tokens, &words);
    if (!verb) {
        std::string usage = usageOf(tokens[0]);
        *error = usage.empty() ? "unknown command " + quoteInput(tokens[0]) : "usage: " + usage;
        return false;
    }
    cmd->verb = verb;
    cmd->word = verb->word;
    std::vector<std::string> args(tokens.begin() + words, tokens.end());
    std::string why;
    if (!verb->parse(args, cmd, &why)) {
        *error = why.empty() ? "usage: " + usageOf(tokens[0]) : why;
        return false;
    }
    return true;
}

} // namespace handheld
