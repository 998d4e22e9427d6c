// gview.h: the fixed camera of a match, what it draws with, and what it
// shows.
//
// Draws every object of a world's table in table order, each by its kind:
// a ship with its side's model, turned by its eased yaw (or nothing, once
// its health has run out: it has broken up); a shot with the model of its
// ship's side; the backdrop with its pictures. Then the two health bars,
// and the effects (screens/geffects.h) over everything; a ship struck and
// its bar flash. The world knows nothing of any of this: drawing is the
// view's alone. Clearing and swapping are the application's.
#pragma once

#include <cstdint>

#include "assets/vec3.h"
#include "game/gevent.h"
#include "screens/geffects.h"

class GMovable;
class GWorld;
class HModel;
struct HModelData;

class GView {
public:
    // Where a health bar's model stands at full health (its origin; the
    // left bar's at the mirror image). As health goes, the bar is squeezed
    // along x towards the window's edge at its depth (or towards its own
    // outer end, for a bar that stops short of the edge), so that what is
    // seen of it is the health's share of what is seen at full health, in
    // a window of any width; at 0 and below nothing of it is drawn. Sliding
    // it out instead, as it once did, made the share depend on the width:
    // a wrecked ship's bar kept 30 % of its length at 16:9 and a stub at
    // 4:3.
    static constexpr double BAR_X_AT_FULL = 3.0;
    static constexpr double BAR_Y = 15.6;
    static constexpr double BAR_Z = -40.0;
    // The bars' depth range starts here instead of at 0: a bar at BAR_Z
    // then lies behind everything in the field and in front of the
    // backdrop, which sits on the far plane.
    static constexpr double BAR_DEPTH_NEAR = 0.6;

    // The backdrop's picture, one quad of 110 by 86 units at z = -100 that
    // fills the fixed camera's view of a 4:3 window.
    static constexpr const char* BACKDROP_PICTURE = "pozadi.jpg";
    // The sky round it, drawn first in the same plane: the sides of a
    // window wider than 4:3 up to 21:9 (98 units either side at z = -100)
    // and the top and bottom of a narrower one down to 5:4 (44 up and
    // down). A missing sky leaves the view as black round the picture as it
    // was without one.
    static constexpr const char* SKY_PICTURE = "pozadi_sky.jpg";
    static constexpr float SKY_HALF_WIDTH = 100.0f;
    static constexpr float SKY_HALF_HEIGHT = 50.0f;

    GView();
    // Deletes the models and releases the pictures.
    virtual ~GView();
    GView(const GView&) = delete;
    GView& operator=(const GView&) = delete;

    // Reads the six models from the working directory, in this order:
    // "ship.3ds", "ship2.3ds", "lives_right.txt", "lives_left.txt",
    // "zat.3ds", "zat2.3ds". A model that cannot be read stays empty (its
    // reader says why) and draws nothing. The effects take each side's
    // colour from its health bar.
    void loadModels();
    // Loads the backdrop's pictures into theTextureStore (needs the OpenGL
    // context). A failed load keeps -1: the quad is then drawn in white with
    // whatever texture was bound last.
    void loadBackdrop();

    // Not owned; may be null (nothing but the camera is drawn). Always true.
    bool setWorld(const GWorld* world);

    // Needs the OpenGL context and the modelview matrix mode. The field is
    // drawn under the projection found set, widened when the window is too
    // narrow for it (see FIELD_FILL); the backdrop, the bars and whatever
    // is drawn after keep the projection as found.
    void draw();
    // The ship of `side` jumped by -`jump` (a network match corrected its
    // guess): it is drawn where it was, and eased to where it is over the
    // next few frames. The world is never moved.
    void ease(GSide side, Vec3 jump);
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

    // How much of a bar shows for a ship's health: 1 at full health (and
    // above), 0 at 0 and below, proportional between.
    static double barShare(int32_t health);

    // The ships' plane: both start at z = -50 (gworld.cpp) and no thrust
    // moves them along z.
    static constexpr double FIELD_DEPTH = 50.0;
    // A window too narrow to show a ship anywhere in the field, whole,
    // widens the match's view (and only the match's: the menu keeps the
    // shell's projection) until the furthest ship stands this share of the
    // way from the middle to the window's edge. A window wide enough keeps
    // its view untouched.
    static constexpr double FIELD_FILL = 0.99;
    // The furthest any ship model reaches across and up, as x / depth and
    // y / depth, with the ship at a corner of the field, facing either way
    // and rocked to either end of its wobble; set by loadModels (0 for
    // empty models). A ship caught in the middle of its turn can reach
    // further up (its length then swings up as it rocks): not counted, or
    // every window would lose 3 % of its view for a moment's overhang.
    double fieldReachX;
    double fieldReachY;
    // Widens `reachX` and `reachY` to what `data`'s ship reaches, measured
    // as for fieldReachX and fieldReachY (vk-modelinfo --check tells model
    // makers how far their ship widens a window's view).
    static void widenFieldReach(const HModelData& data, double& reachX, double& reachY);

    // Owned; null before loadModels.
    HModel* rightShipModel;
    HModel* leftShipModel;
    HModel* rightHealthBar;
    HModel* leftHealthBar;
    HModel* rightShotModel;  // the right ship's shots
    HModel* leftShotModel;
    int32_t backdrop;  // texture index of BACKDROP_PICTURE, -1 for none
    int32_t sky;       // SKY_PICTURE's, likewise

    const GWorld* world;
    GEffects effects;
    double eyeZ;  // the camera looks from (0, 0, eyeZ) down -z
    // What is left of each ship's eased jump, by GSide; drawn on top of its
    // position, and shrunk by EASE_KEEP at every frame.
    Vec3 eased[2];
    static constexpr float EASE_KEEP = 0.6f;

private:
    // Translated by `position`, then turned by `rotation` x, `yaw` about y
    // and `rotation` z (degrees), in that order.
    static void drawMovable(const GMovable& movable, float yaw, HModel* model, Vec3 offset = Vec3());
    void drawBackdrop() const;
    void drawBars(const double* projection);
};
