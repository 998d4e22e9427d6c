// pictures.cpp: see pictures.h.
#include "support/pictures.h"

#include <SDL.h>

bool writeQuadrantPicture(const char* file, const Quadrants& colours, int size) {
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, size, size, 24, 0xff0000, 0x00ff00, 0x0000ff, 0);
    if (s == nullptr) return false;
    const int half = size / 2;
    SDL_Rect rects[4] = {{0, 0, Uint16(half), Uint16(half)},
                         {Sint16(half), 0, Uint16(size - half), Uint16(half)},
                         {0, Sint16(half), Uint16(half), Uint16(size - half)},
                         {Sint16(half), Sint16(half), Uint16(size - half), Uint16(size - half)}};
    const uint32_t fill[4] = {colours.topLeft, colours.topRight, colours.bottomLeft, colours.bottomRight};
    for (int i = 0; i < 4; i++) SDL_FillRect(s, &rects[i], fill[i]);
    const bool ok = SDL_SaveBMP(s, file) == 0;
    SDL_FreeSurface(s);
    return ok;
}

bool writePlainPicture(const char* file, uint32_t rgb, int size) {
    return writeQuadrantPicture(file, {rgb, rgb, rgb, rgb}, size);
}
