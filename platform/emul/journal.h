// The journal: one JSON object per line, in the order things happened on the device.
#pragma once

#include <charconv>
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

// Text formatted in place: a buffer of its own that goes to the heap only for long text.
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
    void append(const char *s, size_t n) {
        char *p = room(n);
        std::memcpy(p, s, n);
        size_ += n;
    }

  private:
    void grow(size_t n);
    char inline_[224];
    char *data_ = inline_;
    size_t size_ = 0, cap_ = sizeof inline_;
};

// Builder for the fields of one journal line, kept in the order they are added. Field names
// are the platform's own identifiers and are written as they stand.
class Fields {
  public:
    Fields() noexcept {}
    // Inline at the call, where a literal name's length is known.
    __attribute__((always_inline)) Fields &num(const char *name, int64_t v) {
        char *p = key(name, 21);
        p = putNumber(p, v);
        text_.commit(p);
        return *this;
    }
    Fields &str(const char *name, const char16_t *v); // null pointer -> null
    Fields &str(const char *name, const std::string &utf8Text);
    Fields &boolean(const char *name, bool v);
    Fields &null(const char *name);
    // Already JSON.
    __attribute__((always_inline)) Fields &raw(const char *name, const std::string &json) {
        char *p = key(name, json.size());
        std::memcpy(p, json.data(), json.size());
        text_.commit(p + json.size());
        return *this;
    }
    // A window handle: the window's name, "focus" for (HWND)-1, null for 0.
    Fields &hwnd(const char *name, uintptr_t h);
    // A number, unless it is the handle of a live window (then that window's name).
    Fields &numOrWindow(const char *name, int64_t v);
    std::string_view text() const { return {text_.data(), text_.size()}; }

    static char *putNumber(char *p, int64_t v) { return std::to_chars(p, p + 21, v).ptr; }

  private:
    // Writes `,"name":` and leaves room for `more` bytes after it.
    __attribute__((always_inline)) char *key(const char *name, size_t more) {
        size_t n = std::strlen(name);
        char *p = text_.room(n + 4 + more);
        *p++ = ',';
        *p++ = '"';
        std::memcpy(p, name, n);
        p += n;
        *p++ = '"';
        *p++ = ':';
        return p;
    }
    TextBuffer text_;
};

class Journal {
  public:
    Journal();
    ~Journal();
    Journal(const Journal &) = delete;
    Journal &operator=(const Journal &) = delete;
    // The window system tells the journal how to name a live window; "" means not a window.
    std::function<std::string(uintptr_t)> windowName;
    const Kernel *clock = nullptr; // its GetTickCount stamps the lines

    // {"t":..,"call":name,...} and {"t":..,"event":name,...}
    __attribute__((always_inline)) void call(const char *name, const Fields &f) {
        named("call", 4, name, std::strlen(name), f);
    }
    __attribute__((always_inline)) void event(const char *name, const Fields &f) {
        named("event", 5, name, std::strlen(name), f);
    }
    void line(const char *kind, const std::string &valueJson,
              const Fields &f); // {"t":..,kind:value,...}

    // The lines kept in memory: all of them, or since keepLast(n) the most recent ones (at
    // least n of them, at most 2n).
    const std::vector<std::string> &lines() const { return lines_; }
    void clear() { lines_.clear(); }
    // Bounds the memory of a long run: only the last `n` lines stay (0: none).
    void keepLast(size_t n);
    // Lines also go to this stream (handheld play, live), written in blocks; may be null.
    // Whatever is buffered goes out when the buffer fills, on flush(), and before the stream
    // is replaced; the device flushes before it waits in real time and at its end.
    void tee(std::ostream *out);
    std::ostream *stream() const { return out_; }
    // True when something went to the stream. Asked before every idle wait: with nothing
    // buffered it returns at once.
    bool flush() { return used_ != 0 && flushBuffered(); }
    uint64_t written() const { return written_; } // lines journaled since the start
    // Only lines that contain `needle` (test helper).
    std::vector<std::string> grep(const std::string &needle) const;

  private:
    bool flushBuffered();
    void named(const char *kind, size_t kindLen, const char *name, size_t nameLen, const Fields &f);
    // Starts a line: `{"t":..,"kind":` with room for `more` bytes after it.
    char *begin(const char *kind, size_t kindLen, size_t more);
    void finish(char *p, const Fields &f);
    // The lines being formatted: with a stream, the block that goes to it; without one, the
    // current line only.
    std::unique_ptr<char[]> buf_;
    // `{"t":N,"` for the last tick seen: most lines share their tick with the one before.
    uint32_t prefixTick_ = 0;
    char prefix_[24] = {};
    size_t prefixLen_ = 0;
    size_t used_ = 0, cap_ = 0, lineStart_ = 0;
    std::vector<std::string> lines_;
    size_t keep_ = SIZE_MAX;
    std::ostream *out_ = nullptr;
    uint64_t written_ = 0;
};

} // namespace emul
