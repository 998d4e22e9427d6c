// htexturestore.h: the program-wide store of OpenGL textures.
//
// Input: image files decoded by SDL_image (JPEG, BMP, and anything else it
// reads, converted to 24-bit RGB). Output: OpenGL textures handed out as slot
// indices 0 to MAX_TEXTURES - 1; -1 means "no texture" everywhere and may be
// passed to bind() and release().
//
// Every load is paired with a release: the index belongs to its caller alone
// (the same file loaded twice gives two textures), and the texture is deleted
// and its slot reused once the caller releases it.
//
// Context rule: load, bind, unbind, release and releaseAll need the OpenGL
// context. The shell calls releaseAll() after destroying the screens and
// before SDL_Quit(); the destructor, which runs at process exit after SDL has
// shut down, then finds nothing left. Whatever it does find it frees without
// calling OpenGL when no SDL OpenGL window is open, since the names died
// with the context.
#pragma once

#include <GL/gl.h>
#include <cstdint>

// Size of HTexture::fileName, NUL included: longer names are cut to 99
// characters (the file is still loaded by its full name).
constexpr int32_t HTEXTURE_NAME_SIZE = 100;

struct HTexture {
    GLuint glName = 0;
    // 1 when loaded; release() lowers it and deletes the texture at zero.
    int32_t refCount = 0;
    // The file name as passed to load(), cut to fit.
    char fileName[HTEXTURE_NAME_SIZE] = {};
};

class HTextureStore {
public:
    // Number of slots.
    static constexpr int32_t MAX_TEXTURES = 100;

    // Needs no OpenGL: runs during static initialisation.
    HTextureStore();
    // Frees every record still held; deletes their OpenGL textures only when
    // an SDL OpenGL window is still open.
    virtual ~HTextureStore();
    // One store owns each texture record: no copies.
    HTextureStore(const HTextureStore&) = delete;
    HTextureStore& operator=(const HTextureStore&) = delete;

    // 0: nearest, 1: linear, 2: linear with mipmaps; other values change
    // nothing. Affects only later loads; needs no OpenGL context.
    void setFilterMode(int32_t mode);

    // Decodes the image, uploads it with the current filter settings and
    // returns the lowest free slot, or -1 after a message on standard error
    // (store full, file unreadable, out of memory). Leaves the new texture
    // bound to GL_TEXTURE_2D; does not touch whether texturing is enabled.
    // The first load after a release draws a triangle that covers no pixel
    // and waits for the driver (glFinish), so that the released textures'
    // memory is free before the new one takes its own.
    int32_t load(const char* fileName);

    // Sets the colour to white, then, for a loaded index, enables 2D
    // texturing and binds the texture. -1, an empty slot or an index out of
    // range leaves the texture state as it was.
    void bind(int32_t index);

    // Binds no texture, disables 2D texturing, sets the colour to white.
    void unbind();

    // The caller no longer needs the texture: its count drops by one and at
    // zero the texture is deleted and the slot freed for a later load. -1,
    // an empty slot or an index out of range does nothing. The index must
    // not be used afterwards: the slot may already belong to someone else.
    void release(int32_t index);

    // Deletes every texture still held and empties every slot, whatever the
    // counts. For the shell's shutdown, before the OpenGL context ends.
    void releaseAll();

    // Slot i holds the texture with index i, or null.
    HTexture* textures[MAX_TEXTURES];
    // Number of occupied slots.
    int32_t count;
    bool mipmaps;
    GLenum minFilter;
    GLenum magFilter;

private:
    // Empties one occupied slot; deleteName says whether OpenGL may be told.
    void freeSlot(int32_t index, bool deleteName);
    // Before a load after deletions: makes the driver free their storage
    // now rather than at the next frame (see htexturestore.cpp).
    void letDeletedGo();

    bool deletedSinceLoad;
};

extern HTextureStore theTextureStore;
