// pictures.h: test pictures whose look tells how they were drawn, and the
// writers that put them in the files the game reads (BMP, JPEG, TGA).
#pragma once

#include <cstdint>
#include <vector>

struct Rgb {
    uint8_t r, g, b;
};

// A picture as rows from the top, the way files and people see it.
struct Picture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<Rgb> pixels;  // row 0 is the top
    Rgb at(int32_t x, int32_t y) const { return pixels[y * width + x]; }
};

// Colours as 0xRRGGBB.
struct Quadrants {
    uint32_t topLeft, topRight, bottomLeft, bottomRight;
};

Picture plainPicture(int32_t width, int32_t height, uint32_t rgb);
// Four quadrants of plain colour: drawn upside down, mirrored or turned, it
// shows. An odd size gives the right and bottom quadrants the extra pixel.
Picture quadrantPicture(const Quadrants& colours, int32_t size);

// Each writer returns false when the file cannot be made. SDL_image knows
// BMP and JPEG by their bytes, so any name will do for those (".jpg" on a
// BMP included); TGA it knows only by the ".tga" extension.
//
// 24 bits a pixel through SDL, or 8 bits with a palette of the picture's
// colours (at most 256).
bool writeBmp(const char* file, const Picture& picture, int bitsPerPixel = 24);
// Quality 100 without chroma subsampling: flat 8 x 8 blocks come back within
// the rounding of the colour conversion.
bool writeJpeg(const char* file, const Picture& picture);
// Uncompressed, rows from the top: 32 bits with `alpha` (one byte a pixel,
// empty: opaque), 16 bits as 5-5-5, or 8 bits of grey taken from red.
bool writeTga(const char* file, const Picture& picture, int bitsPerPixel, const std::vector<uint8_t>& alpha = {});

// 24-bit BMPs of `size` by `size` pixels.
bool writeQuadrantPicture(const char* file, const Quadrants& colours, int size = 16);
bool writePlainPicture(const char* file, uint32_t rgb, int size = 16);
