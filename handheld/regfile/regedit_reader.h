// Reading registry files as Windows' registry editor writes them: REGEDIT4 (text in the
// device's ANSI code page in hex form) and "Windows Registry Editor Version 5.00" (UTF-16), in
// UTF-8, ANSI or UTF-16 with its byte-order mark, with any line ends.
#pragma once

#include "emul/registry.h"

#include <cstddef>
#include <functional>
#include <string>

namespace handheld {

// Files larger than this are refused before they are read whole: far above any real one.
constexpr size_t kRegFileLimit = 64u << 20;
extern const char *const kRegFileLimitText; // "64 MB"

struct RegFileStep {
    enum Kind { createKey, deleteKey, setValue, deleteValue } kind;
    std::u16string key, name; // key relative to HKEY_LOCAL_MACHINE
    emul::RegValue value;
};

// Reads the file's bytes, handing each change to `step` in the file's order. False with
// "line N: what is wrong" at the first line that is not valid; false with `error` left empty
// when `step` returns false. Lines that Windows' editor ignores (a key with a space after its
// bracket, and the values under it) give no step.
bool readRegFile(std::string bytes, const std::function<bool(RegFileStep &)> &step,
                 std::string *error);

} // namespace handheld
