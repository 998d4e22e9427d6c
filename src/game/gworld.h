// gworld.h: the world of one match, without a window.
//
// Input: a seed and, tick by tick, the five control flags each ship flies
// by, which it asks of `steering` (the match, GMatch) at the start of each
// of its ticks. Output: the state of every object, the events of each step
// and the end. Nothing here draws, reads a device or a file or looks at the
// clock, so a match runs the same in the game, in a test and in a tool.
//
// Steps. Time moves on one millisecond at a time (step()). Each step, in
// this order: the wheel advances by 1 ms (every object whose period came
// round ticks: ships steer, move, collide and fire; shots fly); the ships
// turn to face each other; the end test; the deletion of the objects that
// died in the step. A longer stretch of time is cut into steps, so the
// match does not depend on how the time arrived: 33 ms at once and 33
// passes of 1 ms give the same world.
//
// The table. A fixed table of MAX_OBJECTS objects, all scheduled in `wheel`.
// After setUpMatch, entry 0 is the right ship, entry 1 the left ship and
// entry 2 the background; only projectiles ever leave, and removal moves the
// last entry into the freed place, so those three never move.
//
// Deaths. Nothing is deleted while the wheel advances. An object that dies
// calls kill(), which queues it here; it stays in the table and the wheel,
// still ticking and colliding, until the end of its step.
//
// Saving. Between steps the whole state that decides the world's future
// (every object of the table with its place in the wheel, the wheel's time,
// the random source, the time and the end) can be copied into a
// GWorldState, a plain value, and put back later, bit for bit
// (gworldstate.cpp). The events are not in it: they are what a step said,
// not what the next one depends on.
#pragma once

#include <cstdint>

#include "assets/vec3.h"
#include "game/gevent.h"
#include "game/gobject.h"
#include "game/grandom.h"
#include "sched/htimerwheel.h"

class GMovable;
class GShip;

// Who sets a ship's flags at the start of its tick.
class GSteering {
public:
    virtual ~GSteering() {}
    // Sets the five flags `ship` flies by in the tick it is starting.
    virtual void steer(GShip& ship) = 0;
};

struct GWorldState;

class GWorld {
public:
    static constexpr int32_t MAX_OBJECTS = 30;
    // A ship at this health or below has fallen low: a fifth of full.
    static constexpr int32_t LOW_HEALTH = 20;

    GWorld();
    // Removes and deletes every object.
    ~GWorld();
    // Removes and deletes every object, queued ones included.
    void clear();

    GWorld(const GWorld&) = delete;
    GWorld& operator=(const GWorld&) = delete;

    // Seeds the random source, then makes the right ship and the left one
    // (each draws its tilt in that order) and the background. Call once, on
    // an empty world. Returns whether both ships went in.
    bool setUpMatch(uint32_t seed);

    // One millisecond, as the file comment says. Does nothing once the match
    // is over.
    void step();
    // `ms` steps, fewer when the match ends on the way. Returns the steps
    // taken.
    int32_t advance(int32_t ms);

    // Turns each ship to face the other; at equal x the left one takes 0
    // degrees. The ships ease their drawn turn towards this and aim by it.
    void faceShips();
    // Whether a ship's health is 0 or less; the first time it is, records
    // the end (endMs, the event). Reports a ship's first fall to LOW_HEALTH.
    bool testEnd();

    // Puts `object` into the table and the wheel and sets it active. False,
    // changing nothing (the caller keeps the object), for null, a full table,
    // an object whose `world` is not this one, or an object the wheel
    // refuses (already scheduled, negative delay).
    bool addObject(GObject* object);
    // Takes `object` out of the wheel and, if it is there, out of the table
    // (the last entry fills its place). Does not delete it. Not during an
    // advance: only flushDeletions and the destructor call it.
    void removeObject(GObject* object);
    // Remembers `object` for deletion at the end of the current step.
    // GObject::kill is the way in; an object already queued is not queued
    // twice.
    void queueDeletion(GObject* object);
    // Removes and deletes every queued object.
    void flushDeletions();
    // The collision pass for an object that has just moved (gcollisions.cpp).
    void checkCollisions(GMovable* mover);
    // Whether the collision pass's box test finds `a` and `b` touching where
    // they stand; false when either is null.
    static bool touching(const GMovable* a, const GMovable* b);

    // Entries 0 and 1 as ships; null before setUpMatch.
    GShip* rightShip() const;
    GShip* leftShip() const;
    // The ship of SIDE_LEFT or SIDE_RIGHT; null for SIDE_NONE or before
    // setUpMatch.
    GShip* shipOf(GSide side) const;
    // SIDE_LEFT or SIDE_RIGHT for the two ships, SIDE_NONE for anything else.
    GSide sideOf(const GObject* object) const;

    // Adds an event of the current step to `events`.
    void report(GEvent::Kind kind, GSide side, float x, const Vec3& at);

    // A 64-bit FNV-1a hash of the time and of every object's state in table
    // order (floats by their bits). Equal hashes after equal steps mean the
    // same match, to the last bit.
    uint64_t stateHash() const;

    // Copies the world into `state`. Only between steps, with nothing queued
    // for deletion. False, with `state` unspecified, for a world holding an
    // object of a kind no match has (GObject::OTHER) or one not scheduled.
    bool save(GWorldState& state) const;
    // Makes the world what `state` says: the objects of the table that can
    // stay are written over in place, the others go, and missing ones are
    // made anew. Only between steps. False when an object could not be made
    // (no memory); the world is then unspecified.
    bool restore(const GWorldState& state);

    GObject* objects[MAX_OBJECTS];  // owned; 0..objectCount-1 occupied, rest null
    int32_t objectCount;
    GObject* pending[MAX_OBJECTS];  // queued by kill(), still in objects
    int32_t pendingCount;
    HTimerWheel wheel;
    // The match's seed, and the source the ships' tilts and the computer
    // player draw from. A controller that wants numbers of its own seeds its
    // own source from `seed`, so that it takes none meant for others.
    uint32_t seed;
    GRandom random;

    uint32_t elapsedMs;  // steps taken since setUpMatch
    bool over;           // a ship's health ran out; no more steps
    uint32_t endMs;      // the step it ran out in, once over
    bool lowReported[2];  // LOW_HEALTH already reported, by GSide
    // What happened, oldest first. The world only adds to it: whoever reads
    // it clears it.
    GEventList events;
    // Asked for the ships' flags; not owned. Null: nobody steers, and the
    // ships keep whatever flags they have.
    GSteering* steering;
};

// A world as a value (GWorld::save and restore).
struct GWorldState {
    struct Object {
        GObject::Kind kind;
        bool dying;
        int8_t owner;   // a shot's ship, by its entry in the table; -1 none
        uint8_t order;  // its place in its wheel list, 0 the first
        int32_t flags;
        // HTimedObject
        int32_t delay, everyFrame, active, period;
        uint32_t tickCount, timeSpan;
        int32_t fixedPoint, fractional, longPeriod;
        uint32_t accumulator, accumulatorStep;
        int32_t slot;
        // GMovable
        bool up, down, left, right, fire;
        Vec3 position, velocity, thrust, rotation;
        float response, speed;
        Vec3 extent;
        float mass;
        Vec3 previousPosition;
        // GShip
        int32_t cooldown, health;
        float yaw, wobbleStep;
    };
    Object objects[GWorld::MAX_OBJECTS];
    int32_t objectCount;
    int32_t wheelCurrent;
    uint32_t seed;
    GRandom random;
    uint32_t elapsedMs;
    bool over;
    uint32_t endMs;
    bool lowReported[2];
};
