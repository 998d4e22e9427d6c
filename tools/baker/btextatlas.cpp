// btextatlas.cpp: one cell per character.
#include "baker/btextatlas.h"

#include <string>

#include "screens/mtext.h"

BCanvas paintTextAtlas(const BFont& mono) {
    BCanvas canvas(TEXT_PICTURE_WIDTH, TEXT_PICTURE_HEIGHT);
    canvas.fill({0.0f, 0.0f, 0.0f});
    BMask glyphs(TEXT_PICTURE_WIDTH, TEXT_PICTURE_HEIGHT);
    for (int32_t code = TEXT_FIRST; code <= TEXT_LAST; code++) {
        const int32_t index = code - TEXT_FIRST;
        const float x = static_cast<float>((index % TEXT_COLUMNS) * TEXT_CELL_WIDTH + TEXT_PEN);
        const float baseline = static_cast<float>((index / TEXT_COLUMNS) * TEXT_CELL_HEIGHT + TEXT_BASELINE);
        mono.draw(glyphs, std::string(1, static_cast<char>(code)), x, baseline, static_cast<float>(TEXT_EM));
    }
    canvas.paint(glyphs, {1.0f, 1.0f, 1.0f});
    return canvas;
}
