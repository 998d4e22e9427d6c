// gobject.h: the base of everything that lives in a match.
//
// A world object is a timed object (HTimedObject) that GWorld puts into its
// table and its timing wheel. It never deletes itself while the wheel walks:
// kill() only queues it, and GWorld calls remove() at the end of the step.
#pragma once

#include <cstdint>

#include "sched/htimedobject.h"

class GMovable;
class GShip;
class GWorld;

class GObject : public HTimedObject {
public:
    // Bits of `flags`.
    // The object can be struck in the collision pass (as the object tested
    // against a mover; a mover's own flags are not consulted).
    static constexpr int32_t COLLIDES = 1 << 0;
    // The object is a projectile: projectiles pass through one another.
    static constexpr int32_t PROJECTILE = 1 << 4;

    explicit GObject(GWorld* world);
    // Unschedules through HTimedObject: only safe once the object is out of
    // a running wheel advance, which remove() and GWorld guarantee.
    ~GObject() override;

    // Asks for deletion at the end of the current update. Idempotent: the
    // second and later calls do nothing. Without a world the object is
    // deleted at once, so the caller must not touch it afterwards.
    virtual void kill();

    // Leaves the world (wheel and table) and deletes the object. The object
    // must not be used afterwards. Only GWorld calls this, outside the wheel
    // advance.
    virtual void remove();

    // What the object is, for what saves and draws the world: the kinds a
    // match has, and OTHER for anything else (a test's probe).
    enum Kind : uint8_t { OTHER, SHIP, SHOT, BACKGROUND };
    virtual Kind kind() const { return OTHER; }

    // This object as a movable or a ship, or null. Every step asks the
    // table's first entries and every collision pass every entry, and a
    // virtual call costs a tenth of a dynamic_cast.
    virtual GMovable* asMovable() { return nullptr; }
    virtual GShip* asShip() { return nullptr; }
    const GMovable* asMovable() const { return const_cast<GObject*>(this)->asMovable(); }
    const GShip* asShip() const { return const_cast<GObject*>(this)->asShip(); }

    GWorld* world;  // not owned; may be null
    bool dying;      // kill() has been asked for
    int32_t flags;   // COLLIDES, PROJECTILE
};
