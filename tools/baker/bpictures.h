// bpictures.h: every picture the game shows, drawn by code.
//
// Input: the fonts. Output: canvases at the size of their file, ready for
// bimagefile.h. Each picture is laid out in the units of the quad that
// shows it (see the layout notes in bpictures.cpp), drawn with square
// pixels, then resampled to a power-of-two size, since OpenGL 1.1 takes no
// other texture sizes.
#pragma once

#include <string>

#include "baker/bcanvas.h"
#include "baker/bfont.h"
#include "baker/bmenulayout.h"
#include "baker/bpalette.h"

// The DejaVu faces the pictures use, from the directory that holds them.
struct BFonts {
    explicit BFonts(const std::string& directory);
    bool ok() const { return regular.ok() && bold.ok(); }

    BFont regular;  // DejaVuSans.ttf
    BFont bold;     // DejaVuSans-Bold.ttf
};

// What a victory picture announces.
enum class BOutcome { LeftWins, RightWins, Draw };

// "pozadi.jpg": the match's backdrop, 1024 x 1024.
BCanvas paintBackdrop();
// "pozadi_sky.jpg": the sky round the backdrop, 2048 x 1024 over
// GView's sky quad round the backdrop, its nebula going on from the backdrop's edges.
BCanvas paintBackdropSky();
// The main menu's lettering placed round what its models cover over a
// turn: blocks "title", "tagline", "left player", "right player", "start"
// and "help". ok() false when some block found no room.
BMenuLayout layOutMenu(const BFonts& fonts, const BMenuCoverage& coverage);
// "menu.jpg": the main menu's background with its lettering where the
// layout put it, 1024 x 1024.
BCanvas paintMenu(const BFonts& fonts, const BMenuLayout& layout);
// "menu_sky.jpg": the sky round the menu's picture, 2048 x 1024 over the
// menu's sky quad (mmenulayout.h), nebula and planet going on from the
// picture's edges; no lettering.
BCanvas paintMenuSky();
// "settings.jpg": the settings screen's background, the menu's sky with
// the title and a panel where MSettings places them, 1024 x 1024 over the
// menu's quad.
BCanvas paintSettings(const BFonts& fonts);
// "menu1.bmp" ... "menu6.bmp": the controller pictures for the choices 0
// (cursor keys), 1 (W A S D), 2 (computer), 3 (pilot), 4 (ace) and 5
// (master), 256 x 128.
BCanvas paintControls(const BFonts& fonts, int choice);
// replay.bmp: the mark shown while a match is watched again.
BCanvas paintReplayMark(const BFonts& fonts);
// "won_l.jpg", "won_r.jpg", "remiza.jpg", 2048 x 1024 over MVictory's quad.
BCanvas paintVictory(const BFonts& fonts, BOutcome outcome);
// The ships' hull texture for one side, 256 x 256.
BCanvas paintHull(BSide side);
