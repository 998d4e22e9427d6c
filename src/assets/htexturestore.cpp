// htexturestore.cpp: image files to OpenGL textures, handed out by index.
//
// Pixel path: IMG_Load -> 24-bit surface (converted when SDL_image gives any
// other layout) -> red first in memory -> rows flipped so that t = 0 is the
// bottom of the picture -> glTexImage2D or gluBuild2DMipmaps with OpenGL's
// default unpack alignment of 4, which matches SDL's row pitch.
//
// A JPEG without mipmaps takes a shorter path: libjpeg (the one SDL_image
// decodes with, with its settings, so the pixels are the same) decodes
// STRIP_ROWS rows at a time into one small buffer, each strip going
// straight into the texture. The whole picture is never held outside
// OpenGL: for a 2048 x 1024 sky that is 6 MB less at the peak of a load,
// and no row flip over 6 MB. Anything libjpeg refuses goes the first way,
// which reports it as always.
#include "assets/htexturestore.h"

#include <GL/glu.h>
#include <SDL.h>
#include <SDL_image.h>
#include <csetjmp>  // Required for: setjmp(), longjmp(), libjpeg's way out of an error
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <jpeglib.h>
#ifdef __GLIBC__
#include <malloc.h>  // Required for: malloc_trim()
#endif

HTextureStore theTextureStore;

namespace {

// Line quoted by the store-full message, kept as the game has always printed
// it.
constexpr int STORE_FULL_LINE = 49;

// True when the surface holds 3 bytes per pixel as red, green, blue or blue,
// green, red in memory: the two layouts the row steps below understand.
bool isPlain24(const SDL_PixelFormat* format) {
    if (format->BytesPerPixel != 3 || format->palette) return false;
#if SDL_BYTEORDER == SDL_LIL_ENDIAN
    const bool rgb = format->Rmask == 0x0000FF && format->Gmask == 0x00FF00 && format->Bmask == 0xFF0000;
    const bool bgr = format->Rmask == 0xFF0000 && format->Gmask == 0x00FF00 && format->Bmask == 0x0000FF;
#else
    const bool rgb = format->Rmask == 0xFF0000 && format->Gmask == 0x00FF00 && format->Bmask == 0x0000FF;
    const bool bgr = format->Rmask == 0x0000FF && format->Gmask == 0x00FF00 && format->Bmask == 0xFF0000;
#endif
    return rgb || bgr;
}

// Blue is the first byte in memory (24-bit BMP). On a little-endian machine
// that is a blue shift of 0.
bool blueFirst(const SDL_PixelFormat* format) {
#if SDL_BYTEORDER == SDL_LIL_ENDIAN
    return format->Bshift == 0;
#else
    return format->Bshift == 16;
#endif
}

// Any other layout (palette, greyscale, 16 or 32 bits, alpha) becomes 24-bit
// red-first. SDL_ConvertSurface copies without blending, so alpha is dropped.
SDL_Surface* to24Bit(SDL_Surface* image) {
    SDL_PixelFormat format;
    memset(&format, 0, sizeof format);
    format.BitsPerPixel = 24;
    format.BytesPerPixel = 3;
#if SDL_BYTEORDER == SDL_LIL_ENDIAN
    format.Rmask = 0x0000FF;
    format.Gmask = 0x00FF00;
    format.Bmask = 0xFF0000;
    format.Rshift = 0;
    format.Gshift = 8;
    format.Bshift = 16;
#else
    format.Rmask = 0xFF0000;
    format.Gmask = 0x00FF00;
    format.Bmask = 0x0000FF;
    format.Rshift = 16;
    format.Gshift = 8;
    format.Bshift = 0;
#endif
    format.alpha = 255;
    return SDL_ConvertSurface(image, &format, SDL_SWSURFACE);
}

// Decodes and prepares the pixels; null after a message on failure. The
// result is 24-bit, red first, bottom row first, rows padded to 4 bytes.
SDL_Surface* loadImage(const char* fileName) {
    SDL_Surface* image = IMG_Load(fileName);
    if (!image) {
        fprintf(stderr, "Unable to load %s: %s\n", fileName, SDL_GetError());
        return nullptr;
    }
    const int32_t paddedPitch = (image->w * 3 + 3) & ~3;
    if (!isPlain24(image->format) || image->pitch != paddedPitch) {
        SDL_Surface* converted = to24Bit(image);
        SDL_FreeSurface(image);
        if (!converted || converted->pitch != paddedPitch) {
            if (converted) SDL_FreeSurface(converted);
            fprintf(stderr, "Out of memory\n");
            return nullptr;
        }
        image = converted;
    }

    const int32_t pitch = image->pitch;
    uint8_t* row = static_cast<uint8_t*>(malloc(pitch > 0 ? pitch : 1));
    if (!row) {
        fprintf(stderr, "Out of memory\n");
        SDL_FreeSurface(image);
        return nullptr;
    }
    if (SDL_MUSTLOCK(image)) SDL_LockSurface(image);
    uint8_t* pixels = static_cast<uint8_t*>(image->pixels);
    if (blueFirst(image->format)) {
        for (int32_t y = 0; y < image->h; ++y) {
            uint8_t* p = pixels + y * pitch;
            for (int32_t x = 0; x < image->w; ++x, p += 3) {
                const uint8_t blue = p[0];
                p[0] = p[2];
                p[2] = blue;
            }
        }
    }
    for (int32_t i = 0; i < image->h / 2; ++i) {
        uint8_t* top = pixels + i * pitch;
        uint8_t* bottom = pixels + (image->h - 1 - i) * pitch;
        memcpy(row, top, pitch);
        memcpy(top, bottom, pitch);
        memcpy(bottom, row, pitch);
    }
    if (SDL_MUSTLOCK(image)) SDL_UnlockSurface(image);
    free(row);
    return image;
}

// Rows a JPEG strip holds: 16 rows of 2048 pixels are 96 KB.
constexpr int32_t STRIP_ROWS = 16;

struct JpegError {
    jpeg_error_mgr manager;
    jmp_buf exit;
};

void leaveJpeg(j_common_ptr info) { longjmp(reinterpret_cast<JpegError*>(info->err)->exit, 1); }

bool isJpeg(FILE* file) {
    unsigned char magic[3] = {0, 0, 0};
    const bool jpeg = fread(magic, 1, 3, file) == 3 && magic[0] == 0xFF && magic[1] == 0xD8 && magic[2] == 0xFF;
    rewind(file);
    return jpeg;
}

// Decodes the JPEG file into the texture bound to GL_TEXTURE_2D, strip by
// strip, bottom row at t = 0. False, with the texture's image left
// undefined and nothing printed, when libjpeg cannot read it. No C++ object
// with a destructor lives in here: libjpeg leaves an error by longjmp.
bool uploadJpegInStrips(FILE* file) {
    jpeg_decompress_struct info;
    JpegError error;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = leaveJpeg;
    error.manager.output_message = [](j_common_ptr) {};  // warnings too: the first way speaks
    uint8_t* volatile strip = nullptr;
    if (setjmp(error.exit)) {
        jpeg_destroy_decompress(&info);
        free(strip);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    if (info.num_components != 1 && info.num_components != 3) {
        jpeg_destroy_decompress(&info);
        return false;  // CMYK and the like: SDL_image's own way
    }
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    const int32_t width = static_cast<int32_t>(info.output_width);
    const int32_t height = static_cast<int32_t>(info.output_height);
    const int32_t pitch = (width * 3 + 3) & ~3;  // OpenGL's unpack alignment of 4
    strip = static_cast<uint8_t*>(malloc(static_cast<size_t>(pitch) * STRIP_ROWS));
    if (!strip) longjmp(error.exit, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
    while (static_cast<int32_t>(info.output_scanline) < height) {
        // Picture rows top..top+rows-1 become texture rows height-top-rows
        // (the strip's last) up to height-1-top (its first).
        const int32_t top = static_cast<int32_t>(info.output_scanline);
        const int32_t rows = height - top < STRIP_ROWS ? height - top : STRIP_ROWS;
        for (int32_t r = 0; r < rows; ++r) {
            JSAMPROW row = strip + static_cast<size_t>(rows - 1 - r) * pitch;
            jpeg_read_scanlines(&info, &row, 1);  // a stdio source never suspends
        }
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, height - top - rows, width, rows, GL_RGB, GL_UNSIGNED_BYTE, strip);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    free(strip);
    return true;
}

// OpenGL names may be deleted only while the window that owns them is open;
// after SDL_Quit they died with the context.
bool contextAlive() {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
    const SDL_Surface* screen = SDL_GetVideoSurface();
    return screen && (screen->flags & SDL_OPENGL);
}

}  // namespace

HTextureStore::HTextureStore()
    : count(0), mipmaps(false), minFilter(GL_LINEAR), magFilter(GL_LINEAR), deletedSinceLoad(false) {
    for (int32_t i = 0; i < MAX_TEXTURES; ++i) textures[i] = nullptr;
}

HTextureStore::~HTextureStore() {
    const bool deleteNames = contextAlive();
    for (int32_t i = 0; i < MAX_TEXTURES; ++i) {
        if (textures[i]) freeSlot(i, deleteNames);
    }
}

void HTextureStore::setFilterMode(int32_t mode) {
    switch (mode) {
    case 0:
        mipmaps = false;
        minFilter = GL_NEAREST;
        magFilter = GL_NEAREST;
        break;
    case 1:
        mipmaps = false;
        minFilter = GL_LINEAR;
        magFilter = GL_LINEAR;
        break;
    case 2:
        mipmaps = true;
        minFilter = GL_LINEAR_MIPMAP_NEAREST;
        magFilter = GL_LINEAR;
        break;
    default:
        break;
    }
}

// Mesa (llvmpipe, and the state tracker of every Gallium driver) keeps the
// storage of a deleted texture that was drawn with for as long as its
// sampler view stays in the context's state, which is until the next draw
// validates new ones. A screen's textures are released just before the next
// screen loads its own, with no frame between, so both sets were held at
// once: 13.7 MB of the menu's under the match's 13 MB. A triangle that
// covers no pixel makes the driver validate, and glFinish lets the frame's
// work (and its references) go; on drivers that free at once it costs a
// few microseconds once per screen.
void HTextureStore::letDeletedGo() {
    if (!deletedSinceLoad) return;
    deletedSinceLoad = false;
    glBegin(GL_TRIANGLES);
    for (int32_t corner = 0; corner < 3; ++corner) glVertex3f(0.0f, 0.0f, -1.0f);
    glEnd();
    glFinish();
#ifdef __GLIBC__
    // What was freed in the middle of the heap goes back to the system too,
    // not only what lies at its top: the next screen's pictures are about
    // as big, but not the same sizes, so they would not all fit the holes.
    malloc_trim(0);
#endif
}

int32_t HTextureStore::load(const char* fileName) {
    letDeletedGo();
    if (count >= MAX_TEXTURES) {
        fprintf(stderr, "file: %s, line: %d MAX_TEXTURES too small - please use larger number.\n",
                "HTextureStore", STORE_FULL_LINE);
        return -1;
    }
    // The strips' way when it can be taken; otherwise the picture is decoded
    // before any OpenGL name is made, so a file that cannot be read changes
    // nothing.
    FILE* file = mipmaps ? nullptr : fopen(fileName, "rb");
    if (file && !isJpeg(file)) {
        fclose(file);
        file = nullptr;
    }
    SDL_Surface* image = file ? nullptr : loadImage(fileName);
    if (!file && !image) return -1;
    HTexture* texture = new (std::nothrow) HTexture();
    if (!texture) {
        if (file) fclose(file);
        SDL_FreeSurface(image);
        return -1;
    }

    glGenTextures(1, &texture->glName);
    glBindTexture(GL_TEXTURE_2D, texture->glName);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
    if (file) {
        const bool uploaded = uploadJpegInStrips(file);
        fclose(file);
        if (!uploaded && !(image = loadImage(fileName))) {
            glDeleteTextures(1, &texture->glName);
            delete texture;
            return -1;
        }
    }
    if (image) {
        if (mipmaps) {
            gluBuild2DMipmaps(GL_TEXTURE_2D, 3, image->w, image->h, GL_RGB, GL_UNSIGNED_BYTE, image->pixels);
        } else {
            glTexImage2D(GL_TEXTURE_2D, 0, 3, image->w, image->h, 0, GL_RGB, GL_UNSIGNED_BYTE, image->pixels);
        }
        SDL_FreeSurface(image);
    }

    int32_t slot = 0;
    while (textures[slot]) ++slot;  // count < MAX_TEXTURES: a slot is free
    // Cut to fit: the name is only kept for inspection.
    strncpy(texture->fileName, fileName, HTEXTURE_NAME_SIZE - 1);
    texture->fileName[HTEXTURE_NAME_SIZE - 1] = '\0';
    texture->refCount = 1;
    textures[slot] = texture;
    ++count;
    return slot;
}

void HTextureStore::bind(int32_t index) {
    glColor3f(1.0f, 1.0f, 1.0f);
    if (index < 0 || index >= MAX_TEXTURES || !textures[index]) return;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, textures[index]->glName);
}

void HTextureStore::unbind() {
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
    glColor3ub(255, 255, 255);
}

void HTextureStore::release(int32_t index) {
    if (index < 0 || index >= MAX_TEXTURES || !textures[index]) return;
    if (--textures[index]->refCount <= 0) freeSlot(index, contextAlive());
}

void HTextureStore::releaseAll() {
    const bool deleteNames = contextAlive();
    for (int32_t i = 0; i < MAX_TEXTURES; ++i) {
        if (textures[i]) freeSlot(i, deleteNames);
    }
}

void HTextureStore::freeSlot(int32_t index, bool deleteName) {
    if (deleteName) {
        glDeleteTextures(1, &textures[index]->glName);
        deletedSinceLoad = true;
    }
    delete textures[index];
    textures[index] = nullptr;
    --count;
}
