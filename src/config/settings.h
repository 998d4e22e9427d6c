// settings.h: the values of the settings file "vkt.txt".
//
// The file holds up to eight whitespace-separated decimal integers in this
// order; reading stops at the first item that is not one, and every value
// not read keeps its default. Nothing after the eighth integer is read, so
// the file may go on with free text explaining them. The two volumes and
// the frame limit came later: a file of five numbers and notes still reads
// as it always did, unless its notes start with a number. A game from
// before the frame limit reads seven numbers and stops, so a file with an
// eighth still reads there as it did.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

extern int32_t screenWidth;    // pixels; default 640
extern int32_t screenHeight;   // pixels; default 480
extern int32_t bitsPerPixel;   // 0 asks SDL for the display's depth
extern int32_t fullScreen;     // non-zero: full screen
extern int32_t textureFilter;  // 0 nearest, 1 linear, 2 mipmapped
extern int32_t effectsVolume;  // 0 .. 100, clamped; default 100
extern int32_t musicVolume;    // 0 .. 100, clamped; default 60
// Frames a second the main loop draws at most; 0 draws unpaced, as many as
// it can. Clamped to 0 .. MAX_FRAME_LIMIT.
extern int32_t frameLimit;
constexpr int32_t DEFAULT_FRAME_LIMIT = 120;
// Past a frame a millisecond the limit could not be kept by the clock the
// loop reads (SDL_GetTicks, whole milliseconds).
constexpr int32_t MAX_FRAME_LIMIT = 1000;

// Puts the values back to their defaults.
void resetSettings();

// Reads the values from an open text file; nothing is reported.
void readSettings(FILE* file);

// Reads "vkt.txt" from the working directory, or reports its absence and
// keeps the defaults; then hands textureFilter to the texture store.
void loadSettings();

// The file as the settings screen writes it: the seven numbers, then a
// line naming them, which a game of any version reads past. The frame limit
// is written as an eighth number only when it is not the default, so that
// a player who never set one gets the file byte for byte as before, and
// the file keeps following the default should it change.
std::string settingsText();
// Writes "vkt.txt" with settingsText(); false, with a line on standard
// error, when it could not be written.
bool saveSettings();

// Writes `text` to `path` through `path`.tmp and a rename, as the replay is
// written, so that a crash or a full disk leaves the old file whole. False,
// with "Unable to write PATH: REASON" on standard error, on failure.
bool writeTextFile(const char* path, const std::string& text);
