// bmenucoverage.h: where the main menu's turning models can be seen, as
// a map over its background picture.
//
// Input: the models the menu turns (as built for ship2.3ds, ship.3ds and
// logo.3ds). Output: the union, over a whole turn, of the places on the
// picture that each model hides, in picture units.
//
// Picture units are those of the quad that shows "menu.jpg": x -18 .. 18
// left to right, y -14 .. 14 bottom to top, the quad MENU_PICTURE_DEPTH in
// front of the eye. The menu's draw is fixed (screens/mmainmenu.cpp): a
// 45 degree perspective from the origin, and each model translated,
// turned by the same angle about its own axis and scaled. A model's point
// hides the picture where the ray from the eye through it meets the quad,
// at (x, y) * MENU_PICTURE_DEPTH / -z; so the map is worked out by
// projecting the models' triangles, with no OpenGL.
//
// One map serves every window shape. A window's aspect only changes how
// much of the scene it shows and how wide it draws it: the ray from the
// eye through a model's point meets the quad in the same place whatever
// the window, so the picture under a model is the same. What the aspect
// does decide is which part of the quad is on screen (app/viewshape.h):
// |y| < 13.34 and |x| < 17.78 in a 4:3 window, more at the sides in a
// wider one and more above and below in a narrower one, so that every
// window from 5:4 to 21:9 shows VISIBLE_4_3 below, and the sky round the
// picture fills the rest.
#pragma once

#include <vector>

#include "assets/vec3.h"
#include "screens/mmenulayout.h"

// Distance of the picture's quad from the eye; its size is the menu's.
constexpr float MENU_PICTURE_DEPTH = MENU_PUSH - MENU_PICTURE_Z;

// A rectangle in picture units, x0 < x1, y0 < y1 (y up).
struct BRect {
    float x0, y0, x1, y1;
    float width() const { return x1 - x0; }
    float height() const { return y1 - y0; }
    bool overlaps(const BRect& other) const {
        return x0 < other.x1 && other.x0 < x1 && y0 < other.y1 && other.y0 < y1;
    }
    BRect grown(float by) const { return {x0 - by, y0 - by, x1 + by, y1 + by}; }
};

// The part of the picture a 4:3 window shows: tan(22.5 degrees) *
// MENU_PICTURE_DEPTH high on either side, 4/3 of that wide.
extern const BRect VISIBLE_4_3;

// How the menu draws one model: translated to where, turned about which
// axis (not normalised, as glRotatef takes it), scaled by how much.
struct BMenuPlacement {
    Vec3 where;
    Vec3 axis;
    float scale;
};

// The menu's three models, in the order it draws them.
extern const BMenuPlacement MENU_LOGO_TURN, MENU_LEFT_SHIP_TURN, MENU_RIGHT_SHIP_TURN;

// Where the two controller pictures, drawn 2.1 units from the eye in
// front of everything, fall on the picture.
extern const BRect MENU_LEFT_CHOICE, MENU_RIGHT_CHOICE;

// Angles sampled over a turn, and how far each sample's coverage is grown:
// at one degree a step, no point of the menu's models (at most 3.3 units
// from its axis, at least 18.9 from the eye) moves more than 0.1 picture
// units between two samples; 0.15 also closes the gaps left by triangles
// thinner than a cell.
constexpr int MENU_TURN_STEPS = 360;
constexpr float MENU_STEP_GROWTH = 0.15f;

class BMenuCoverage {
public:
    // A blank map with cellsPerUnit cells along each picture unit.
    explicit BMenuCoverage(int cellsPerUnit = 20);

    // Adds what a model hides over a whole turn: its triangles' corners,
    // three a triangle in model coordinates (BModelFile::triangles), turned
    // through `steps` angles spread evenly from 0 to 360 degrees. Between
    // two steps a point moves at most its distance from the axis times the
    // step; dilate() covers that.
    void addTurn(const std::vector<Vec3>& triangles, const BMenuPlacement& placement, int steps);
    // Grows every covered cell by `by` picture units in each direction.
    void dilate(float by);
    // Adds another map of the same resolution.
    void add(const BMenuCoverage& other);

    // True when some covered cell's centre lies inside r.
    bool meets(const BRect& r) const;
    // True when the picture point (x, y) is covered.
    bool covered(float x, float y) const;
    // The smallest rectangle holding every covered cell; all zero when
    // none is.
    BRect bounds() const;

private:
    void fillTriangle(float ax, float ay, float bx, float by, float cx, float cy);
    void cellsIn(const BRect& rect, int& c0, int& c1, int& r0, int& r1) const;
    int column(float x) const;
    int row(float y) const;

    int perUnit, columns, rows;
    std::vector<unsigned char> cells;  // rows top to bottom
};

// The whole menu: what the logo and the two ships, given as their
// triangles' corners, hide over a turn, sampled and grown as above.
BMenuCoverage menuCoverage(const std::vector<Vec3>& logo, const std::vector<Vec3>& leftShip,
                           const std::vector<Vec3>& rightShip);
