// gview.h: the fixed camera of a match and what it shows.
//
// Draws every object of the engine's table in table order, then the two
// health bars. Clearing and swapping are the application's.
#pragma once

#include <cstdint>

class GEngine;

class GView {
public:
    // Where a health bar stands at full health, and how far it slides out
    // per point lost: the double nearest 100/501, so that a bar at health 0
    // stands at +-22.960079840319363.
    static constexpr double BAR_X_AT_FULL = 3.0;
    static constexpr double BAR_SLIDE_PER_POINT = 0.1996007984031936;
    static constexpr double BAR_Y = 15.6;
    static constexpr double BAR_Z = -40.0;
    // The bars' depth range starts here instead of at 0: a bar at BAR_Z
    // then lies behind everything in the field and in front of the
    // backdrop, which sits on the far plane.
    static constexpr double BAR_DEPTH_NEAR = 0.6;

    GView();
    virtual ~GView();

    // Not owned. Always true.
    bool setWorld(GEngine* world);

    // Needs the OpenGL context and the modelview matrix mode.
    void draw();
    // A mark (the replay's) in the lower left corner, over everything; -1
    // draws nothing.
    void drawMark(int32_t texture);

    // Where the mark stands, one unit in front of the eye: at the 45 degree
    // view of a 4:3 window that is 0.41 units up and 0.55 across from the
    // middle to the edges. The picture is 4 times wider than high.
    static constexpr float MARK_Z = -1.0f;
    static constexpr float MARK_LEFT = -0.53f;
    static constexpr float MARK_TOP = -0.33f;
    static constexpr float MARK_WIDTH = 0.2f;
    static constexpr float MARK_HEIGHT = 0.05f;

    // x of the right bar for a ship's health; the left bar stands at its
    // mirror image. Below 0 the bar slides further out.
    static double barOffset(int32_t health);

    GEngine* world;
    double eyeZ;  // the camera looks from (0, 0, eyeZ) down -z
};
