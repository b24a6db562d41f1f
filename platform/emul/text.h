// UTF-16 / UTF-8 conversions and JSON string quoting for the emulation.
#pragma once

#include <string>

namespace emul {

std::string utf8(const char16_t *s);
std::string utf8(const std::u16string &s);
std::u16string utf16(const std::string &s);
// Case-insensitive comparison and folding as the registry and file system use them
// (ASCII letters only).
std::u16string foldCase(const std::u16string &s);
bool equalsNoCase(const std::u16string &a, const std::u16string &b);
// A JSON string literal (with quotes) for UTF-8 text.
std::string jsonQuote(const std::string &utf8Text);

} // namespace emul
