// bmodels.h: the shapes of the game: ships, bolts, the logo and the
// health bars.
//
// Input: the side (bpalette.h). Output: models in model space, ready to be
// written, and the text of the one-triangle health bar files.
//
// Sizes come from where the game puts them:
// - A ship's collision box has half-sizes (2.8, 0.9, 10.0) in the world;
//   its draw only turns it by its yaw (0 or 180 degrees about y) and rocks
//   it about x, so the model fills x -2.8 .. 2.8 (nose at -x: the ship at
//   yaw 0 fires towards -x), y -0.9 .. 0.9 and z -10 .. 10. It is a short
//   fuselage with wings that span the depth of the field, wingtip pods and
//   fins.
// - A bolt's box has half-sizes (1, 1, 5): a row of glowing hoops along z
//   that face the camera, so that it shines under the game's headlight
//   whichever way the firing ship was rocking.
// - The logo is drawn at 0.4 scale in the menu: VEKTORAK in 20 units.
// - A health bar is drawn at (+-3 - (100 - health) * 0.1996, 15.6, -40):
//   at depth 40 a 4:3 view is 22.09 units wide on either side, so a bar
//   from 0 to 18.8 units outward ends at 21.8 when full and starts at
//   22.96, out of sight, at health 0.
#pragma once

#include <string>

#include "baker/bmeshbuilder.h"
#include "baker/bpalette.h"

// Texture file that a side's ship hull names.
std::string hullTextureName(BSide side);

BModelFile buildShip(BSide side);
BModelFile buildBolt(BSide side);
BModelFile buildLogo();

// Length of a health bar from its inner end to its point, in units.
constexpr float HEALTH_BAR_LENGTH = 18.8f;
// Half the height of its inner end.
constexpr float HEALTH_BAR_HALF_HEIGHT = 0.6f;
// The text model: colour, then the three corners, pointing outward.
std::string healthBarText(BSide side);
