// settings.h: the values of the settings file "vkt.txt".
//
// The file holds up to seven whitespace-separated decimal integers in this
// order; reading stops at the first item that is not one, and every value
// not read keeps its default. Nothing after the seventh integer is read, so
// the file may go on with free text explaining them. The two volumes came
// later: a file of five numbers and notes still reads as it always did,
// unless its notes start with a number.
#pragma once

#include <cstdint>
#include <cstdio>

extern int32_t screenWidth;    // pixels; default 640
extern int32_t screenHeight;   // pixels; default 480
extern int32_t bitsPerPixel;   // 0 asks SDL for the display's depth
extern int32_t fullScreen;     // non-zero: full screen
extern int32_t textureFilter;  // 0 nearest, 1 linear, 2 mipmapped
extern int32_t effectsVolume;  // 0 .. 100, clamped; default 100
extern int32_t musicVolume;    // 0 .. 100, clamped; default 60

// Puts the values back to their defaults.
void resetSettings();

// Reads the values from an open text file; nothing is reported.
void readSettings(FILE* file);

// Reads "vkt.txt" from the working directory, or reports its absence and
// keeps the defaults; then hands textureFilter to the texture store.
void loadSettings();
