// Journal lines and their fields, formatted in place: a platform call writes its line straight
// into the block that goes to the stream, with no string per field.
#include "emul/journal.h"

#include "emul/device.h"

#include "emul/text.h"

#include <algorithm>

namespace emul {

namespace {

// Flushed to the stream when the buffer holds this much.
constexpr size_t kBlock = 64 * 1024;

// `{"t":` + a tick + `,"` + `":` + `}\n`, with room to spare.
constexpr size_t kLineFrame = 40;

__attribute__((always_inline)) inline char *putLiteral(char *p, const char *s, size_t n) {
    // Most pieces of a line are short: copied inline rather than through a call.
    if (n <= 16) {
        if (n >= 8) {
            uint64_t a, b;
            std::memcpy(&a, s, 8);
            std::memcpy(&b, s + n - 8, 8);
            std::memcpy(p, &a, 8);
            std::memcpy(p + n - 8, &b, 8);
        } else if (n >= 4) {
            uint32_t a, b;
            std::memcpy(&a, s, 4);
            std::memcpy(&b, s + n - 4, 4);
            std::memcpy(p, &a, 4);
            std::memcpy(p + n - 4, &b, 4);
        } else {
            for (size_t i = 0; i < n; ++i)
                p[i] = s[i];
        }
        return p + n;
    }
    std::memcpy(p, s, n);
    return p + n;
}

} // namespace

void TextBuffer::grow(size_t n) {
    size_t cap = std::max(cap_ * 2, size_ + n);
    char *p = new char[cap];
    std::memcpy(p, data_, size_);
    if (data_ != inline_)
        delete[] data_;
    data_ = p;
    cap_ = cap;
}

Fields &Fields::str(const char *name, const char16_t *v) {
    if (!v)
        return null(name);
    size_t n = 0;
    while (v[n])
        ++n;
    text_.commit(putJsonQuoted(key(name, jsonQuotedBound(n)), v, n));
    return *this;
}

Fields &Fields::str(const char *name, const std::string &v) {
    text_.commit(putJsonQuoted(key(name, jsonQuotedBound(v.size())), v.data(), v.size()));
    return *this;
}

Fields &Fields::boolean(const char *name, bool v) {
    char *p = key(name, 5);
    text_.commit(v ? putLiteral(p, "true", 4) : putLiteral(p, "false", 5));
    return *this;
}

Fields &Fields::null(const char *name) {
    text_.commit(putLiteral(key(name, 4), "null", 4));
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
    if (h == 0)
        return null(name);
    if (h == uintptr_t(-1)) {
        text_.commit(putLiteral(key(name, 7), "\"focus\"", 7));
        return *this;
    }
    return numOrWindow(name, int64_t(h));
}

Fields &Fields::numOrWindow(const char *name, int64_t v) {
    std::string n = windowName(uintptr_t(v));
    if (n.empty())
        return num(name, v);
    return str(name, n);
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

bool Journal::flushBuffered() {
    bool wrote = out_ && used_;
    if (wrote) {
        out_->write(buf_.get(), std::streamsize(used_));
        out_->flush();
    }
    used_ = 0;
    return wrote;
}

__attribute__((always_inline)) inline char *Journal::begin(const char *kind, size_t kindLen,
                                                           size_t more) {
    if (!out_)
        used_ = 0; // nothing to keep for a stream: only the line at hand
    size_t need = kLineFrame + kindLen + more;
    if (cap_ - used_ < need) {
        size_t cap = std::max({cap_ * 2, kBlock + kBlock / 2, used_ + need});
        std::unique_ptr<char[]> b(new char[cap]);
        if (used_)
            std::memcpy(b.get(), buf_.get(), used_);
        buf_ = std::move(b);
        cap_ = cap;
    }
    lineStart_ = used_;
    uint32_t t = clock ? clock->tick() : 0;
    if (t != prefixTick_ || !prefixLen_) {
        char *e = putLiteral(prefix_, "{\"t\":", 5);
        e = Fields::putNumber(e, t);
        *e++ = ',';
        *e++ = '"';
        prefixLen_ = size_t(e - prefix_);
        prefixTick_ = t;
    }
    char *p = putLiteral(buf_.get() + used_, prefix_, prefixLen_);
    p = putLiteral(p, kind, kindLen);
    *p++ = '"';
    *p++ = ':';
    return p;
}

__attribute__((always_inline)) inline void Journal::finish(char *p, const Fields &f) {
    std::string_view fields = f.text();
    p = putLiteral(p, fields.data(), fields.size());
    *p++ = '}';
    ++written_;
    const char *line = buf_.get() + lineStart_;
    size_t len = size_t(p - line);
    if (keep_ == SIZE_MAX) {
        lines_.emplace_back(line, len);
    } else if (keep_) {
        // Trimmed by half the bound at a time, so that keeping costs O(1) per line.
        if (lines_.size() >= 2 * keep_)
            lines_.erase(lines_.begin(), lines_.end() - long(keep_ - 1));
        lines_.emplace_back(line, len);
    }
    if (out_) {
        *p++ = '\n';
        used_ = size_t(p - buf_.get());
        if (used_ >= kBlock)
            flush();
    }
}

void Journal::named(const char *kind, size_t kindLen, const char *name, size_t nameLen,
                    const Fields &f) {
    char *p = begin(kind, kindLen, nameLen + 2 + f.text().size());
    *p++ = '"';
    p = putLiteral(p, name, nameLen);
    *p++ = '"';
    finish(p, f);
}

void Journal::line(const char *kind, const std::string &valueJson, const Fields &f) {
    char *p = begin(kind, std::strlen(kind), valueJson.size() + f.text().size());
    finish(putLiteral(p, valueJson.data(), valueJson.size()), f);
}

std::vector<std::string> Journal::grep(const std::string &needle) const {
    std::vector<std::string> out;
    for (auto &l : lines_)
        if (l.find(needle) != std::string::npos)
            out.push_back(l);
    return out;
}

} // namespace emul
