// bmodels.h: the shapes of the game: ships, bolts, the logo and the
// health bars.
//
// Input: the side (bpalette.h). Output: models in model space, ready to be
// written, and the text of the one-triangle health bar files.
//
// Sizes come from where the game puts them:
// - A ship's collision box has half-sizes (2.8, 0.9, 10.0) in the world;
//   its draw only turns it by its yaw (0 or 180 degrees about y) and rocks
//   it by up to 31 degrees about x. The match's camera looks along z, so
//   what a player sees is the ship's side, x by y: the hull fills x -2.8 ..
//   2.8 (nose at -x: the ship at yaw 0 fires towards -x) and y -0.9 .. 0.9.
//   The box's 20 units of depth are left empty: anything far out in z
//   would swing far above and below the box as the ship rocks, so the
//   wings reach only 1.75 either side, which rocking moves to 0.96. The
//   menu turns each ship about a point 7 units from the centre of a window
//   that is 12.3 units wide on either side there (4:3), so a ship that
//   stays within 3 units of its origin keeps to its own half.
// - A bolt's box has half-sizes (1, 1, 5): a comet 2 long along its
//   flight, flat in z for the same reason as the ships.
// - The logo is drawn at 0.4 scale, turning about y at (8, -6, -22.2): at
//   half a width of LOGO_HALF_WIDTH it reaches 17.1 units across the
//   menu's picture (which a 4:3 window shows to 17.8) when an end swings
//   towards the camera. The baker's menu layout (bmenulayout.h) measures
//   exactly what it covers.
// - A health bar: see the constants below.
#pragma once

#include <string>

#include "baker/bmeshbuilder.h"
#include "baker/bpalette.h"
#include "screens/gview.h"

// Texture file that a side's ship hull names.
std::string hullTextureName(BSide side);

BModelFile buildShip(BSide side);
BModelFile buildBolt(BSide side);
BModelFile buildLogo();

// Half the logo's width, in model units.
constexpr float LOGO_HALF_WIDTH = 8.2f;
// Half a bolt's length along its flight.
constexpr float BOLT_HALF_LENGTH = 1.0f;

// The health bars. The game draws a bar at (+-BAR_ANCHOR_X, BAR_ANCHOR_Y,
// -BAR_ANCHOR_DEPTH) and, as health goes, squeezes it along x towards the
// window's edge, so that what a player sees of it is the health's share of
// what shows at full health, whatever the window. The bar lies at that
// depth, 40 units away, where the narrowest window the game lays out for
// (4:3; a 5:4 one keeps its width) is 22.09 units wide on either side and
// a 21:9 one 38.66. Its inner end stands at HEALTH_BAR_INNER_X, next to the
// middle; its point stands past the edge of a 21:9 window, so that the bar
// runs to the edge, and shrinks from there, in every window up to 21:9.
constexpr float BAR_ANCHOR_X = static_cast<float>(GView::BAR_X_AT_FULL);
constexpr float BAR_ANCHOR_Y = static_cast<float>(GView::BAR_Y);
constexpr float BAR_ANCHOR_DEPTH = static_cast<float>(-GView::BAR_Z);
constexpr float HEALTH_BAR_DEPTH = 40.0f;
// World x of the inner end and of the point at full health, at that depth.
constexpr float HEALTH_BAR_INNER_X = 0.5f;
constexpr float HEALTH_BAR_OUTER_X = 39.5f;
// Height of the bar's middle, and half the height of its inner end: from 3
// to 14 pixels below the top of a 480-pixel window, clear of the left ship
// where it starts (y 18 at depth 50, whose fins reach up to pixel 15 at the
// steepest tilt).
constexpr float HEALTH_BAR_Y = 16.0f;
constexpr float HEALTH_BAR_HALF_HEIGHT = 0.38f;
// The text model: colour, then the three corners, pointing outward.
std::string healthBarText(BSide side);
