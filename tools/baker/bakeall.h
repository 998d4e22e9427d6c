// bakeall.h: the baker's one entry point, shared by the build's baker
// executable and the tests.
//
// Input: a directory. Output: every file the game loads, written into it:
// the 3DS and text models, the pictures, the textures the models'
// materials name, the sounds, and the settings file "vkt.txt".
#pragma once

#include <string>
#include <vector>

#include "baker/bmenulayout.h"

// Writes every file into directory, which must exist; existing files are
// replaced. Returns true when all were written; each failure has printed a
// message on standard error naming the file. fontDirectory holds the DejaVu
// TrueType files; null takes the directory the build found.
bool bakeAll(const char* directory, const char* fontDirectory = nullptr);

// Only the sounds (bsounds.h), as bakeAll writes them.
bool bakeSounds(const char* directory);

// The names bakeAll writes, in the order it writes them.
const std::vector<std::string>& bakedFileNames();

// What the menu's models, as bakeAll builds them, cover over a turn, and
// the layout bakeAll gives menu.jpg's lettering around it.
BMenuCoverage bakedMenuCoverage();
BMenuLayout bakedMenuLayout(const BMenuCoverage& coverage, const char* fontDirectory = nullptr);
