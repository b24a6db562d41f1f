// Records as JSON lines: formatted in place, straight into the block that goes to the stream,
// with no string per field.
#include "emul/journal.h"

#include "emul/kernel.h"
#include "emul/text.h"
#include "journal/json_format.h"

#include <algorithm>
#include <charconv>

namespace emul {

namespace {

constexpr std::string_view kHeads[] = {"call", "event", "dump", "control"};
constexpr size_t kMaxHead = 7;

// Flushed to the stream when the buffer holds this much.
constexpr size_t kBlock = 64 * 1024;

// `{"t":` + a tick + `,"` + head + `":` + `}\n`, with room to spare for the fixed copies of
// field names and of the writer's line start.
constexpr size_t kLineFrame = 48;

__attribute__((always_inline)) inline char *putLiteral(char *p, const char *s, size_t n) {
    // Most pieces of a line are short: copied inline rather than through a call.
    if (n <= 32) {
        if (n >= 16) {
            char a[16], b[16];
            std::memcpy(a, s, 16);
            std::memcpy(b, s + n - 16, 16);
            std::memcpy(p, a, 16);
            std::memcpy(p + n - 16, b, 16);
        } else if (n >= 8) {
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

__attribute__((always_inline)) inline char *putNumber(char *p, int64_t v) {
    // Most numbers in a line are flags, codes and keys: one or two digits.
    if (uint64_t(v) < 10) {
        *p = char('0' + v);
        return p + 1;
    }
    if (uint64_t(v) < 100) {
        p[0] = char('0' + v / 10);
        p[1] = char('0' + v % 10);
        return p + 2;
    }
    return std::to_chars(p, p + 21, v).ptr;
}

const std::string &windowName(const Fields &fs, const WindowNames &names, const Field &f) {
    static const std::string none;
    size_t i = size_t(&f - fs.begin());
    return i < names.size() ? names[i] : none;
}

size_t textsBound(const Fields &fs, const Field &f) {
    size_t n = 2;
    fs.forEachText(f, [&](std::string_view s) { n += jsonQuotedBound(s.size()) + 1; });
    return n;
}

// The head's name: a call's or event's name is an identifier of the platform and needs no
// quoting rules; a dumped key's path does; a control's id is a number.
__attribute__((always_inline)) inline char *putName(char *p, Head kind, std::string_view name) {
    if (kind == Head::Call || kind == Head::Event) {
        *p++ = '"';
        p = putLiteral(p, name.data(), name.size());
        *p++ = '"';
        return p;
    }
    if (kind == Head::Control)
        return putLiteral(p, name.data(), name.size());
    return putText(p, name);
}

// Writes 16 bytes at `p` for a short name: the bound of a line leaves room for that.
__attribute__((always_inline)) inline char *putFields(char *p, const Fields &fs,
                                                      const WindowNames &names) {
    for (const Field &f : fs) {
        if (f.nameLen <= Field::kShortName) {
            std::memcpy(p, f.key, sizeof f.key);
            p += f.nameLen + 4;
        } else {
            *p++ = ',';
            *p++ = '"';
            p = putLiteral(p, f.name, f.nameLen);
            *p++ = '"';
            *p++ = ':';
        }
        if (f.kind == FieldKind::Number) {
            p = putNumber(p, f.num);
        } else if (f.kind == FieldKind::Plain) {
            *p++ = '"';
            p = putLiteral(p, f.text, f.len);
            *p++ = '"';
        } else {
            p = putValue(p, fs, names, f);
        }
    }
    return p;
}

// The fields count their own bound as they are made, but for the names of windows.
__attribute__((always_inline)) inline size_t fieldsBound(const Fields &fs,
                                                         const WindowNames &names) {
    size_t n = fs.bound();
    if (fs.hasWindows())
        for (const Field &f : fs)
            if (f.kind == FieldKind::Window || f.kind == FieldKind::Param)
                n += jsonQuotedBound(windowName(fs, names, f).size());
    return n;
}

__attribute__((always_inline)) inline size_t nameBound(std::string_view name) {
    return jsonQuotedBound(name.size());
}

} // namespace

size_t valueBound(const Fields &fs, const WindowNames &names, const Field &f) {
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
        return textsBound(fs, f);
    case FieldKind::Window:
    case FieldKind::Param:
        return std::max<size_t>(21, jsonQuotedBound(windowName(fs, names, f).size()));
    case FieldKind::Json:
        return f.len;
    case FieldKind::Plain:
        return size_t(f.len) + 2;
    }
    return 0;
}

char *putValue(char *p, const Fields &fs, const WindowNames &names, const Field &f) {
    switch (f.kind) {
    case FieldKind::Number:
        return putNumber(p, f.num);
    case FieldKind::Bool:
        return f.num ? putLiteral(p, "true", 4) : putLiteral(p, "false", 5);
    case FieldKind::Null:
        return putLiteral(p, "null", 4);
    case FieldKind::Text:
        return putText(p, fs.text(f));
    case FieldKind::Text16: {
        std::u16string_view s = fs.text16(f);
        return putJsonQuoted(p, s.data(), s.size());
    }
    case FieldKind::Numbers:
        *p++ = '[';
        for (uint32_t i = 0; i < f.len; ++i) {
            if (i)
                *p++ = ',';
            p = putNumber(p, fs.number(f, i));
        }
        *p++ = ']';
        return p;
    case FieldKind::Texts: {
        *p++ = '[';
        bool first = true;
        fs.forEachText(f, [&](std::string_view s) {
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
        const std::string &name = windowName(fs, names, f);
        if (name.empty())
            return putNumber(p, f.num);
        return putJsonQuoted(p, name.data(), name.size());
    }
    case FieldKind::Json: {
        std::string_view s = fs.text(f);
        return putLiteral(p, s.data(), s.size());
    }
    case FieldKind::Plain:
        *p++ = '"';
        p = putLiteral(p, f.text, f.len);
        *p++ = '"';
        return p;
    }
    return p;
}

bool isPlainText(std::string_view text) {
    return plainText(text.data(), text.size());
}

__attribute__((always_inline)) inline size_t lineBound(std::string_view name, const Fields &fs,
                                                       const WindowNames &names) {
    return kLineFrame + kMaxHead + nameBound(name) + fieldsBound(fs, names);
}

size_t jsonBound(const Record &r) {
    return lineBound(r.name, r.fields, r.windowNames);
}

char *putJson(char *p, const Record &r) {
    p = putLiteral(p, "{\"t\":", 5);
    p = putNumber(p, r.t);
    *p++ = ',';
    *p++ = '"';
    p = putLiteral(p, r.head.data(), r.head.size());
    *p++ = '"';
    *p++ = ':';
    p = putName(p, r.kind, r.name);
    p = putFields(p, r.fields, r.windowNames);
    *p++ = '}';
    return p;
}

std::string toJson(const Record &r) {
    std::string s(jsonBound(r), '\0');
    s.resize(size_t(putJson(&s[0], r) - s.data()));
    return s;
}

/* ---- the writer ---- */

__attribute__((always_inline)) inline void JsonLinesWriter::write(uint32_t t, Head kind,
                                                                  std::string_view name,
                                                                  const Fields &fs,
                                                                  const WindowNames &names) {
    if (!out_)
        return;
    size_t need = lineBound(name, fs, names) + sizeof prefix_;
    if (cap_ - used_ < need)
        grow(need);
    // `{"t":N,"head":` is the same for most lines in a row: made once and copied whole.
    if (t != prefixTick_ || kind != prefixHead_ || !prefixLen_) {
        std::string_view head = kHeads[size_t(kind)];
        char *e = putLiteral(prefix_, "{\"t\":", 5);
        e = putNumber(e, t);
        *e++ = ',';
        *e++ = '"';
        e = putLiteral(e, head.data(), head.size());
        *e++ = '"';
        *e++ = ':';
        prefixLen_ = size_t(e - prefix_);
        prefixTick_ = t;
        prefixHead_ = kind;
    }
    char *p = buf_.get() + used_;
    std::memcpy(p, prefix_, sizeof prefix_);
    p = putName(p + prefixLen_, kind, name);
    p = putFields(p, fs, names);
    *p++ = '}';
    *p++ = '\n';
    used_ = size_t(p - buf_.get());
    if (used_ >= kBlock)
        flush();
}

void JsonLinesWriter::record(const Record &r) {
    write(r.t, r.kind, r.name, r.fields, r.windowNames);
}

void JsonLinesWriter::grow(size_t need) {
    size_t cap = std::max({cap_ * 2, kBlock + kBlock / 2, used_ + need});
    std::unique_ptr<char[]> b(new char[cap]);
    if (used_)
        std::memcpy(b.get(), buf_.get(), used_);
    buf_ = std::move(b);
    cap_ = cap;
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

/* ---- the journal's dispatch, here so that the writer's formatting inlines into it ---- */

namespace {
const WindowNames noNames;
} // namespace

void Journal::emit(Head kind, std::string_view name, const Fields &f) {
    written_.bump();
    held_ = true;
    if (sinks_.empty())
        return;
    if (f.hasWindows())
        resolveWindows(f);
    uint32_t t = clock_ ? clock_->tick() : 0;
    const WindowNames &names = f.hasWindows() ? names_ : noNames;
    // A device that only writes its journal (handheld play, live) spends nothing on dispatch.
    if (writerOnly_) {
        writer_.write(t, kind, name, f, names);
        return;
    }
    Record r{t, kind, kHeads[size_t(kind)], name, f, names};
    for (JournalSink *s : sinks_)
        s->record(r);
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
