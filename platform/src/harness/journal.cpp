// Journal lines and their fields.
#include "emul/journal.h"

#include "emul/device.h"

#include "emul/text.h"

#include <charconv>
#include <cstring>

namespace emul {

namespace {

// A journal line is built for every platform call: its fields reuse one spare buffer per
// thread instead of allocating.
__attribute__((tls_model("initial-exec"))) thread_local std::string spareFields;

void appendNumber(std::string &out, int64_t v) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, size_t(r.ptr - buf));
}

// Flushed to the stream when the buffer holds this much.
constexpr size_t kBlock = 64 * 1024;

} // namespace

Fields::Fields() {
    text_.swap(spareFields);
    text_.clear();
}

Fields::~Fields() {
    if (text_.capacity() > spareFields.capacity())
        text_.swap(spareFields);
}

void Fields::key(const char *name) {
    text_ += ',';
    appendJsonQuoted(text_, name, std::strlen(name));
    text_ += ':';
}

Fields &Fields::num(const char *name, int64_t v) {
    key(name);
    appendNumber(text_, v);
    return *this;
}

Fields &Fields::str(const char *name, const char16_t *v) {
    key(name);
    if (v)
        appendJsonQuoted(text_, v);
    else
        text_ += "null";
    return *this;
}

Fields &Fields::str(const char *name, const std::string &v) {
    key(name);
    appendJsonQuoted(text_, v.data(), v.size());
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

// Fields name windows the way the current device's journal does; 0 and unknown handles stay
// numbers.
std::string windowName(uintptr_t h) {
    Device *d = Device::currentOrNull();
    return d && h && d->journal().windowName ? d->journal().windowName(h) : "";
}

} // namespace

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
    std::string n = windowName(h);
    text_ += n.empty() ? std::to_string(int64_t(h)) : jsonQuote(n);
    return *this;
}

Fields &Fields::numOrWindow(const char *name, int64_t v) {
    std::string n = windowName(uintptr_t(v));
    if (n.empty())
        return num(name, v);
    key(name);
    text_ += jsonQuote(n);
    return *this;
}

Journal::Journal() = default;

Journal::~Journal() {
    flush();
}

void Journal::keepLast(size_t n) {
    keep_ = n;
    if (lines_.size() > keep_)
        lines_.erase(lines_.begin(), lines_.end() - long(keep_));
}

void Journal::tee(std::ostream *out) {
    flush();
    out_ = out;
}

void Journal::flush() {
    if (out_ && !out_buf_.empty()) {
        out_->write(out_buf_.data(), std::streamsize(out_buf_.size()));
        out_->flush();
    }
    out_buf_.clear();
}

void Journal::call(const char *name, const Fields &f) {
    std::string &s = begin("call");
    appendJsonQuoted(s, name, std::strlen(name));
    finish(s, f);
}

void Journal::event(const char *name, const Fields &f) {
    std::string &s = begin("event");
    appendJsonQuoted(s, name, std::strlen(name));
    finish(s, f);
}

void Journal::line(const char *kind, const std::string &valueJson, const Fields &f) {
    std::string &s = begin(kind);
    s += valueJson;
    finish(s, f);
}

// With a stream, the line is formatted straight into the block that goes to it.
std::string &Journal::begin(const char *kind) {
    std::string &s = out_ ? out_buf_ : line_;
    if (!out_)
        line_.clear();
    lineStart_ = s.size();
    s += "{\"t\":";
    appendNumber(s, clock ? clock() : 0);
    s += ',';
    appendJsonQuoted(s, kind, std::strlen(kind));
    s += ':';
    return s;
}

void Journal::finish(std::string &s, const Fields &f) {
    s += f.text();
    s += '}';
    ++written_;
    if (keep_ == SIZE_MAX) {
        lines_.emplace_back(s, lineStart_);
    } else if (keep_) {
        // Trimmed by half the bound at a time, so that keeping costs O(1) per line.
        if (lines_.size() >= 2 * keep_)
            lines_.erase(lines_.begin(), lines_.end() - long(keep_ - 1));
        lines_.emplace_back(s, lineStart_);
    }
    if (out_) {
        s += '\n';
        if (s.size() >= kBlock)
            flush();
    }
}

std::vector<std::string> Journal::grep(const std::string &needle) const {
    std::vector<std::string> out;
    for (auto &l : lines_)
        if (l.find(needle) != std::string::npos)
            out.push_back(l);
    return out;
}

} // namespace emul
