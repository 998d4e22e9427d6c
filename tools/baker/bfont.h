// bfont.h: text for the baked pictures, rasterised by FreeType from a
// TrueType file into a coverage mask.
//
// Input: a font file (the DejaVu faces that the build finds, see
// baker.cmake), a pixel size, UTF-8 text. Output: glyph coverage raised
// into a BMask at a baseline position.
//
// Sizes are pixel heights of the em square: a capital letter of DejaVu is
// about 0.73 of it. Pen positions advance in 26.6 fixed point and each glyph
// lands on a whole pixel, so the same text always gives the same pixels.
#pragma once

#include <string>

#include "baker/bcanvas.h"

// FreeType's handle types, declared here so that users need no FreeType
// headers.
struct FT_LibraryRec_;
struct FT_FaceRec_;

class BFont {
public:
    // Opens the file; ok() tells whether it worked. A failure prints
    // "Unable to open the font %s" on standard error.
    explicit BFont(const char* path);
    ~BFont();
    BFont(const BFont&) = delete;
    BFont& operator=(const BFont&) = delete;

    bool ok() const { return face != nullptr; }

    // Width in pixels that draw() would advance, tracking included.
    float measure(const std::string& text, float size, float tracking = 0.0f) const;
    // Raises the glyphs' coverage into mask with the pen starting at x and
    // the baseline at y; tracking adds pixels between letters. Returns the
    // pen position after the text.
    float draw(BMask& mask, const std::string& text, float x, float y, float size, float tracking = 0.0f) const;
    // The same, centred on x.
    void drawCentred(BMask& mask, const std::string& text, float x, float y, float size, float tracking = 0.0f) const;

private:
    // Layout shared by measure and draw: mask may be null.
    float layout(BMask* mask, const std::string& text, float x, float y, float size, float tracking) const;

    FT_LibraryRec_* library;
    FT_FaceRec_* face;
};
