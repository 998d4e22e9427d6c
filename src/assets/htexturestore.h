// htexturestore.h: the program-wide store of OpenGL textures.
#pragma once

#include <GL/gl.h>
#include <cstdint>

class HTextureStore {
public:
    HTextureStore();
    virtual ~HTextureStore();

    // 0: nearest, 1: linear, 2: linear with mipmaps; other values change
    // nothing. Affects only later loads; needs no OpenGL context.
    void setFilterMode(int32_t mode);

    bool mipmaps;
    GLenum minFilter;
    GLenum magFilter;
};

extern HTextureStore theTextureStore;
