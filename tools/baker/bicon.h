// bicon.h: the desktop icon, drawn by code like every other picture.
//
// Input: a size in pixels. Output: a square RGBA picture for the icon theme
// (share/icons/hicolor/SIZExSIZE/apps/vektorak.png): a rounded tile of deep
// space holding a V whose left arm wears the left player's ice blue and
// whose right arm the right player's ember orange (bpalette.h). The tile's
// coverage is the alpha channel; everything outside it is transparent.
//
// Each size is drawn at its own resolution from one layout in a 256-unit
// design square, not scaled down from the largest, so that the 48-pixel
// icon keeps sharp edges.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "baker/bcanvas.h"

// The sizes the install puts into the hicolor theme, smallest first. The
// build's list (VEKTORAK_ICON_SIZES in CMakeLists.txt) must match.
const std::vector<int>& iconSizes();

// "vektorak-48.png" for 48: the name bakeIcons gives the file of one size.
std::string iconFileName(int size);

struct BIcon {
    BCanvas picture;  // straight (not premultiplied) colour
    BMask alpha;      // 0 transparent .. 1 opaque

    // 8-bit RGBA, top row first, as writePng takes it.
    std::vector<uint8_t> rgba8() const;
};

// The icon at size by size pixels; size at least 16.
BIcon paintIcon(int size);

// Writes iconFileName(size) for every size of iconSizes() into directory,
// which must exist. Returns true when all were written; each failure has
// printed a message on standard error naming the file.
bool bakeIcons(const char* directory);
