// The compact form of the journal's call lines.
#include "support/compact_journal.h"

namespace testing_support {

namespace {

// Reads one JSON value at s[i] and returns it compactly: a string without quotes (escapes other
// than \" and \\ kept as written), anything else exactly as written.
std::string ReadValue(const std::string &s, size_t &i) {
    std::string out;
    if (s[i] == '"') {
        for (++i; i < s.size() && s[i] != '"'; ++i) {
            if (s[i] == '\\' && i + 1 < s.size()) {
                char n = s[i + 1];
                if (n == '"' || n == '\\') {
                    out += n;
                    ++i;
                    continue;
                }
            }
            out += s[i];
        }
        ++i;
        return out;
    }
    int depth = 0;
    bool inString = false;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (inString) {
            if (c == '\\')
                out += s[i++];
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            ++depth;
        } else if (c == ']' || c == '}') {
            if (depth == 0)
                break;
            --depth;
        } else if (c == ',' && depth == 0) {
            break;
        }
        out += s[i];
    }
    return out;
}

} // namespace

std::string CompactCall(const std::string &line) {
    std::string name, rest;
    size_t i = 1;
    while (i < line.size() && line[i] == '"') {
        std::string key = ReadValue(line, i);
        ++i; // ':'
        std::string value = ReadValue(line, i);
        if (key == "call")
            name = value;
        else if (key != "t")
            rest += " " + value;
        if (i < line.size() && line[i] == ',')
            ++i;
    }
    return name.empty() ? std::string() : name + rest;
}

} // namespace testing_support
