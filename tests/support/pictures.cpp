// pictures.cpp: see pictures.h.
#include "support/pictures.h"

#include <SDL.h>
#include <dlfcn.h>

#include <cstdio>

#include <jpeglib.h>

namespace {

Rgb rgbOf(uint32_t rgb) { return Rgb{uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb)}; }

bool saveSurface(SDL_Surface* s, const char* file) {
    const bool ok = SDL_SaveBMP(s, file) == 0;
    SDL_FreeSurface(s);
    return ok;
}

// SDL stores 24-bit pixels blue first in the file; the masks say where each
// byte of ours goes.
bool write24BitBmp(const char* file, const Picture& p) {
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, p.width, p.height, 24, 0x0000FF, 0x00FF00, 0xFF0000, 0);
    if (!s) return false;
    for (int32_t y = 0; y < p.height; ++y) {
        uint8_t* row = static_cast<uint8_t*>(s->pixels) + y * s->pitch;
        for (int32_t x = 0; x < p.width; ++x) {
            row[3 * x] = p.at(x, y).r;
            row[3 * x + 1] = p.at(x, y).g;
            row[3 * x + 2] = p.at(x, y).b;
        }
    }
    return saveSurface(s, file);
}

// SDL_SaveBMP keeps the palette of an 8-bit surface.
bool write8BitBmp(const char* file, const Picture& p) {
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, p.width, p.height, 8, 0, 0, 0, 0);
    if (!s) return false;
    std::vector<SDL_Color> colours;
    for (int32_t y = 0; y < p.height; ++y) {
        for (int32_t x = 0; x < p.width; ++x) {
            const Rgb c = p.at(x, y);
            size_t i = 0;
            while (i < colours.size() && !(colours[i].r == c.r && colours[i].g == c.g && colours[i].b == c.b)) ++i;
            if (i == 256) {
                SDL_FreeSurface(s);
                return false;
            }
            if (i == colours.size()) colours.push_back(SDL_Color{c.r, c.g, c.b, 0});
            static_cast<uint8_t*>(s->pixels)[y * s->pitch + x] = static_cast<uint8_t>(i);
        }
    }
    SDL_SetColors(s, colours.data(), 0, static_cast<int>(colours.size()));
    return saveSurface(s, file);
}

// libjpeg is not linked into the tests; SDL_image's copy is borrowed at run
// time instead.
class JpegLibrary {
public:
    JpegLibrary() : library(dlopen("libjpeg.so.62", RTLD_NOW)) {}
    ~JpegLibrary() {
        if (library) dlclose(library);
    }
    template <typename F>
    F sym(const char* name) const {
        return library ? reinterpret_cast<F>(dlsym(library, name)) : nullptr;
    }

private:
    void* library;
};

}  // namespace

Picture plainPicture(int32_t width, int32_t height, uint32_t rgb) {
    Picture p;
    p.width = width;
    p.height = height;
    p.pixels.assign(size_t(width) * size_t(height), rgbOf(rgb));
    return p;
}

Picture quadrantPicture(const Quadrants& colours, int32_t size) {
    Picture p = plainPicture(size, size, 0);
    const int32_t half = size / 2;
    for (int32_t y = 0; y < size; ++y)
        for (int32_t x = 0; x < size; ++x)
            p.pixels[y * size + x] = rgbOf(y < half ? (x < half ? colours.topLeft : colours.topRight)
                                                    : (x < half ? colours.bottomLeft : colours.bottomRight));
    return p;
}

bool writeBmp(const char* file, const Picture& picture, int bitsPerPixel) {
    if (bitsPerPixel == 8) return write8BitBmp(file, picture);
    return bitsPerPixel == 24 && write24BitBmp(file, picture);
}

bool writeJpeg(const char* file, const Picture& p) {
    const JpegLibrary jpeg;
    auto stdError = jpeg.sym<jpeg_error_mgr* (*)(jpeg_error_mgr*)>("jpeg_std_error");
    auto create = jpeg.sym<void (*)(j_compress_ptr, int, size_t)>("jpeg_CreateCompress");
    auto dest = jpeg.sym<void (*)(j_compress_ptr, FILE*)>("jpeg_stdio_dest");
    auto defaults = jpeg.sym<void (*)(j_compress_ptr)>("jpeg_set_defaults");
    auto quality = jpeg.sym<void (*)(j_compress_ptr, int, boolean)>("jpeg_set_quality");
    auto start = jpeg.sym<void (*)(j_compress_ptr, boolean)>("jpeg_start_compress");
    auto write = jpeg.sym<JDIMENSION (*)(j_compress_ptr, JSAMPARRAY, JDIMENSION)>("jpeg_write_scanlines");
    auto finish = jpeg.sym<void (*)(j_compress_ptr)>("jpeg_finish_compress");
    auto destroy = jpeg.sym<void (*)(j_compress_ptr)>("jpeg_destroy_compress");
    if (!stdError || !create || !dest || !defaults || !quality || !start || !write || !finish || !destroy)
        return false;
    FILE* out = fopen(file, "wb");
    if (!out) return false;
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = stdError(&errors);
    create(&info, JPEG_LIB_VERSION, sizeof info);
    dest(&info, out);
    info.image_width = p.width;
    info.image_height = p.height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    defaults(&info);
    quality(&info, 100, TRUE);
    for (int i = 0; i < info.num_components; ++i) {
        info.comp_info[i].h_samp_factor = 1;
        info.comp_info[i].v_samp_factor = 1;
    }
    start(&info, TRUE);
    std::vector<uint8_t> row(3 * p.width);
    for (int32_t y = 0; y < p.height; ++y) {
        for (int32_t x = 0; x < p.width; ++x) {
            row[3 * x] = p.at(x, y).r;
            row[3 * x + 1] = p.at(x, y).g;
            row[3 * x + 2] = p.at(x, y).b;
        }
        JSAMPROW rows[1] = {row.data()};
        write(&info, rows, 1);
    }
    finish(&info);
    destroy(&info);
    return fclose(out) == 0;
}

// Type 2 is true colour, type 3 greyscale; the descriptor byte sets the
// top-left origin and the alpha bits.
bool writeTga(const char* file, const Picture& p, int bits, const std::vector<uint8_t>& alpha) {
    std::vector<uint8_t> bytes(18, 0);
    bytes[2] = bits == 8 ? 3 : 2;
    bytes[12] = static_cast<uint8_t>(p.width);
    bytes[13] = static_cast<uint8_t>(p.width >> 8);
    bytes[14] = static_cast<uint8_t>(p.height);
    bytes[15] = static_cast<uint8_t>(p.height >> 8);
    bytes[16] = static_cast<uint8_t>(bits);
    bytes[17] = 0x20 | (bits == 32 ? 8 : bits == 16 ? 1 : 0);
    for (size_t i = 0; i < p.pixels.size(); ++i) {
        const Rgb c = p.pixels[i];
        if (bits == 32) {
            bytes.insert(bytes.end(), {c.b, c.g, c.r, alpha.empty() ? uint8_t(255) : alpha[i]});
        } else if (bits == 16) {
            const uint16_t v = 0x8000 | ((c.r >> 3) << 10) | ((c.g >> 3) << 5) | (c.b >> 3);
            bytes.insert(bytes.end(), {uint8_t(v), uint8_t(v >> 8)});
        } else {
            bytes.push_back(c.r);
        }
    }
    FILE* out = fopen(file, "wb");
    if (!out) return false;
    const bool written = fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    return fclose(out) == 0 && written;
}

bool writeQuadrantPicture(const char* file, const Quadrants& colours, int size) {
    return writeBmp(file, quadrantPicture(colours, size));
}

bool writePlainPicture(const char* file, uint32_t rgb, int size) {
    return writeBmp(file, plainPicture(size, size, rgb));
}
