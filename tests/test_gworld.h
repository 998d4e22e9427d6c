// test_gworld.h: shared pieces of the match tests: a world, and world
// objects that write down what happens to them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "game/gworld.h"
#include "game/gmovable.h"
#include "game/gobject.h"
#include "game/gprojectile.h"
#include "game/gship.h"

// A timed world object with a chosen period that counts its ticks and
// reports its own deletion; `onTick` runs inside each tick.
class ProbeObject : public GObject {
public:
    ProbeObject(GWorld* world, int32_t periodMs, int* deletions = nullptr)
        : GObject(world), deletions(deletions) {
        delay = periodMs;
        setTiming(static_cast<uint32_t>(periodMs), 0, false);
    }
    ~ProbeObject() override {
        if (deletions) ++*deletions;
    }
    void tick() override {
        ticks++;
        if (onTick) onTick(this);
    }

    int ticks = 0;
    int* deletions;
    std::function<void(ProbeObject*)> onTick;
};

// A movable that says yes or no to a collision as told and writes down who
// asked and how much damage it took.
class ProbeMovable : public GMovable {
public:
    ProbeMovable(GWorld* world, Vec3 extent, bool answer, std::vector<std::string>* log = nullptr,
                 std::string name = "probe")
        : GMovable(world), answer(answer), log(log), name(std::move(name)) {
        flags = COLLIDES;
        this->extent = extent;
    }
    bool collide(GObject* other) override {
        (void)other;
        if (log) log->push_back(name + " collide");
        return answer;
    }
    void damage(int32_t amount) override { damageTaken += amount; }

    bool answer;
    int32_t damageTaken = 0;
    std::vector<std::string>* log;
    std::string name;
};

// The collision boxes of the match's objects.
inline Vec3 shipExtent() { return Vec3(GShip::EXTENT_X, GShip::EXTENT_Y, GShip::EXTENT_Z); }
inline Vec3 shotExtent() { return Vec3(GProjectile::EXTENT_X, GProjectile::EXTENT_Y, GProjectile::EXTENT_Z); }

class WorldTest : public ::testing::Test {
protected:
    // Adds a ship without a controller at the given place.
    GShip* addShip(float x, float y, float z = -50.0f) {
        GShip* ship = new GShip(&world);
        ship->position = Vec3(x, y, z);
        ship->previousPosition = ship->position;
        EXPECT_TRUE(world.addObject(ship));
        return ship;
    }

    template <class T>
    T* add(T* object) {
        EXPECT_TRUE(world.addObject(object));
        return object;
    }

    GWorld world;
};
