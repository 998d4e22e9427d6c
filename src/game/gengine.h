// gengine.h: the match screen, owner of the world of one match.
//
// Transitions: Escape -> menu (showMenu, from keyDown; this engine is
// destroyed inside that call). A ship's health at 0 or less at the end of an
// update -> result (showResult, from inside update; the application keeps
// this engine alive until update has returned and then deletes it).
//
// The world is a fixed table of MAX_OBJECTS objects, all scheduled in
// `wheel`. After setUpMatch, entry 0 is the right ship, entry 1 the left
// ship and entry 2 the background; only projectiles ever leave, and removal
// moves the last entry into the freed place, so those three never move.
//
// Deaths: nothing is deleted while the wheel advances. An object that dies
// calls kill(), which queues it here; it stays in the table and the wheel,
// still ticking and colliding, until flushDeletions() at the end of update.
#pragma once

#include <cstdint>

#include "app/hscreen.h"
#include "app/matchresult.h"
#include "assets/vec3.h"
#include "game/gview.h"
#include "sched/htimerwheel.h"

class GMovable;
class GObject;
class GShip;
class HApplication;
class HModel;

class GEngine : public HScreen {
public:
    static constexpr int32_t MAX_OBJECTS = 30;

    // Loads the six models from the working directory. A model that cannot
    // be read stays empty (its reader says why) and the match goes on.
    explicit GEngine(HApplication* application);
    // Removes and deletes every object, then the models.
    ~GEngine() override;

    GEngine(const GEngine&) = delete;
    GEngine& operator=(const GEngine&) = delete;

    // Creates the right ship, then the left one (each draws its tilt from
    // rand() in that order), each with the controller its choice names (any
    // value outside 0..2: none), and the background. Call once, right after
    // construction. Returns whether the background went in.
    bool setUpMatch(ControllerChoice leftChoice, ControllerChoice rightChoice);

    // Escape leaves for the menu (and destroys this engine: nothing may
    // follow the call); 'p' toggles the pause.
    void keyDown(uint8_t key) override;
    // Advances the wheel by `elapsedMs`, turns the ships to face each other,
    // tests for the end and deletes the dead. Paused: does nothing, and the
    // time is not made up later.
    void update(int32_t elapsedMs) override;
    void draw() override;
    // Facing, then the end test: hands a MatchResult to the application when
    // either ship's health is 0 or less.
    void checkEnd() override;

    // Puts `object` into the table and the wheel and sets it active. False,
    // changing nothing (the caller keeps the object), for null, a full table,
    // an object whose `world` is not this engine, or an object the wheel
    // refuses (already scheduled, negative delay).
    bool addObject(GObject* object);
    // Takes `object` out of the wheel and, if it is there, out of the table
    // (the last entry fills its place). Does not delete it. Not during an
    // advance: only flushDeletions and the destructor call it.
    void removeObject(GObject* object);
    // Remembers `object` for deletion at the end of the current update.
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

    GObject* objects[MAX_OBJECTS];  // owned; 0..objectCount-1 occupied, rest null
    int32_t objectCount;
    GObject* pending[MAX_OBJECTS];  // queued by kill(), still in objects
    int32_t pendingCount;

    // Owned; the objects draw with them but do not own them.
    HModel* rightShipModel;
    HModel* leftShipModel;
    HModel* rightHealthBar;
    HModel* leftHealthBar;
    HModel* rightShotModel;
    HModel* leftShotModel;

    GView view;
    HTimerWheel wheel;
    bool paused;
    HApplication* application;  // not owned

private:
    void addShip(ControllerChoice choice, HModel* model, HModel* shotModel, const Vec3& start);
};
