// Font files through FreeType, rasterised in monochrome so that text looks the same on every
// machine.
#include "host/host_font.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <mutex>
#include <unistd.h>

namespace emul::hostfont {

namespace {

struct FontFile {
    const char *path;
    const char *package;
};

// Debian's places of the files. Wine's Tahoma has the metrics of the platform's dialog font.
constexpr FontFile kFiles[kFaceCount] = {
    {"/usr/share/wine/fonts/tahoma.ttf", "fonts-wine"},
    {"/usr/share/wine/fonts/tahomabd.ttf", "fonts-wine"},
    {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", "fonts-dejavu-core"},
    {"/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf", "fonts-dejavu-core"},
    {"/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf", "fonts-dejavu-core"},
    {"/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf", "fonts-dejavu-core"},
};

std::mutex lock;
FT_Library library = nullptr;
FT_Face faces[kFaceCount] = {};
bool tried[kFaceCount] = {};

FT_Face open(Face f) {
    if (f < 0 || f >= kFaceCount)
        return nullptr;
    if (!tried[f]) {
        tried[f] = true;
        if (!library && FT_Init_FreeType(&library) != 0)
            library = nullptr;
        if (library && FT_New_Face(library, kFiles[f].path, 0, &faces[f]) != 0)
            faces[f] = nullptr;
    }
    return faces[f];
}

} // namespace

std::string missingPackage() {
    for (const FontFile &f : kFiles)
        if (access(f.path, R_OK) != 0)
            return std::string("font file ") + f.path + " is missing: install the Debian package " +
                   f.package;
    // A file that is there but no font would leave every text blank.
    std::lock_guard<std::mutex> g(lock);
    for (int f = 0; f < kFaceCount; ++f)
        if (!open(Face(f)))
            return std::string("font file ") + kFiles[f].path +
                   " is damaged: reinstall the Debian package " + kFiles[f].package;
    return std::string();
}

bool faceInfo(Face f, FaceInfo *out) {
    std::lock_guard<std::mutex> g(lock);
    FT_Face face = open(f);
    if (!face)
        return false;
    FaceInfo i;
    i.unitsPerEm = face->units_per_EM;
    i.hheaAscent = face->ascender;
    i.hheaDescent = -face->descender;
    i.lineGap = face->height - (face->ascender - face->descender);
    i.maxAdvance = face->max_advance_width;
    i.underlinePosition = face->underline_position;
    i.underlineThickness = face->underline_thickness;
    i.fixedPitch = FT_IS_FIXED_WIDTH(face);
    i.winAscent = i.hheaAscent;
    i.winDescent = i.hheaDescent;
    if (auto *os2 = static_cast<TT_OS2 *>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2))) {
        i.winAscent = os2->usWinAscent;
        i.winDescent = os2->usWinDescent;
        i.avgCharWidth = os2->xAvgCharWidth;
        i.weight = os2->usWeightClass;
    }
    *out = i;
    return true;
}

bool renderGlyph(Face f, int ppem, uint32_t ch, Glyph *out) {
    std::lock_guard<std::mutex> g(lock);
    FT_Face face = open(f);
    if (!face || FT_Set_Pixel_Sizes(face, 0, FT_UInt(ppem)) != 0)
        return false;
    FT_UInt index = FT_Get_Char_Index(face, ch);
    Glyph gl;
    gl.found = index != 0;
    if (FT_Load_Glyph(face, index, FT_LOAD_TARGET_MONO) != 0 ||
        FT_Render_Glyph(face->glyph, FT_RENDER_MODE_MONO) != 0)
        return false;
    FT_GlyphSlot slot = face->glyph;
    gl.left = slot->bitmap_left;
    gl.top = slot->bitmap_top;
    gl.width = int(slot->bitmap.width);
    gl.height = int(slot->bitmap.rows);
    gl.advance = int((slot->advance.x + 32) >> 6);
    int pitch = slot->bitmap.pitch < 0 ? -slot->bitmap.pitch : slot->bitmap.pitch;
    gl.pitch = pitch;
    gl.bits.resize(size_t(pitch) * size_t(gl.height));
    for (int y = 0; y < gl.height; ++y) {
        const unsigned char *row =
            slot->bitmap.pitch < 0 ? slot->bitmap.buffer + size_t(gl.height - 1 - y) * size_t(pitch)
                                   : slot->bitmap.buffer + size_t(y) * size_t(pitch);
        std::copy(row, row + pitch, gl.bits.begin() + ptrdiff_t(y) * pitch);
    }
    *out = std::move(gl);
    return true;
}

} // namespace emul::hostfont
