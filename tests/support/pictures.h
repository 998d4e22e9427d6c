// pictures.h: test pictures whose look tells how they were drawn.
#pragma once

#include <cstdint>

// Colours as 0xRRGGBB.
struct Quadrants {
    uint32_t topLeft, topRight, bottomLeft, bottomRight;
};

// Writes a 24-bit BMP of `size` by `size` pixels split into four quadrants
// of plain colour: drawn upside down, mirrored or turned, it shows. SDL_image
// knows formats by their bytes, so any name will do (".jpg" included).
bool writeQuadrantPicture(const char* file, const Quadrants& colours, int size = 16);

// The same in one colour.
bool writePlainPicture(const char* file, uint32_t rgb, int size = 16);
