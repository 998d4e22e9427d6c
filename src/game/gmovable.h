// gmovable.h: a world object that moves, is steered and is drawn with a model.
//
// Each tick runs the movement step: the controller sets the five control
// flags, the flags give a thrust of `speed` per axis, the velocity blends
// towards the thrust by `response`, the object moves by its velocity and
// GWorld::checkCollisions tests it against the rest of the world. All of it
// in 32-bit floats, one rounding per stored result, so that a match replays
// the same on every machine for the same seed and flags.
#pragma once

#include <cstdint>

#include "assets/vec3.h"
#include "game/gobject.h"

class GController;
class HModel;

class GMovable : public GObject {
public:
    // `model` is drawn for the object and not owned (the match screen owns it); null
    // draws nothing.
    GMovable(GWorld* world, HModel* model);
    // Deletes the controller.
    ~GMovable() override;

    // The movement step (see the file comment).
    void tick() override;
    GMovable* asMovable() override { return this; }

    // Translated by `position`, then turned by `rotation` x, y, z (degrees),
    // in that order.
    void draw() override;

    // Takes ownership of `controller` (may be null) and deletes the one held
    // before. The controller must have been made for this object.
    virtual void setController(GController* controller);

    // The collision pass found this object touching `other`. True asks for a
    // bounce, which happens only when both sides say true. May damage,
    // kill() (never delete) and nothing else: the pass is walking the table.
    virtual bool collide(GObject* other);

    // Takes `amount` health points; only ships have health.
    virtual void damage(int32_t amount);

    GController* controller;  // owned; may be null
    HModel* model;            // not owned

    // Control flags, written by the controller before each movement step.
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
