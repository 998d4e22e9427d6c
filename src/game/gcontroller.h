// gcontroller.h: what steers a movable object, and the two keyboard players.
//
// A controller only writes its target's five control flags (up, down, left,
// right, fire); the target asks for that once per tick, at the start of its
// movement step, and does the moving and firing itself. The target owns its
// controller (GMovable::setController), so a controller never outlives it.
#pragma once

#include <cstdint>

#include <SDL.h>  // Required for: SDLKey

class GWorld;
class GMovable;

class GController {
public:
    // Neither pointer is owned. `world` is kept for controllers that look at
    // the match: the computer players.
    GController(GWorld* world, GMovable* target);
    virtual ~GController();

    // Sets the target's control flags; the base leaves them alone.
    virtual void control();

    GWorld* world;
    GMovable* target;
};

// Both keyboard players read SDL's key state array, which the main loop's
// event pump keeps current, so a flag is true for every tick during which
// its key is held. Each also follows one gamepad through thePads (gpads.h),
// which the same pump keeps current: a flag is true when its key or the pad
// asks for it. Holding both keys of a pair is allowed: the movement step
// decides (down beats up, right beats left).
class GKeyboardController : public GController {
public:
    struct Keys {
        SDLKey up, down, left, right, fire;
    };

    // `pad` is the index of the gamepad followed besides the keys.
    GKeyboardController(GWorld* world, GMovable* target, const Keys& keys, int32_t pad);
    // Writes all five flags on every call.
    void control() override;

    Keys keys;
    int32_t pad;
};

// The right-hand player by default: cursor keys, right Ctrl fires, and the
// first gamepad, so that with one pad the right player takes it while the
// left keeps W A S D.
class GArrowKeysController : public GKeyboardController {
public:
    GArrowKeysController(GWorld* world, GMovable* target);
};

// The left-hand player by default: W A S D, left Ctrl fires, and the second
// gamepad.
class GWasdController : public GKeyboardController {
public:
    GWasdController(GWorld* world, GMovable* target);
};
