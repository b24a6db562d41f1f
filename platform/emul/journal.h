// The journal: what the device did, in order, as records. A record is a call of the platform
// (or an event, a dump of a key, a control's state) with its fields; sinks subscribe to the
// records and make of them what they need: JSON lines for a stream, the lines kept in memory,
// readable lines for a screen, a compact form for tests.
#pragma once

#include "emul/kernel.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace emul {

class Kernel;

// Bytes kept in place: a buffer of its own that goes to the heap only for long contents.
// Writers ask for room first (`room`), write through the pointer, then `commit`.
class TextBuffer {
  public:
    TextBuffer() noexcept {} // user-provided: a value-initialised one clears no bytes
    TextBuffer(const TextBuffer &o) { append(o.data_, o.size_); }
    TextBuffer &operator=(const TextBuffer &o) {
        if (this != &o) {
            size_ = 0;
            append(o.data_, o.size_);
        }
        return *this;
    }
    ~TextBuffer() {
        if (data_ != inline_)
            delete[] data_;
    }
    const char *data() const { return data_; }
    size_t size() const { return size_; }
    void clear() { size_ = 0; }
    char *room(size_t n) {
        if (cap_ - size_ < n)
            grow(n);
        return data_ + size_;
    }
    void commit(char *end) { size_ = size_t(end - data_); }
    void append(const void *s, size_t n) {
        char *p = room(n);
        std::memcpy(p, s, n);
        size_ += n;
    }

  private:
    void grow(size_t n);
    char inline_[192];
    char *data_ = inline_;
    size_t size_ = 0, cap_ = sizeof inline_;
};

enum class FieldKind : uint8_t {
    Number,
    Bool,
    Null,
    Text,    // UTF-8 (invalid bytes are written as U+FFFD)
    Text16,  // UTF-16 (an unpaired surrogate is written as U+FFFD)
    Numbers, // an array of unsigned 32-bit numbers
    Texts,   // an array of UTF-8 texts
    Window,  // a window handle: its name, "focus" for (HWND)-1, null for 0
    Param,   // a message parameter that is a window: its name when one lives, else the number
    Json,    // already JSON
    Plain,   // UTF-8 that needs no escaping, referenced where it stands
};

// One field of a record. Texts and arrays are kept in the record's storage, at `at`.
struct Field {
    static constexpr size_t kShortName = 12;
    const char *name;
    uint32_t nameLen;
    FieldKind kind;
    uint32_t len; // bytes of Text, Json and Plain, units of Text16, entries of Numbers and Texts
    union {
        int64_t num;      // Number, Bool, Window, Param
        uint32_t at;      // Text, Text16, Numbers, Texts, Json
        const char *text; // Plain
    };
    // A short name as JSON writes it after the field before: `,"name":`, made where the name's
    // length is known, so that the writer copies a fixed 16 bytes.
    char key[16];
};

// True when the text can stand in JSON quotes as it is: printable ASCII other than `"` and `\`.
bool isPlainText(std::string_view text);

// The fields of one record, in the order they are added. Field names are the platform's own
// identifiers and are written as they stand; values are copied, so a field may be made from a
// temporary.
class Fields {
  public:
    static constexpr size_t kMax = 32; // the most a call has (SetCommState: every DCB field)
    Fields() noexcept {}
    Fields(const Fields &) = delete;
    Fields &operator=(const Fields &) = delete;

    // Inline at the call, where a literal name's length is known.
    Fields &num(const char *name, int64_t v) {
        Field &f = add(name, FieldKind::Number);
        f.num = v;
        bound_ += 21;
        return *this;
    }
    Fields &str(const char *name, const char16_t *v); // null pointer -> null
    Fields &str(const char *name, std::string_view utf8Text);
    Fields &str(const char *name, const std::string &utf8Text) {
        return str(name, std::string_view(utf8Text));
    }
    Fields &str(const char *name, const char *utf8Text) {
        return str(name, std::string_view(utf8Text));
    }
    Fields &boolean(const char *name, bool v) {
        add(name, FieldKind::Bool).num = v;
        bound_ += 5;
        return *this;
    }
    Fields &null(const char *name) {
        add(name, FieldKind::Null).num = 0;
        bound_ += 4;
        return *this;
    }
    // A text that isPlainText() has passed and that outlives the record (the name of a kernel
    // object, say): referenced rather than copied.
    Fields &plain(const char *name, std::string_view text) {
        Field &f = add(name, FieldKind::Plain);
        f.text = text.data();
        f.len = uint32_t(text.size());
        bound_ += text.size() + 2;
        return *this;
    }
    Fields &nums(const char *name, const uint32_t *v, size_t n);
    Fields &strs(const char *name, const std::vector<std::string> &utf8Texts);
    Fields &raw(const char *name, std::string_view json);
    // A window handle: the window's name, "focus" for (HWND)-1, null for 0.
    Fields &hwnd(const char *name, uintptr_t h) {
        add(name, FieldKind::Window).num = int64_t(h);
        windows_ = windows_ || (h != 0 && h != uintptr_t(-1));
        bound_ += 21;
        return *this;
    }
    // A message parameter: when the message defines it as a window, the window's name if one
    // lives at that handle; a number otherwise.
    Fields &param(const char *name, int64_t v, bool window) {
        add(name, window && v ? FieldKind::Param : FieldKind::Number).num = v;
        windows_ = windows_ || (window && v);
        bound_ += 21;
        return *this;
    }

    size_t size() const { return n_; }
    const Field &operator[](size_t i) const { return f_[i]; }
    const Field *begin() const { return f_; }
    const Field *end() const { return f_ + n_; }
    // True when a field names a live window by handle, whose name the journal looks up.
    bool hasWindows() const { return windows_; }
    // Bytes the fields may take as JSON, with their names; window names not counted.
    size_t bound() const { return bound_; }
    // A field's text (Text, Json, Plain) or its UTF-16 units (Text16).
    std::string_view text(const Field &f) const {
        if (f.kind == FieldKind::Plain)
            return {f.text, f.len};
        return {store_.data() + f.at, f.len};
    }
    std::u16string_view text16(const Field &f) const {
        return {reinterpret_cast<const char16_t *>(store_.data() + f.at), f.len};
    }
    // Entry i of Numbers.
    uint32_t number(const Field &f, size_t i) const {
        uint32_t v;
        std::memcpy(&v, store_.data() + f.at + 4 * i, 4);
        return v;
    }
    // Entries of Texts, in order: calls `each` with each text.
    void forEachText(const Field &f, const std::function<void(std::string_view)> &each) const;

  private:
    Field &add(const char *name, FieldKind kind) {
        if (n_ == kMax)
            overflow();
        Field &f = f_[n_++];
        f.name = name;
        f.nameLen = uint32_t(std::strlen(name));
        if (f.nameLen <= Field::kShortName) {
            f.key[0] = ',';
            f.key[1] = '"';
            std::memcpy(f.key + 2, name, f.nameLen);
            f.key[f.nameLen + 2] = '"';
            f.key[f.nameLen + 3] = ':';
        }
        f.kind = kind;
        f.len = 0;
        bound_ += f.nameLen + 4;
        return f;
    }
    [[noreturn]] static void overflow();
    uint32_t keep(const void *bytes, size_t n); // into the storage, 4-byte aligned; its offset
    Field f_[kMax];
    uint8_t n_ = 0;
    bool windows_ = false;
    size_t bound_ = 0;
    TextBuffer store_;
};

using WindowNames = std::vector<std::string>;

// What a record is: a call of the platform or an event, named by an identifier of the platform;
// a dump of a key, named by its path; a control's state, named by its id (a number).
enum class Head : uint8_t { Call, Event, Dump, Control };

// One thing the device did. `head` says what: "call", "event", "dump" or "control", with the
// call's or event's name, the dumped key's path or the control's id.
struct Record {
    uint32_t t; // device time (GetTickCount) when it happened
    Head kind;
    std::string_view head; // "call", "event", "dump", "control"
    std::string_view name;
    const Fields &fields;
    // The names of the windows in Window and Param fields, by field index ("" for a handle that
    // is no live window); empty when the record has none.
    const WindowNames &windowNames;

    // The field of that name, or null.
    const Field *find(std::string_view fieldName) const;
    // A field as people read it: a text as it is, a window by name, anything else as in JSON.
    std::string text(const Field &f) const;
    std::string text(std::string_view fieldName) const; // "" when absent
    int64_t number(std::string_view fieldName) const;   // 0 when absent or not a number
    bool isCall(std::string_view callName) const { return head == "call" && name == callName; }
};

// Whatever subscribes to the journal.
class JournalSink {
  public:
    virtual ~JournalSink() = default;
    virtual void record(const Record &r) = 0;
    // Passes on what it holds back; true when something went out.
    virtual bool flush() { return false; }
};

// One record as a JSON object (no newline): at most jsonBound(r) bytes at `p`; returns the end.
size_t jsonBound(const Record &r);
char *putJson(char *p, const Record &r);
std::string toJson(const Record &r);

// Writes the records as JSON lines to a stream, in blocks.
class JsonLinesWriter final : public JournalSink {
  public:
    explicit JsonLinesWriter(std::ostream *out = nullptr) : out_(out) {}
    ~JsonLinesWriter() override { flush(); }
    void setStream(std::ostream *out) {
        flush();
        out_ = out;
    }
    std::ostream *stream() const { return out_; }
    void record(const Record &r) override;
    bool flush() override { return used_ != 0 && flushBlock(); }

  private:
    friend class Journal; // which writes to it directly when it is the only sink
    void write(uint32_t t, Head kind, std::string_view name, const Fields &fs,
               const WindowNames &names);
    void grow(size_t need);
    bool flushBlock();
    std::ostream *out_;
    std::unique_ptr<char[]> buf_;
    size_t used_ = 0, cap_ = 0;
    // `{"t":N,"head":` for the last tick and head seen: most lines share them with the one
    // before.
    uint32_t prefixTick_ = 0;
    Head prefixHead_ = Head::Call;
    char prefix_[32] = {};
    size_t prefixLen_ = 0;
};

// Keeps the records as JSON lines in memory: all of them, or the most recent ones.
class JournalRecorder final : public JournalSink {
  public:
    void record(const Record &r) override;
    const std::vector<std::string> &lines() const { return lines_; }
    void clear() { lines_.clear(); }
    // Only the last `n` lines stay (at least n of them, at most 2n); SIZE_MAX: all.
    void keepLast(size_t n);
    size_t kept() const { return keep_; }

  private:
    std::vector<std::string> lines_;
    size_t keep_ = SIZE_MAX;
};

class Journal {
  public:
    // How the journal names a live window; "" means the handle is no window.
    using WindowNamer = std::function<std::string(uintptr_t)>;

    Journal();
    ~Journal();
    Journal(const Journal &) = delete;
    Journal &operator=(const Journal &) = delete;

    // Set by the device: the clock that stamps the records and the window namer.
    void setClock(const Kernel *clock) { clock_ = clock; }
    void setWindowNamer(WindowNamer namer) { namer_ = std::move(namer); }

    // {"t":..,"call":name,...} and {"t":..,"event":name,...}
    void call(const char *name, const Fields &f) { emit(Head::Call, name, f); }
    void event(const char *name, const Fields &f) { emit(Head::Event, name, f); }
    // {"t":..,"dump":path,...} and {"t":..,"control":id,...}
    void dump(std::string_view path, const Fields &f) { emit(Head::Dump, path, f); }
    void control(int64_t id, const Fields &f);

    // Sinks get every record from their subscription on, in order; a sink is not owned.
    void subscribe(JournalSink *sink);
    void unsubscribe(JournalSink *sink);
    // The device's end: what is held back goes out, and records made after it go nowhere.
    void end();
    bool ended() const { return ended_; }

    // What every device has ready: a recorder that keeps all lines unless told otherwise, and
    // a writer of JSON lines to a stream.
    const std::vector<std::string> &lines() const { return recorder_.lines(); }
    void clear() { recorder_.clear(); }
    // Bounds the memory of a long run: only the last `n` lines stay (0: none).
    void keepLast(size_t n);
    // Lines also go to this stream (handheld play, live), written in blocks; may be null.
    // Whatever is buffered goes out when the buffer fills, on flush(), and before the stream
    // is replaced; the device flushes before it waits in real time and at its end.
    void tee(std::ostream *out);
    std::ostream *stream() const { return writer_.stream(); }
    // True when something went out. Asked whenever a thread's turn ends in real time: with no
    // record since the last flush nothing can be held back, and the sinks are not looked at.
    bool flush() { return held_ && flushSinks(); }
    uint64_t written() const { return written_.value(); } // records journaled since the start
    // The same as a count that a wake condition can name (see Kernel::block).
    const ChangeCount &records() const { return written_; }
    // Only the kept lines that contain `needle` (test helper).
    std::vector<std::string> grep(const std::string &needle) const;

  private:
    void emit(Head kind, std::string_view name, const Fields &f);
    void resolveWindows(const Fields &f);
    void sinksChanged();
    bool flushSinks();
    bool held_ = false; // a record came, or a sink was subscribed, since the last flush
    OwnedChangeCount<Journal> written_;
    const Kernel *clock_ = nullptr;
    WindowNamer namer_;
    std::vector<JournalSink *> sinks_;
    std::vector<std::string> names_; // window names of the record at hand
    JournalRecorder recorder_;
    JsonLinesWriter writer_;
    bool writerOnly_ = false; // the writer is the one sink: records go to it directly
    bool ended_ = false;
};

// A sink subscribed to a journal for as long as this lives.
class Subscription {
  public:
    Subscription(Journal &journal, JournalSink &sink) : journal_(journal), sink_(sink) {
        journal_.subscribe(&sink_);
    }
    ~Subscription() { journal_.unsubscribe(&sink_); }
    Subscription(const Subscription &) = delete;
    Subscription &operator=(const Subscription &) = delete;

  private:
    Journal &journal_;
    JournalSink &sink_;
};

} // namespace emul
