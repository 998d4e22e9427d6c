// btextatlas.h: the font picture the game cuts its run-time lines from.
#pragma once

#include "baker/bcanvas.h"
#include "baker/bfont.h"

// "font.bmp": every character TEXT_FIRST..TEXT_LAST of `mono` (a
// monospaced face) in white on black, one to a cell of the grid mtext.h
// lays down, TEXT_PICTURE_WIDTH x TEXT_PICTURE_HEIGHT.
BCanvas paintTextAtlas(const BFont& mono);
