// bpalette.h: the colours that tie models and pictures together.
//
// Each player has a colour: the right player (ship.3ds, its bolts zat.3ds,
// lives_right.txt, won_r.jpg) is ember orange; the left player (ship2.3ds,
// zat2.3ds, lives_left.txt, won_l.jpg) is ice blue. Everything a player
// sees of one side wears that side's colour.
#pragma once

#include <cstdint>

#include "baker/bcanvas.h"

struct BRgb8 {
    uint8_t r, g, b;
};

inline BColour toColour(BRgb8 c) {
    return {static_cast<float>(c.r) / 255.0f, static_cast<float>(c.g) / 255.0f, static_cast<float>(c.b) / 255.0f};
}

// Which player a piece of artwork belongs to.
enum class BSide { Left, Right };

struct BTeam {
    BRgb8 main;    // the side's colour at full strength
    BRgb8 light;   // a paler tint for text and highlights
    BRgb8 bolt;    // the projectile's glow
};

inline BTeam teamOf(BSide side) {
    if (side == BSide::Left) return {{40, 150, 255}, {170, 225, 255}, {120, 230, 255}};
    return {{255, 110, 30}, {255, 205, 150}, {255, 220, 90}};
}
