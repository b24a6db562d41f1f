// The order and the case folding of list entries: letters compare by their base letter first
// (so "été" sorts with the e's, before "zoo"), then by their accents; case never counts. Covers
// Latin-1, Latin Extended-A, Greek and Cyrillic, what a handheld's programs show.
#include "gwes/controls/combobox.h"

namespace emul {

namespace {

// Base letters of U+00C0..U+00FF and U+0100..U+017F, lower case; '.' where the character keeps
// itself (×, ÷, and letters with no simpler base).
constexpr char16_t kLatin1[] = u"aaaaaaaceeeeiiii.nooooo.ouuuuy.s"
                               u"aaaaaaaceeeeiiii.nooooo.ouuuuy.y";
constexpr char16_t kExtendedA[] = u"aaaaaaccccccccddddeeeeeeeeeegggggggghhhhiiiiiiiiiiiijjkkk"
                                  u"llllllllllnnnnnnnnnoooooooorrrrrrssssssssttttttuuuuuuuuuuuu"
                                  u"wwyyyzzzzzzs";
static_assert(sizeof kLatin1 / sizeof kLatin1[0] == 65);
static_assert(sizeof kExtendedA / sizeof kExtendedA[0] == 129);

} // namespace

char16_t foldLetter(char16_t c) {
    if (c >= u'A' && c <= u'Z')
        return char16_t(c + 32);
    if (c < 0x80)
        return c;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
        (c >= 0x410 && c <= 0x42F))
        return char16_t(c + 32);
    if (c >= 0x400 && c <= 0x40F)
        return char16_t(c + 80);
    if (c >= 0x100 && c <= 0x17F) {
        // Pairs upper/lower, on even code points up to U+0137 and from U+014A, on odd ones
        // between; U+0130 (dotted I), U+0138 (kra) and U+0178 (Ÿ) stand apart.
        if (c == 0x130)
            return u'i';
        if (c == 0x178)
            return 0xFF;
        if (c == 0x138 || c == 0x149 || c == 0x17F)
            return c;
        bool oddPairs = c >= 0x139 && c <= 0x148;
        bool upper = oddPairs ? (c % 2 == 1) : (c % 2 == 0);
        if (c >= 0x179)
            upper = c % 2 == 1; // Ź ź Ż ż Ž ž
        return upper ? char16_t(c + 1) : c;
    }
    return c;
}

std::u16string foldText(const std::u16string &s) {
    std::u16string out(s);
    for (char16_t &c : out)
        c = foldLetter(c);
    return out;
}

namespace {

char16_t baseLetter(char16_t c) {
    c = foldLetter(c);
    if (c >= 0xC0 && c <= 0xFF && kLatin1[c - 0xC0] != u'.')
        return kLatin1[c - 0xC0];
    if (c >= 0x100 && c <= 0x17F)
        return kExtendedA[c - 0x100];
    return c;
}

int compareBy(const std::u16string &a, const std::u16string &b, char16_t (*key)(char16_t)) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        char16_t x = key(a[i]), y = key(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

} // namespace

int collate(const std::u16string &a, const std::u16string &b) {
    if (int primary = compareBy(a, b, baseLetter))
        return primary;
    return compareBy(a, b, foldLetter);
}

} // namespace emul
