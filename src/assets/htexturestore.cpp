// htexturestore.cpp: image files to OpenGL textures, handed out by index.
#include "assets/htexturestore.h"

HTextureStore theTextureStore;

HTextureStore::HTextureStore() : mipmaps(false), minFilter(GL_LINEAR), magFilter(GL_LINEAR) {}

HTextureStore::~HTextureStore() {}

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
