// gmovable.h: a world object that moves by its five control flags.
//
// Each tick runs the movement step: the flags (set by whoever steers the
// object before the step, or left as they are) give a thrust of `speed` per axis, the velocity blends
// towards the thrust by `response`, the object moves by its velocity and
// GWorld::checkCollisions tests it against the rest of the world. All of it
// in 32-bit floats, one rounding per stored result, so that a match replays
// the same on every machine for the same seed and flags.
#pragma once

#include <cstdint>

#include "assets/vec3.h"
#include "game/gobject.h"

class GMovable : public GObject {
public:
    explicit GMovable(GWorld* world);

    // The movement step (see the file comment).
    void tick() override;
    GMovable* asMovable() override { return this; }

    // The collision pass found this object touching `other`. True asks for a
    // bounce, which happens only when both sides say true. May damage,
    // kill() (never delete) and nothing else: the pass is walking the table.
    virtual bool collide(GObject* other);

    // Takes `amount` health points; only ships have health.
    virtual void damage(int32_t amount);

    // Control flags: what the object flies by in its movement step.
    bool up;     // thrust towards +y
    bool down;   // thrust towards -y; wins over up
    bool left;   // thrust towards -x
    bool right;  // thrust towards +x; wins over left
    bool fire;   // read by GShip

    Vec3 position;  // world units; set by the creator before addObject
    Vec3 velocity;  // world units per tick
    Vec3 thrust;    // the velocity the flags ask for, per tick
    Vec3 rotation;  // degrees about x, y, z
    // Share of the way from velocity to thrust covered each tick, 0..1:
    // 1.0 follows the flags at once, 0.1 gives inertia.
    float response;
    float speed;     // thrust per axis, world units per tick
    Vec3 extent;     // half-size of the collision box, world units
    float mass;      // weighs the exchange of a bounce; never 0
    // Where the latest movement step started; a bounce puts the object back
    // here. Meaningless before the first step.
    Vec3 previousPosition;
};
