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

    // Needs the OpenGL context and the modelview matrix mode.
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

    // x of the right bar for a ship's health; the left bar stands at its
    // mirror image. Below 0 the bar slides further out.
    static double barOffset(int32_t health);

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
};
