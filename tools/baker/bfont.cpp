// bfont.cpp: FreeType glyph layout and rasterisation into masks.
#include "baker/bfont.h"

#include <cmath>   // Required for: std::lround, std::floor
#include <cstdio>  // Required for: fprintf

#include <ft2build.h>
#include FT_FREETYPE_H

namespace {

// Decodes one UTF-8 sequence at text[i], advancing i. Malformed bytes come
// out as themselves, which is enough for the baker's own strings.
uint32_t nextCodepoint(const std::string& text, size_t& i) {
    const auto byte = [&](size_t k) { return static_cast<uint32_t>(static_cast<unsigned char>(text[k])); };
    const uint32_t first = byte(i++);
    int extra = 0;
    uint32_t code = first;
    if ((first & 0xE0u) == 0xC0u) {
        extra = 1;
        code = first & 0x1Fu;
    } else if ((first & 0xF0u) == 0xE0u) {
        extra = 2;
        code = first & 0x0Fu;
    } else if ((first & 0xF8u) == 0xF0u) {
        extra = 3;
        code = first & 0x07u;
    }
    for (int k = 0; k < extra && i < text.size(); ++k) code = (code << 6) | (byte(i++) & 0x3Fu);
    return code;
}

}  // namespace

BFont::BFont(const char* path) : library(nullptr), face(nullptr) {
    if (FT_Init_FreeType(&library) != 0) {
        library = nullptr;
        fprintf(stderr, "Unable to start FreeType\n");
        return;
    }
    if (FT_New_Face(library, path, 0, &face) != 0) {
        face = nullptr;
        fprintf(stderr, "Unable to open the font %s\n", path);
    }
}

BFont::~BFont() {
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
}

float BFont::measure(const std::string& text, float size, float tracking) const {
    return layout(nullptr, text, 0.0f, 0.0f, size, tracking);
}

float BFont::draw(BMask& mask, const std::string& text, float x, float y, float size, float tracking) const {
    return layout(&mask, text, x, y, size, tracking);
}

void BFont::drawCentred(BMask& mask, const std::string& text, float x, float y, float size, float tracking) const {
    layout(&mask, text, x - measure(text, size, tracking) * 0.5f, y, size, tracking);
}

float BFont::layout(BMask* mask, const std::string& text, float x, float y, float size, float tracking) const {
    if (!face) return 0.0f;
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(std::lround(size)));
    // The pen in 26.6 fixed point, relative to x.
    long pen = 0;
    const long trackingFixed = std::lround(tracking * 64.0f);
    FT_UInt previous = 0;
    bool first = true;
    for (size_t i = 0; i < text.size();) {
        const FT_UInt glyph = FT_Get_Char_Index(face, nextCodepoint(text, i));
        if (!first) pen += trackingFixed;
        if (previous && glyph && FT_HAS_KERNING(face)) {
            FT_Vector kern;
            if (FT_Get_Kerning(face, previous, glyph, FT_KERNING_DEFAULT, &kern) == 0) pen += kern.x;
        }
        first = false;
        previous = glyph;
        if (FT_Load_Glyph(face, glyph, FT_LOAD_DEFAULT) != 0) continue;
        if (mask && FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) == 0) {
            const FT_Bitmap& bitmap = face->glyph->bitmap;
            const int left = static_cast<int>(std::floor(x + static_cast<float>(pen) / 64.0f + 0.5f)) +
                             face->glyph->bitmap_left;
            const int top = static_cast<int>(std::floor(y + 0.5f)) - face->glyph->bitmap_top;
            for (unsigned row = 0; row < bitmap.rows; ++row)
                for (unsigned col = 0; col < bitmap.width; ++col) {
                    const unsigned char value = bitmap.buffer[row * bitmap.pitch + col];
                    if (value)
                        mask->raise(left + static_cast<int>(col), top + static_cast<int>(row),
                                    static_cast<float>(value) / 255.0f);
                }
        }
        pen += face->glyph->advance.x;
    }
    return x + static_cast<float>(pen) / 64.0f;
}
