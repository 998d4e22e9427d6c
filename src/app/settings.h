// settings.h: the five values of the settings file "vkt.txt".
//
// The file holds five whitespace-separated decimal integers in this order;
// reading stops at the first item that is not one, and every value not read
// keeps its default. Nothing after the fifth integer is read, so the file may
// go on with free text explaining them.
#pragma once

#include <cstdint>
#include <cstdio>

extern int32_t screenWidth;    // pixels; default 640
extern int32_t screenHeight;   // pixels; default 480
extern int32_t bitsPerPixel;   // 0 asks SDL for the display's depth
extern int32_t fullScreen;     // non-zero: full screen
extern int32_t textureFilter;  // 0 nearest, 1 linear, 2 mipmapped

// Puts the five values back to their defaults.
void resetSettings();

// Reads the five values from an open text file; nothing is reported.
void readSettings(FILE* file);

// Reads "vkt.txt" from the working directory, or reports its absence and
// keeps the defaults; then hands textureFilter to the texture store.
void loadSettings();
