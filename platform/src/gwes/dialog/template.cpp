// Dialog templates in the resource format and the dialog units of their fonts.
//
// Font metrics: the device draws at 96 dots per inch, and its dialog font "Tahoma" 8 point has a
// character cell 13 pixels high and an average width of 6 pixels (the platform's rule: the width
// of "a".."z" "A".."Z" divided by 26, plus 1, halved). So a dialog unit is 1.5 pixels across and
// 1.625 down, and a 160-unit-wide page fills the 240-pixel screen. Other faces and sizes scale
// from that: cell height = points * 96 / 72 + 2, average width = height * 6 / 13.
#include "gwes/dialog/dialog.h"

#include "emul/text.h"

namespace emul {

namespace {

struct Reader {
    const uint8_t *p;
    size_t n, at = 0;
    bool ok = true;
    uint16_t u16() {
        if (at + 2 > n) {
            ok = false;
            return 0;
        }
        uint16_t v = uint16_t(p[at] | p[at + 1] << 8);
        at += 2;
        return v;
    }
    uint32_t u32() {
        uint32_t lo = u16();
        return lo | uint32_t(u16()) << 16;
    }
    int16_t s16() { return int16_t(u16()); }
    uint8_t u8() {
        if (at + 1 > n) {
            ok = false;
            return 0;
        }
        return p[at++];
    }
    std::u16string sz() {
        std::u16string s;
        for (;;) {
            uint16_t c = u16();
            if (!ok || !c)
                return s;
            s.push_back(char16_t(c));
        }
    }
    // A "string or ordinal" field: 0xFFFF and a WORD, or a terminated string.
    bool szOrOrd(std::u16string *s, uint16_t *ord) {
        if (at + 2 <= n && p[at] == 0xFF && p[at + 1] == 0xFF) {
            at += 2;
            *ord = u16();
            return true;
        }
        *s = sz();
        return false;
    }
    void alignDword() { at = (at + 3) & ~size_t(3); }
};

const char16_t *predefinedClass(uint16_t atom) {
    switch (atom) {
    case 0x80:
        return u"Button";
    case 0x81:
        return u"Edit";
    case 0x82:
        return u"Static";
    case 0x83:
        return u"ListBox";
    case 0x84:
        return u"ScrollBar";
    case 0x85:
        return u"ComboBox";
    }
    return nullptr;
}

} // namespace

bool parseDialogTemplate(const uint8_t *p, size_t size, DialogTemplate *out) {
    Reader r{p, size};
    DialogTemplate t;
    uint16_t count = 0;
    if (size >= 4 && p[0] == 1 && p[1] == 0 && p[2] == 0xFF && p[3] == 0xFF) {
        // The extended form: version 1, signature 0xFFFF, help id, then the classic fields.
        t.extended = true;
        r.at = 4;
        r.u32();
        t.exStyle = r.u32();
        t.style = r.u32();
    } else {
        t.style = r.u32();
        t.exStyle = r.u32();
    }
    count = r.u16();
    t.x = r.s16();
    t.y = r.s16();
    t.cx = r.s16();
    t.cy = r.s16();
    uint16_t ord = 0;
    if (r.szOrOrd(&t.menu, &ord))
        t.menu = u"#" + utf16(std::to_string(ord));
    if (r.szOrOrd(&t.className, &ord)) {
        const char16_t *c = predefinedClass(ord);
        t.className = c ? c : u"";
    }
    t.title = r.sz();
    if (t.style & DS_SETFONT) {
        t.hasFont = true;
        t.pointSize = r.u16();
        if (t.extended) {
            r.u16(); // weight
            r.u8();  // italic
            r.u8();  // character set
        }
        t.typeface = r.sz();
    }
    for (uint16_t i = 0; i < count && r.ok; ++i) {
        r.alignDword();
        DialogItem it;
        if (t.extended) {
            r.u32(); // help id
            it.exStyle = r.u32();
            it.style = r.u32();
        } else {
            it.style = r.u32();
            it.exStyle = r.u32();
        }
        it.x = r.s16();
        it.y = r.s16();
        it.cx = r.s16();
        it.cy = r.s16();
        it.id = t.extended ? r.u32() : r.u16();
        if (r.szOrOrd(&it.className, &ord)) {
            const char16_t *c = predefinedClass(ord);
            if (!c)
                return false;
            it.className = c;
        }
        it.titleIsId = r.szOrOrd(&it.title, &it.titleId);
        uint16_t extra = r.u16();
        if (extra) {
            if (r.at + extra > r.n)
                return false;
            it.creationData.assign(p + r.at, p + r.at + extra);
            r.at += extra;
        }
        t.items.push_back(std::move(it));
    }
    if (!r.ok)
        return false;
    *out = std::move(t);
    return true;
}

DialogUnits dialogUnitsOf(const std::u16string &typeface, int pointSize) {
    DialogUnits u;
    if (pointSize <= 0 || pointSize >= 0x7FFF)
        return systemDialogUnits();
    if (equalsNoCase(typeface, u"Tahoma") && pointSize == 8)
        return u; // 6 x 13, the platform's dialog font
    u.baseY = MulDiv(pointSize, 96, 72) + 2;
    u.baseX = std::max(1, MulDiv(u.baseY, 6, 13));
    return u;
}

DialogUnits systemDialogUnits() {
    return DialogUnits{}; // the system font is the dialog font, Tahoma 8
}

} // namespace emul

CEAPI int MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0)
        return -1;
    // Rounded to the nearest integer, halves away from zero.
    int64_t v = int64_t(number) * numerator;
    bool neg = (v < 0) != (denominator < 0);
    int64_t a = v < 0 ? -v : v, d = denominator < 0 ? -int64_t(denominator) : denominator;
    int64_t q = (a + d / 2) / d;
    if (q > INT32_MAX)
        return -1;
    return int(neg ? -q : q);
}

CEAPI LONG GetDialogBaseUnits(void) {
    emul::DialogUnits u = emul::systemDialogUnits();
    return MAKELONG(u.baseX, u.baseY);
}
