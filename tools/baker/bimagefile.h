// bimagefile.h: the two picture formats the game's texture store decodes
// through SDL_image, written from 8-bit RGB rows (top row first), and PNG
// for the desktop icon.
//
// Both decode to 3 bytes per pixel, which the store requires:
// - writeBmp: uncompressed 24-bit BMP (BITMAPINFOHEADER, BI_RGB), rows
//   bottom-up and padded to 4 bytes, blue first in each pixel.
// - writeJpeg: baseline sequential JPEG, three components (a greyscale JPEG
//   would decode to 1 byte per pixel), no chroma subsampling so that small
//   coloured letters keep their edges.
//
// - writePng: 8-bit RGBA with straight alpha, for the icon theme; the game
//   itself loads no PNG.
//
// All return false after printing "Unable to write %s" on standard error.
// None stamps a date or anything else that varies, so equal pixels give
// equal files.
#pragma once

#include <cstdint>
#include <vector>

bool writeBmp(const char* path, int width, int height, const std::vector<uint8_t>& rgb);

// quality: 1 (worst) to 100 (best), as libjpeg takes it.
bool writeJpeg(const char* path, int width, int height, const std::vector<uint8_t>& rgb, int quality = 92);

// rgba: 4 bytes a pixel, top row first.
bool writePng(const char* path, int width, int height, const std::vector<uint8_t>& rgba);
