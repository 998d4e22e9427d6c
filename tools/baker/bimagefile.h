// bimagefile.h: the two picture formats the game's texture store decodes
// through SDL_image, written from 8-bit RGB rows (top row first).
//
// Both decode to 3 bytes per pixel, which the store requires:
// - writeBmp: uncompressed 24-bit BMP (BITMAPINFOHEADER, BI_RGB), rows
//   bottom-up and padded to 4 bytes, blue first in each pixel.
// - writeJpeg: baseline sequential JPEG, three components (a greyscale JPEG
//   would decode to 1 byte per pixel), no chroma subsampling so that small
//   coloured letters keep their edges.
//
// Both return false after printing "Unable to write %s" on standard error.
// Neither stamps a date or anything else that varies, so equal pixels give
// equal files.
#pragma once

#include <cstdint>
#include <vector>

bool writeBmp(const char* path, int width, int height, const std::vector<uint8_t>& rgb);

// quality: 1 (worst) to 100 (best), as libjpeg takes it.
bool writeJpeg(const char* path, int width, int height, const std::vector<uint8_t>& rgb, int quality = 92);
