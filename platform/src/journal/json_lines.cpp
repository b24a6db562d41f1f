// Records as JSON lines: formatted in place, straight into the block that goes to the stream,
// with no string per field.
#include "emul/journal.h"

#include "emul/text.h"
#include "journal/json_format.h"

#include <algorithm>
#include <charconv>

namespace emul {

namespace {

// Flushed to the stream when the buffer holds this much.
constexpr size_t kBlock = 64 * 1024;

// `{"t":` + a tick + `,"` + head + `":` + `}\n`, with room to spare.
constexpr size_t kLineFrame = 48;

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

// True when no byte of the text needs escaping or checking: printable ASCII other than `"` and
// `\`. Eight bytes at a time, as the names of events and files are mostly such text.
inline bool plainText(const char *s, size_t n) {
    constexpr uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
    auto bad = [](uint64_t w) {
        uint64_t control = (w - 0x20 * ones) & ~w; // a byte below 0x20 (or above 0x7F)
        uint64_t quote = ((w ^ (0x22 * ones)) - ones) & ~(w ^ (0x22 * ones));
        uint64_t slash = ((w ^ (0x5C * ones)) - ones) & ~(w ^ (0x5C * ones));
        return ((control | quote | slash) & highs) | (w & highs);
    };
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t w;
        std::memcpy(&w, s + i, 8);
        if (bad(w))
            return false;
    }
    if (i < n) {
        uint64_t w = 0x2020202020202020ull; // spaces are plain
        std::memcpy(&w, s + i, n - i);
        if (bad(w))
            return false;
    }
    return true;
}

inline char *putText(char *p, std::string_view s) {
    if (!plainText(s.data(), s.size()))
        return putJsonQuoted(p, s.data(), s.size());
    *p++ = '"';
    p = putLiteral(p, s.data(), s.size());
    *p++ = '"';
    return p;
}

inline char *putNumber(char *p, int64_t v) {
    return std::to_chars(p, p + 21, v).ptr;
}

const std::string &windowName(const Record &r, const Field &f) {
    static const std::string none;
    size_t i = size_t(&f - r.fields.begin());
    return i < r.windowNames.size() ? r.windowNames[i] : none;
}

size_t textsBound(const Record &r, const Field &f) {
    size_t n = 2;
    r.fields.forEachText(f, [&](std::string_view s) { n += jsonQuotedBound(s.size()) + 1; });
    return n;
}

// The head's name: a call's or event's name is an identifier of the platform and needs no
// quoting rules; a dumped key's path does; a control's id is a number.
char *putName(char *p, const Record &r) {
    if (r.nameIsNumber)
        return putLiteral(p, r.name.data(), r.name.size());
    if (r.head[0] == 'd')
        return putText(p, r.name);
    *p++ = '"';
    p = putLiteral(p, r.name.data(), r.name.size());
    *p++ = '"';
    return p;
}

__attribute__((always_inline)) inline char *putFields(char *p, const Record &r) {
    for (const Field &f : r.fields) {
        *p++ = ',';
        *p++ = '"';
        p = putLiteral(p, f.name, f.nameLen);
        *p++ = '"';
        *p++ = ':';
        if (f.kind == FieldKind::Number)
            p = putNumber(p, f.num);
        else
            p = putValue(p, r, f);
    }
    return p;
}

__attribute__((always_inline)) inline size_t fieldsBound(const Record &r) {
    size_t n = 0;
    for (const Field &f : r.fields) {
        n += f.nameLen + 4;
        if (f.kind == FieldKind::Number)
            n += 21;
        else if (f.kind == FieldKind::Text)
            n += jsonQuotedBound(f.len);
        else
            n += valueBound(r, f);
    }
    return n;
}

size_t nameBound(const Record &r) {
    return jsonQuotedBound(r.name.size());
}

} // namespace

size_t valueBound(const Record &r, const Field &f) {
    switch (f.kind) {
    case FieldKind::Number:
    case FieldKind::Bool:
    case FieldKind::Null:
        return 21;
    case FieldKind::Text:
    case FieldKind::Text16:
        return jsonQuotedBound(f.len);
    case FieldKind::Numbers:
        return 2 + 11 * size_t(f.len);
    case FieldKind::Texts:
        return textsBound(r, f);
    case FieldKind::Window:
    case FieldKind::Param:
        return std::max<size_t>(21, jsonQuotedBound(windowName(r, f).size()));
    case FieldKind::Json:
        return f.len;
    }
    return 0;
}

char *putValue(char *p, const Record &r, const Field &f) {
    switch (f.kind) {
    case FieldKind::Number:
        return putNumber(p, f.num);
    case FieldKind::Bool:
        return f.num ? putLiteral(p, "true", 4) : putLiteral(p, "false", 5);
    case FieldKind::Null:
        return putLiteral(p, "null", 4);
    case FieldKind::Text:
        return putText(p, r.fields.text(f));
    case FieldKind::Text16: {
        std::u16string_view s = r.fields.text16(f);
        return putJsonQuoted(p, s.data(), s.size());
    }
    case FieldKind::Numbers:
        *p++ = '[';
        for (uint32_t i = 0; i < f.len; ++i) {
            if (i)
                *p++ = ',';
            p = putNumber(p, r.fields.number(f, i));
        }
        *p++ = ']';
        return p;
    case FieldKind::Texts: {
        *p++ = '[';
        bool first = true;
        r.fields.forEachText(f, [&](std::string_view s) {
            if (!first)
                *p++ = ',';
            first = false;
            p = putJsonQuoted(p, s.data(), s.size());
        });
        *p++ = ']';
        return p;
    }
    case FieldKind::Window:
    case FieldKind::Param: {
        if (f.kind == FieldKind::Window && f.num == 0)
            return putLiteral(p, "null", 4);
        if (f.kind == FieldKind::Window && f.num == -1)
            return putLiteral(p, "\"focus\"", 7);
        const std::string &name = windowName(r, f);
        if (name.empty())
            return putNumber(p, f.num);
        return putJsonQuoted(p, name.data(), name.size());
    }
    case FieldKind::Json: {
        std::string_view s = r.fields.text(f);
        return putLiteral(p, s.data(), s.size());
    }
    }
    return p;
}

size_t jsonBound(const Record &r) {
    return kLineFrame + std::strlen(r.head) + nameBound(r) + fieldsBound(r);
}

char *putJson(char *p, const Record &r) {
    p = putLiteral(p, "{\"t\":", 5);
    p = putNumber(p, r.t);
    *p++ = ',';
    *p++ = '"';
    p = putLiteral(p, r.head, std::strlen(r.head));
    *p++ = '"';
    *p++ = ':';
    p = putName(p, r);
    p = putFields(p, r);
    *p++ = '}';
    return p;
}

std::string toJson(const Record &r) {
    std::string s(jsonBound(r), '\0');
    s.resize(size_t(putJson(&s[0], r) - s.data()));
    return s;
}

/* ---- the writer ---- */

void JsonLinesWriter::record(const Record &r) {
    if (!out_)
        return;
    size_t headLen = std::strlen(r.head);
    size_t need = kLineFrame + headLen + nameBound(r) + fieldsBound(r);
    if (cap_ - used_ < need) {
        size_t cap = std::max({cap_ * 2, kBlock + kBlock / 2, used_ + need});
        std::unique_ptr<char[]> b(new char[cap]);
        if (used_)
            std::memcpy(b.get(), buf_.get(), used_);
        buf_ = std::move(b);
        cap_ = cap;
    }
    if (r.t != prefixTick_ || !prefixLen_) {
        char *e = putLiteral(prefix_, "{\"t\":", 5);
        e = putNumber(e, r.t);
        *e++ = ',';
        *e++ = '"';
        prefixLen_ = size_t(e - prefix_);
        prefixTick_ = r.t;
    }
    char *p = putLiteral(buf_.get() + used_, prefix_, prefixLen_);
    p = putLiteral(p, r.head, headLen);
    *p++ = '"';
    *p++ = ':';
    p = putName(p, r);
    p = putFields(p, r);
    *p++ = '}';
    *p++ = '\n';
    used_ = size_t(p - buf_.get());
    if (used_ >= kBlock)
        flush();
}

bool JsonLinesWriter::flushBlock() {
    bool wrote = out_ && used_;
    if (wrote) {
        out_->write(buf_.get(), std::streamsize(used_));
        out_->flush();
    }
    used_ = 0;
    return wrote;
}

/* ---- the recorder ---- */

void JournalRecorder::record(const Record &r) {
    if (keep_ == 0)
        return;
    // Trimmed by half the bound at a time, so that keeping costs O(1) per line.
    if (keep_ != SIZE_MAX && lines_.size() >= 2 * keep_)
        lines_.erase(lines_.begin(), lines_.end() - long(keep_ - 1));
    lines_.push_back(toJson(r));
}

void JournalRecorder::keepLast(size_t n) {
    keep_ = n;
    if (lines_.size() > keep_)
        lines_.erase(lines_.begin(), lines_.end() - long(keep_));
}

} // namespace emul
