// The journal: records made by the platform's calls, handed to every subscribed sink in order.
#include "emul/journal.h"

#include "journal/json_format.h"

#include "emul/kernel.h"
#include "emul/text.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace emul {

void TextBuffer::grow(size_t n) {
    size_t cap = std::max(cap_ * 2, size_ + n);
    char *p = new char[cap];
    std::memcpy(p, data_, size_);
    if (data_ != inline_)
        delete[] data_;
    data_ = p;
    cap_ = cap;
}

/* ---- fields ---- */

void Fields::overflow() {
    std::fprintf(stderr, "journal: a record with more than %zu fields\n", kMax);
    std::abort();
}

uint32_t Fields::keep(const void *bytes, size_t n) {
    size_t at = (store_.size() + 3) & ~size_t(3);
    char *p = store_.room(at - store_.size() + n);
    p += at - store_.size();
    if (n)
        std::memcpy(p, bytes, n);
    store_.commit(p + n);
    return uint32_t(at);
}

Fields &Fields::str(const char *name, const char16_t *v) {
    if (!v)
        return null(name);
    size_t n = 0;
    while (v[n])
        ++n;
    uint32_t at = keep(v, 2 * n);
    Field &f = add(name, FieldKind::Text16);
    f.at = at;
    f.len = uint32_t(n);
    bound_ += jsonQuotedBound(n);
    return *this;
}

Fields &Fields::str(const char *name, std::string_view v) {
    uint32_t at = keep(v.data(), v.size());
    Field &f = add(name, FieldKind::Text);
    f.at = at;
    f.len = uint32_t(v.size());
    bound_ += jsonQuotedBound(v.size());
    return *this;
}

Fields &Fields::nums(const char *name, const uint32_t *v, size_t n) {
    uint32_t at = keep(v, 4 * n);
    Field &f = add(name, FieldKind::Numbers);
    f.at = at;
    f.len = uint32_t(n);
    bound_ += 2 + 11 * n;
    return *this;
}

// Texts are kept one after the other, each as its 4-byte length and its bytes.
Fields &Fields::strs(const char *name, const std::vector<std::string> &v) {
    uint32_t at = uint32_t((store_.size() + 3) & ~size_t(3));
    size_t bound = 2;
    for (const std::string &s : v) {
        uint32_t len = uint32_t(s.size());
        keep(&len, 4);
        keep(s.data(), s.size());
        bound += jsonQuotedBound(s.size()) + 1;
    }
    Field &f = add(name, FieldKind::Texts);
    f.at = at;
    f.len = uint32_t(v.size());
    bound_ += bound;
    return *this;
}

void Fields::forEachText(const Field &f, const std::function<void(std::string_view)> &each) const {
    size_t at = f.at;
    for (uint32_t i = 0; i < f.len; ++i) {
        at = (at + 3) & ~size_t(3);
        uint32_t len;
        std::memcpy(&len, store_.data() + at, 4);
        each(std::string_view(store_.data() + at + 4, len));
        at += 4 + len;
    }
}

Fields &Fields::raw(const char *name, std::string_view json) {
    uint32_t at = keep(json.data(), json.size());
    Field &f = add(name, FieldKind::Json);
    f.at = at;
    f.len = uint32_t(json.size());
    bound_ += json.size();
    return *this;
}

/* ---- records ---- */

const Field *Record::find(std::string_view fieldName) const {
    for (const Field &f : fields)
        if (std::string_view(f.name, f.nameLen) == fieldName)
            return &f;
    return nullptr;
}

std::string Record::text(const Field &f) const {
    switch (f.kind) {
    case FieldKind::Text:
    case FieldKind::Plain:
        return std::string(fields.text(f));
    case FieldKind::Text16:
        return utf8(std::u16string(fields.text16(f)));
    case FieldKind::Window:
    case FieldKind::Param: {
        size_t i = size_t(&f - fields.begin());
        if (i < windowNames.size() && !windowNames[i].empty())
            return windowNames[i];
        if (f.kind == FieldKind::Window && f.num == -1)
            return "focus";
        if (f.kind == FieldKind::Window && f.num == 0)
            return "null";
        return std::to_string(f.num);
    }
    default:
        break;
    }
    // Anything else as JSON shows it.
    std::string json(valueBound(fields, windowNames, f), '\0');
    json.resize(size_t(putValue(&json[0], fields, windowNames, f) - json.data()));
    return json;
}

std::string Record::text(std::string_view fieldName) const {
    const Field *f = find(fieldName);
    return f ? text(*f) : std::string();
}

int64_t Record::number(std::string_view fieldName) const {
    const Field *f = find(fieldName);
    return f && (f->kind == FieldKind::Number || f->kind == FieldKind::Bool) ? f->num : 0;
}

/* ---- the journal ---- */

Journal::Journal() {
    sinks_.push_back(&recorder_);
}

Journal::~Journal() {
    flush();
}

void Journal::control(int64_t id, const Fields &f) {
    char digits[24];
    int n = std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(id));
    emit(Head::Control, std::string_view(digits, size_t(n)), f);
}

void Journal::subscribe(JournalSink *sink) {
    if (!ended_ && std::find(sinks_.begin(), sinks_.end(), sink) == sinks_.end())
        sinks_.push_back(sink);
    sinksChanged();
}

void Journal::unsubscribe(JournalSink *sink) {
    sink->flush();
    sinks_.erase(std::remove(sinks_.begin(), sinks_.end(), sink), sinks_.end());
    sinksChanged();
}

void Journal::sinksChanged() {
    held_ = true; // a new sink may hold something back already
    writerOnly_ = sinks_.size() == 1 && sinks_[0] == &writer_;
}

void Journal::end() {
    flush();
    sinks_.clear();
    sinksChanged();
    ended_ = true;
}

void Journal::keepLast(size_t n) {
    recorder_.keepLast(n);
    if (n == 0)
        unsubscribe(&recorder_);
    else
        subscribe(&recorder_);
}

void Journal::tee(std::ostream *out) {
    writer_.setStream(out);
    if (out)
        subscribe(&writer_);
    else
        unsubscribe(&writer_);
}

bool Journal::flushSinks() {
    held_ = false;
    bool wrote = false;
    for (JournalSink *s : sinks_)
        wrote = s->flush() || wrote;
    return wrote;
}

std::vector<std::string> Journal::grep(const std::string &needle) const {
    std::vector<std::string> out;
    for (auto &l : recorder_.lines())
        if (l.find(needle) != std::string::npos)
            out.push_back(l);
    return out;
}

void Journal::resolveWindows(const Fields &f) {
    names_.resize(f.size());
    for (size_t i = 0; i < f.size(); ++i) {
        const Field &w = f[i];
        names_[i].clear();
        bool handle = w.kind == FieldKind::Param ||
                      (w.kind == FieldKind::Window && w.num != 0 && w.num != -1);
        if (handle && namer_)
            names_[i] = namer_(uintptr_t(w.num));
    }
}

} // namespace emul
