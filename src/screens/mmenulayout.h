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

// The keys panel of a keyboard choice ("menu1.bmp", "menu2.bmp"): the
// baker paints the caps bare, and the menu writes the bound keys on them
// at run time. In the picture's pixels, from its top left corner.
constexpr float KEYS_PANEL_WIDTH = 256.0f;
constexpr float KEYS_PANEL_HEIGHT = 128.0f;
// Four movement keys in the usual inverted T: up over down, left and
// right beside down. A cap is KEYS_PANEL_KEY square.
constexpr float KEYS_PANEL_KEY = 36.0f;
constexpr float KEYS_PANEL_GAP = 4.0f;
constexpr float KEYS_PANEL_LEFT = 12.0f;  // the left cap's left edge
constexpr float KEYS_PANEL_TOP = 12.0f;   // the up cap's top edge
// The fire key, a wide cap: left edge, vertical centre, size. Its side
// (LEFT, RIGHT) goes above it when the key has one.
constexpr float KEYS_PANEL_FIRE_LEFT = 146.0f;
constexpr float KEYS_PANEL_FIRE_CENTRE = KEYS_PANEL_TOP + KEYS_PANEL_KEY * 0.5f + (KEYS_PANEL_KEY + KEYS_PANEL_GAP) * 0.5f + 6.0f;
constexpr float KEYS_PANEL_FIRE_WIDTH = 98.0f;
constexpr float KEYS_PANEL_FIRE_HEIGHT = 38.0f;

// Degrees the models turn per millisecond.
constexpr float MENU_TURN_PER_MS = 0.125f;
