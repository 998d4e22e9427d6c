// htexturestore.cpp: image files to OpenGL textures, handed out by index.
//
// Pixel path: IMG_Load -> 24-bit surface (converted when SDL_image gives any
// other layout) -> red first in memory -> rows flipped so that t = 0 is the
// bottom of the picture -> glTexImage2D or gluBuild2DMipmaps with OpenGL's
// default unpack alignment of 4, which matches SDL's row pitch.
#include "assets/htexturestore.h"

#include <GL/glu.h>
#include <SDL.h>
#include <SDL_image.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
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
    SDL_Surface* image = loadImage(fileName);
    if (!image) return -1;
    HTexture* texture = new (std::nothrow) HTexture();
    if (!texture) {
        SDL_FreeSurface(image);
        return -1;
    }

    glGenTextures(1, &texture->glName);
    glBindTexture(GL_TEXTURE_2D, texture->glName);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
    if (mipmaps) {
        gluBuild2DMipmaps(GL_TEXTURE_2D, 3, image->w, image->h, GL_RGB, GL_UNSIGNED_BYTE, image->pixels);
    } else {
        glTexImage2D(GL_TEXTURE_2D, 0, 3, image->w, image->h, 0, GL_RGB, GL_UNSIGNED_BYTE, image->pixels);
    }

    int32_t slot = 0;
    while (textures[slot]) ++slot;  // count < MAX_TEXTURES: a slot is free
    // Cut to fit: the name is only kept for inspection.
    strncpy(texture->fileName, fileName, HTEXTURE_NAME_SIZE - 1);
    texture->fileName[HTEXTURE_NAME_SIZE - 1] = '\0';
    texture->refCount = 1;
    textures[slot] = texture;
    ++count;
    SDL_FreeSurface(image);
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
