// The journal: one JSON object per line, in the order things happened on the device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace emul {

// Builder for the fields of one journal line, kept in the order they are added.
class Fields {
  public:
    Fields();
    ~Fields();
    Fields(const Fields &) = default;
    Fields &operator=(const Fields &) = default;
    Fields &num(const char *name, int64_t v);
    Fields &str(const char *name, const char16_t *v); // null pointer -> null
    Fields &str(const char *name, const std::string &utf8Text);
    Fields &boolean(const char *name, bool v);
    Fields &null(const char *name);
    Fields &raw(const char *name, const std::string &json); // already JSON
    // A window handle: the window's name, "focus" for (HWND)-1, null for 0.
    Fields &hwnd(const char *name, uintptr_t h);
    // A number, unless it is the handle of a live window (then that window's name).
    Fields &numOrWindow(const char *name, int64_t v);
    const std::string &text() const { return text_; }

  private:
    void key(const char *name);
    std::string text_;
};

class Journal {
  public:
    Journal();
    ~Journal();
    Journal(const Journal &) = delete;
    Journal &operator=(const Journal &) = delete;
    // The window system tells the journal how to name a live window; "" means not a window.
    std::function<std::string(uintptr_t)> windowName;
    std::function<uint32_t()> clock; // GetTickCount

    void call(const char *name, const Fields &f);  // {"t":..,"call":name,...}
    void event(const char *name, const Fields &f); // {"t":..,"event":name,...}
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
    void flush();
    uint64_t written() const { return written_; } // lines journaled since the start
    // Only lines that contain `needle` (test helper).
    std::vector<std::string> grep(const std::string &needle) const;

  private:
    std::string &begin(const char *kind);
    void finish(std::string &s, const Fields &f);
    std::string line_; // the line being formatted without a stream, reused
    size_t lineStart_ = 0;
    std::string out_buf_;
    std::vector<std::string> lines_;
    size_t keep_ = SIZE_MAX;
    std::ostream *out_ = nullptr;
    uint64_t written_ = 0;
};

} // namespace emul
