// Journal lines and their fields.
#include "emul/journal.h"

#include "emul/text.h"

namespace emul {

void Fields::key(const char *name) {
    text_ += ",";
    text_ += jsonQuote(name);
    text_ += ":";
}

Fields &Fields::num(const char *name, int64_t v) {
    key(name);
    text_ += std::to_string(v);
    return *this;
}

Fields &Fields::str(const char *name, const char16_t *v) {
    key(name);
    text_ += v ? jsonQuote(utf8(v)) : "null";
    return *this;
}

Fields &Fields::str(const char *name, const std::string &v) {
    key(name);
    text_ += jsonQuote(v);
    return *this;
}

Fields &Fields::boolean(const char *name, bool v) {
    key(name);
    text_ += v ? "true" : "false";
    return *this;
}

Fields &Fields::null(const char *name) {
    key(name);
    text_ += "null";
    return *this;
}

Fields &Fields::raw(const char *name, const std::string &json) {
    key(name);
    text_ += json;
    return *this;
}

namespace {
Journal *activeJournal = nullptr;
}

Fields &Fields::hwnd(const char *name, uintptr_t h) {
    key(name);
    if (h == 0) {
        text_ += "null";
        return *this;
    }
    if (h == uintptr_t(-1)) {
        text_ += "\"focus\"";
        return *this;
    }
    std::string n = activeJournal && activeJournal->windowName ? activeJournal->windowName(h) : "";
    text_ += n.empty() ? std::to_string(int64_t(h)) : jsonQuote(n);
    return *this;
}

Fields &Fields::numOrWindow(const char *name, int64_t v) {
    std::string n = activeJournal && activeJournal->windowName && v != 0
                        ? activeJournal->windowName(uintptr_t(v))
                        : "";
    if (n.empty())
        return num(name, v);
    key(name);
    text_ += jsonQuote(n);
    return *this;
}

Journal::Journal() {
    activeJournal = this;
}

Journal::~Journal() {
    if (activeJournal == this)
        activeJournal = nullptr;
}

void Journal::write(std::string l) {
    if (out_) {
        *out_ << l << "\n";
        out_->flush();
    }
    lines_.push_back(std::move(l));
}

void Journal::call(const char *name, const Fields &f) {
    line("call", jsonQuote(name), f);
}

void Journal::event(const char *name, const Fields &f) {
    line("event", jsonQuote(name), f);
}

void Journal::line(const char *kind, const std::string &valueJson, const Fields &f) {
    std::string l = "{\"t\":" + std::to_string(clock ? clock() : 0) + "," + jsonQuote(kind) + ":" +
                    valueJson + f.text() + "}";
    write(std::move(l));
}

std::vector<std::string> Journal::grep(const std::string &needle) const {
    std::vector<std::string> out;
    for (auto &l : lines_)
        if (l.find(needle) != std::string::npos)
            out.push_back(l);
    return out;
}

} // namespace emul
