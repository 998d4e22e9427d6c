// mmenulayout.h: where the main menu puts each thing it draws.
//
// One place for the numbers, because two readers depend on them: the menu
// draws by them, and the artwork baker lays the menu picture's lettering
// out around what the models sweep and the controller pictures cover, from
// the same numbers (tools/baker/bmenucoverage.cpp). A placement moved here
// moves the lettering with it at the next bake.
//
// Units are the menu's world units; the whole menu is pushed MENU_PUSH
// further from the eye than its coordinates say.
#pragma once

constexpr float MENU_PUSH = 2.2f;

// The backdrop picture's quad: 36 by 28 units, MENU_PICTURE_Z away (before
// the push).
constexpr float MENU_PICTURE_HALF_WIDTH = 18.0f;
constexpr float MENU_PICTURE_HALF_HEIGHT = 14.0f;
constexpr float MENU_PICTURE_Z = -30.0f;

// The sky round the picture ("menu_sky.jpg"), in the picture's plane and
// drawn behind it: the picture fills a 4:3 window, the sky the sides of a
// wider one up to 21:9 (31.6 units either side) and the top and bottom of
// a narrower one down to 5:4 (14.2 units up and down).
constexpr float MENU_SKY_HALF_WIDTH = 32.0f;
constexpr float MENU_SKY_HALF_HEIGHT = 16.0f;

// A model: translated to (x, y, z), turned by the menu's angle about the
// axis (not normalised: glRotatef normalises it), scaled by `scale`.
struct MMenuPlacement {
    float x, y, z;
    float axisX, axisY, axisZ;
    float scale;
};

// The ships turn in opposite senses about mirrored, tilted axes.
constexpr MMenuPlacement MENU_LOGO = {8.0f, -6.0f, -20.0f, 0.0f, 1.0f, 0.0f, 0.4f};
constexpr MMenuPlacement MENU_LEFT_SHIP = {-7.0f, 0.0f, -20.0f, 0.0f, 1.0f, 0.4f, 1.0f};
constexpr MMenuPlacement MENU_RIGHT_SHIP = {7.0f, 0.0f, -20.0f, 0.0f, -1.0f, -0.4f, 1.0f};

// A controller picture's quad, just in front of the eye.
struct MMenuQuad {
    float left, top, right, bottom, z;
};
constexpr MMenuQuad MENU_LEFT_CHOICE_QUAD = {-0.66f, -0.2f, -0.26f, -0.4f, 0.1f};
constexpr MMenuQuad MENU_RIGHT_CHOICE_QUAD = {0.26f, -0.2f, 0.66f, -0.4f, 0.1f};

// Degrees the models turn per millisecond.
constexpr float MENU_TURN_PER_MS = 0.125f;
