// A registry value's data read as text: the strings it holds, whether a quoted string gives it
// back exactly, and the device's ANSI code page that REGEDIT4 files write text in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace emul {
struct RegValue;
}

namespace handheld {

constexpr uint32_t kRegSz = 1, kRegExpandSz = 2, kRegBinary = 3, kRegDword = 4, kRegMultiSz = 7;

// UTF-16 strings of a value's data, up to each null or the end (never beyond).
std::vector<std::u16string> regStrings(const std::vector<uint8_t> &data);
// A REG_SZ written with one terminating null whose text a quoted string holds on one line and
// gives back exactly: its text.
std::optional<std::u16string> regPlainSz(const emul::RegValue &v);
// The text in double quotes, with quotes and backslashes escaped.
std::string regQuoted(std::string_view s);
// The DWORD of a 4-byte REG_DWORD.
std::optional<uint32_t> regExactDword(const emul::RegValue &v);

// The device's ANSI code page (Windows-1252, Western): every byte has its character, and the
// characters it lacks make toAnsi fail.
std::u16string fromAnsi(std::string_view bytes);
bool toAnsi(const std::u16string &text, std::string *bytes);

} // namespace handheld
