// The font files of the device and their glyphs, through FreeType: the bottom of the graphics
// layer's text. Glyphs come one bit a pixel with whole-pixel advances, never smoothed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace emul::hostfont {

// The faces the device has: its dialog font in two weights, and the fallbacks.
enum Face { kTahoma, kTahomaBold, kSans, kSansBold, kMono, kMonoBold, kFaceCount };

// One line naming the Debian package whose font file is missing; empty when all are there.
std::string missingPackage();

// A face's design metrics, in font units.
struct FaceInfo {
    int unitsPerEm = 0;
    int winAscent = 0, winDescent = 0; // OS/2: the cell the platform measures
    int hheaAscent = 0, hheaDescent = 0, lineGap = 0;
    int avgCharWidth = 0, maxAdvance = 0; // OS/2 xAvgCharWidth, hhea advanceWidthMax
    int underlinePosition = 0, underlineThickness = 0;
    int weight = 400;
    bool fixedPitch = false;
};
bool faceInfo(Face face, FaceInfo *out);

struct Glyph {
    bool found = false;    // the face has the character (else this is its missing glyph)
    int left = 0, top = 0; // bitmap's offset from the pen position (top: above the baseline)
    int width = 0, height = 0, pitch = 0;
    int advance = 0;           // whole pixels
    std::vector<uint8_t> bits; // rows of `pitch` bytes, most significant bit leftmost
};
// The glyph of `ch` at `ppem` pixels an em, hinted for one bit a pixel. False when the face
// cannot be opened.
bool renderGlyph(Face face, int ppem, uint32_t ch, Glyph *out);

} // namespace emul::hostfont
