// UTF-16 / UTF-8 conversions and JSON string quoting for the emulation.
#pragma once

#include <cstddef>
#include <string>

namespace emul {

std::string utf8(const char16_t *s);
std::string utf8(const std::u16string &s);
std::u16string utf16(const std::string &s);
// Case-insensitive comparison and folding as the registry and file system use them
// (ASCII letters only).
std::u16string foldCase(const std::u16string &s);
bool equalsNoCase(const std::u16string &a, const std::u16string &b);
// A JSON string literal (with quotes) for UTF-8 text. Bytes that are not valid UTF-8 become
// U+FFFD, so that the result is always valid JSON.
std::string jsonQuote(const std::string &utf8Text);
void appendJsonQuoted(std::string &out, const char *text, size_t n);
// The same for UTF-16 text up to its null; an unpaired surrogate becomes U+FFFD.
void appendJsonQuoted(std::string &out, const char16_t *text);
// The same written at `p` (UTF-8 text of n bytes, or n UTF-16 units), which has room for
// jsonQuotedBound(n) bytes; returns the end.
constexpr size_t jsonQuotedBound(size_t n) {
    return 6 * n + 2; // every unit escaped as \u00XX, and the quotes
}
char *putJsonQuoted(char *p, const char *text, size_t n);
char *putJsonQuoted(char *p, const char16_t *text, size_t n);

// Bytes as two hexadecimal digits each, `sep` between them.
std::string hexText(const unsigned char *p, size_t n, const char *sep, bool upper = false);

} // namespace emul
