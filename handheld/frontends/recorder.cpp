// The session recorder.
#include "frontends/recorder.h"

#include <cstdio>

namespace handheld {

std::string scenarioWord(const std::string &text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

bool SessionRecorder::open(const std::string &path) {
    out_.open(path, std::ios::binary | std::ios::trunc);
    if (!out_)
        return false;
    out_ << "# A session of the interactive handheld, recorded: bytes on the infrared line with\n"
            "# their device times and the user's actions. Play it with: handheld play FILE\n";
    out_.flush();
    lastAt_ = out_.tellp();
    return true;
}

void SessionRecorder::command(uint64_t t, const std::string &line) {
    if (!active())
        return;
    std::string text;
    if (t > last_)
        text = "wait " + std::to_string(t - last_) + "\n";
    last_ = std::max(last_, t);
    text += line + "\n";
    lastAt_ = out_.tellp();
    lastText_ = text;
    out_ << text;
    out_.flush(); // a killed session keeps what it did so far
}

void SessionRecorder::before(const std::string &line) {
    if (!active())
        return;
    out_.seekp(lastAt_);
    out_ << line << "\n" << lastText_;
    lastAt_ += std::streamoff(line.size() + 1);
    out_.flush();
}

void SessionRecorder::bytes(uint64_t t, const std::vector<uint8_t> &bytes) {
    std::string line = "rx";
    char b[4];
    for (uint8_t v : bytes) {
        std::snprintf(b, sizeof b, " %02X", v);
        line += b;
    }
    command(t, line);
}

void SessionRecorder::close(uint64_t t) {
    if (!active())
        return;
    command(t + 2000, "# the end of the session");
    out_.close();
}

} // namespace handheld
