// World objects: the movement step, the ship tick, shots, kill and remove.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "game/gbackground.h"
#include "game/gprojectile.h"
#include "test_gworld.h"

namespace {

// --- the movement step ------------------------------------------------------

TEST(MovementStep, HeldDirectionBlendsTowardsSpeedAndReleasedDecays) {
    GMovable m(nullptr);
    m.response = 0.1f;
    m.speed = 1.0f;
    m.right = true;
    const float expected[] = {0.1f, 0.19f, 0.271f, 0.3439f};
    float x = 0.0f;
    for (float v : expected) {
        m.tick();
        x += v;
        EXPECT_FLOAT_EQ(m.velocity.x, v);
        EXPECT_FLOAT_EQ(m.position.x, x);
        EXPECT_FLOAT_EQ(m.velocity.y, 0.0f);
    }
    m.right = false;
    m.tick();
    EXPECT_FLOAT_EQ(m.velocity.x, 0.3439f * 0.9f);
    EXPECT_FLOAT_EQ(m.thrust.x, 0.0f);
}

TEST(MovementStep, DownBeatsUpAndRightBeatsLeft) {
    GMovable m(nullptr);  // response 1: velocity follows thrust at once
    m.speed = 2.0f;
    m.up = m.down = m.left = m.right = true;
    m.tick();
    EXPECT_FLOAT_EQ(m.thrust.y, -2.0f);
    EXPECT_FLOAT_EQ(m.thrust.x, 2.0f);
    EXPECT_FLOAT_EQ(m.velocity.y, -2.0f);
    EXPECT_FLOAT_EQ(m.velocity.x, 2.0f);
}

TEST(MovementStep, ZOnlyDecaysAndPreviousPositionIsWhereTheStepBegan) {
    GMovable m(nullptr);
    m.response = 0.5f;
    m.position = Vec3(1.0f, 2.0f, 3.0f);
    m.velocity = Vec3(0.0f, 0.0f, 4.0f);
    m.tick();
    EXPECT_FLOAT_EQ(m.previousPosition.x, 1.0f);
    EXPECT_FLOAT_EQ(m.previousPosition.y, 2.0f);
    EXPECT_FLOAT_EQ(m.previousPosition.z, 3.0f);
    EXPECT_FLOAT_EQ(m.velocity.z, 2.0f);
    EXPECT_FLOAT_EQ(m.position.z, 5.0f);
}

// --- the ship ---------------------------------------------------------------

TEST(Ship, ConstantsAndARandomWholeTiltFromMinus30To29) {
    srand(77);
    const int expected = rand() % 60 - 30;
    srand(77);
    GShip ship(nullptr);
    EXPECT_FLOAT_EQ(ship.rotation.x, static_cast<float>(expected));
    EXPECT_EQ(ship.flags, GObject::COLLIDES);
    EXPECT_EQ(ship.delay, 25);
    EXPECT_EQ(ship.period, 25);
    EXPECT_EQ(ship.health, 100);
    EXPECT_FLOAT_EQ(ship.response, 0.1f);
    EXPECT_FLOAT_EQ(ship.extent.x, 2.8f);

    for (int seed = 0; seed < 200; seed++) {
        srand(seed);
        GShip s(nullptr);
        EXPECT_GE(s.rotation.x, -30.0f);
        EXPECT_LE(s.rotation.x, 29.0f);
    }
}

TEST(Ship, WobblesOneDegreePerTickBetweenMinus31And31) {
    GShip ship(nullptr);
    ship.rotation.x = 29.0f;
    ship.wobbleStep = 1.0f;
    std::vector<float> angles;
    for (int i = 0; i < 130; i++) {
        ship.tick();
        angles.push_back(ship.rotation.x);
    }
    EXPECT_EQ(std::vector<float>(angles.begin(), angles.begin() + 5),
              (std::vector<float>{30, 31, 30, 29, 28}));
    // 31 down to -31 is 62 ticks after the peak at index 1.
    EXPECT_FLOAT_EQ(angles[63], -31.0f);
    EXPECT_FLOAT_EQ(angles[64], -30.0f);
    EXPECT_FLOAT_EQ(angles[125], 31.0f);
    for (size_t i = 1; i < angles.size(); i++) {
        EXPECT_FLOAT_EQ(std::abs(angles[i] - angles[i - 1]), 1.0f) << i;
        EXPECT_LE(std::abs(angles[i]), 31.0f);
    }
}

TEST(Ship, TurnsTenDegreesPerTickAndStopsOnItsTarget) {
    GShip ship(nullptr);
    ship.rotation.y = 180.0f;
    for (int i = 1; i <= 18; i++) {
        ship.tick();
        EXPECT_FLOAT_EQ(ship.yaw, 10.0f * i);
    }
    ship.tick();
    ship.tick();
    EXPECT_FLOAT_EQ(ship.yaw, 180.0f);
    ship.rotation.y = 0.0f;
    ship.tick();
    EXPECT_FLOAT_EQ(ship.yaw, 170.0f);
}

TEST(Ship, IsHeldInsideTheFieldWithoutLosingItsVelocity) {
    GShip ship(nullptr);
    ship.position = Vec3(25.9f, -18.9f, -50.0f);
    ship.velocity = Vec3(1.0f, -1.0f, 0.0f);
    ship.tick();
    EXPECT_FLOAT_EQ(ship.position.x, 26.0f);
    EXPECT_FLOAT_EQ(ship.position.y, -19.0f);
    EXPECT_FLOAT_EQ(ship.velocity.x, 0.9f);
    EXPECT_FLOAT_EQ(ship.velocity.y, -0.9f);

    ship.position = Vec3(-40.0f, 40.0f, -50.0f);
    ship.tick();
    EXPECT_FLOAT_EQ(ship.position.x, -26.0f);
    EXPECT_FLOAT_EQ(ship.position.y, 19.0f);
}

TEST(Ship, DamageHasNoLowerBound) {
    GShip ship(nullptr);
    ship.damage(5);
    EXPECT_EQ(ship.health, 95);
    ship.damage(100);
    EXPECT_EQ(ship.health, -5);
}

// --- shots, in a world ------------------------------------------------------

class ShotTest : public WorldTest {
protected:
    int shotsInWorld() const {
        int n = 0;
        for (int i = 0; i < world.objectCount; i++) {
            if (world.objects[i]->flags & GObject::PROJECTILE) n++;
        }
        return n;
    }
    GProjectile* lastShot() const {
        return dynamic_cast<GProjectile*>(world.objects[world.objectCount - 1]);
    }
};

TEST_F(ShotTest, HeldFireShootsOnTheFirstTickAndThenEveryTenth) {
    GShip* ship = addShip(0.0f, 0.0f);
    ship->fire = true;
    std::vector<int> firedAt;
    for (int tick = 1; tick <= 31; tick++) {
        const int before = shotsInWorld();
        ship->tick();
        if (shotsInWorld() > before) firedAt.push_back(tick);
    }
    EXPECT_EQ(firedAt, (std::vector<int>{1, 11, 21, 31}));
    EXPECT_EQ(ship->cooldown, 9);
}

TEST_F(ShotTest, ShipWithoutHealthDoesNotFire) {
    GShip* ship = addShip(0.0f, 0.0f);
    ship->fire = true;
    ship->health = 0;
    for (int i = 0; i < 20; i++) ship->tick();
    EXPECT_EQ(shotsInWorld(), 0);
    EXPECT_EQ(ship->cooldown, 0);
}

// The shot starts from the ship as its tick leaves it: moved, turned,
// wobbled and held inside the field (here pushed past the top right corner).
TEST_F(ShotTest, ShotGoesTheWayTheShipFacesAndStartsFromItsState) {
    GShip* right = addShip(25.9f, 18.8f, -48.0f);
    right->rotation = Vec3(7.0f, 0.0f, 3.0f);
    right->velocity = Vec3(0.5f, 0.5f, 0.25f);
    right->fire = true;
    right->tick();
    GProjectile* shot = lastShot();
    ASSERT_NE(shot, nullptr);
    EXPECT_TRUE(shot->left);
    EXPECT_FALSE(shot->right);
    EXPECT_EQ(shot->owner, right);
    EXPECT_EQ(shot->position.x, 26.0f);
    EXPECT_EQ(shot->position.y, 19.0f);
    EXPECT_EQ(shot->position.z, -48.0f + 0.9f * 0.25f);
    EXPECT_EQ(shot->velocity.x, 0.45f);
    EXPECT_EQ(shot->velocity.y, 0.45f);
    EXPECT_EQ(shot->velocity.z, 0.9f * 0.25f);
    EXPECT_EQ(shot->rotation.x, 8.0f);
    EXPECT_EQ(shot->rotation.z, 3.0f);
    EXPECT_EQ(shot->flags, 17);  // collides (bit 0), projectile (bit 4)
    EXPECT_EQ(shot->period, 15);
    EXPECT_EQ(shot->active, 1);

    GShip* left = addShip(-10.0f, 3.0f);
    left->rotation.y = 180.0f;
    left->fire = true;
    left->tick();
    EXPECT_TRUE(lastShot()->right);
    EXPECT_FALSE(lastShot()->left);
}

// Regression: a shot refused by a full table was never scheduled, drawn or
// deleted by anyone. The sanitizer build would report it as a leak.
TEST_F(ShotTest, ShotRefusedByAFullTableIsDeletedAndStillCostsTheCooldown) {
    GShip* ship = addShip(0.0f, 0.0f);
    while (world.objectCount < GWorld::MAX_OBJECTS) add(new ProbeObject(&world, 5));
    ship->fire = true;
    ship->tick();
    EXPECT_EQ(world.objectCount, GWorld::MAX_OBJECTS);
    EXPECT_EQ(shotsInWorld(), 0);
    EXPECT_EQ(ship->cooldown, 9);
}

TEST_F(ShotTest, ShotFlyingAlongXReachesFullSpeed) {
    GShip* owner = addShip(0.0f, 0.0f);
    GProjectile* shot = add(new GProjectile(&world, owner));
    shot->right = true;
    for (int i = 0; i < 60; i++) shot->tick();
    EXPECT_NEAR(shot->velocity.x, 1.0f, 0.01f);
    EXPECT_FLOAT_EQ(shot->velocity.y, 0.0f);
}

TEST_F(ShotTest, ShotDiesOnceItsTruncatedXPasses30) {
    GShip* owner = addShip(0.0f, 0.0f);
    const float survives[] = {30.9f, -30.9f};
    const float dies[] = {31.0f, -31.0f};
    for (float x : survives) {
        GProjectile* shot = add(new GProjectile(&world, owner));
        shot->position = Vec3(x, 0.0f, -50.0f);  // no flags, no velocity: it stays
        shot->tick();
        EXPECT_FLOAT_EQ(shot->position.x, x);
        EXPECT_FALSE(shot->dying) << x;
    }
    EXPECT_EQ(world.pendingCount, 0);
    for (float x : dies) {
        GProjectile* shot = add(new GProjectile(&world, owner));
        shot->position = Vec3(x, 0.0f, -50.0f);
        shot->tick();
        EXPECT_TRUE(shot->dying) << x;
    }
    EXPECT_EQ(world.pendingCount, 2);
    world.flushDeletions();
    EXPECT_EQ(shotsInWorld(), 2);
}

TEST_F(ShotTest, ShotPassesItsOwnerAndOtherShotsAndHitsTheOtherShip) {
    GShip* owner = addShip(0.0f, 0.0f);
    GShip* target = addShip(20.0f, 0.0f);
    GProjectile* other = add(new GProjectile(&world, target));
    other->position = Vec3(0.0f, 0.0f, -50.0f);
    GProjectile* shot = add(new GProjectile(&world, owner));
    shot->position = Vec3(0.0f, 0.0f, -50.0f);

    shot->tick();  // on top of its owner and of the other shot
    EXPECT_EQ(owner->health, 100);
    EXPECT_FALSE(shot->dying);
    EXPECT_FALSE(other->dying);

    shot->position = Vec3(19.0f, 0.5f, -50.0f);
    shot->right = true;
    shot->tick();
    EXPECT_EQ(target->health, 95);
    EXPECT_TRUE(shot->dying);
    // No bounce: neither side was put back or pushed.
    EXPECT_FLOAT_EQ(target->velocity.x, 0.0f);
    EXPECT_NE(shot->position.x, shot->previousPosition.x);

    // Until the end of the update it is still there and strikes again, but
    // it is queued once.
    shot->tick();
    EXPECT_EQ(target->health, 90);
    EXPECT_EQ(world.pendingCount, 1);
}

// --- kill and remove --------------------------------------------------------

TEST_F(WorldTest, KillTwiceQueuesOnceAndTheFlushDeletes) {
    int deletions = 0;
    ProbeObject* probe = add(new ProbeObject(&world, 5, &deletions));
    probe->kill();
    probe->kill();
    EXPECT_TRUE(probe->dying);
    EXPECT_EQ(world.pendingCount, 1);
    EXPECT_EQ(world.objectCount, 1);  // still in the world until the flush
    world.flushDeletions();
    EXPECT_EQ(deletions, 1);
    EXPECT_EQ(world.objectCount, 0);
    EXPECT_EQ(world.pendingCount, 0);
}

TEST(WorldObject, KillWithoutAWorldDeletesAtOnce) {
    int deletions = 0;
    ProbeObject* probe = new ProbeObject(nullptr, 5, &deletions);
    probe->kill();
    EXPECT_EQ(deletions, 1);
}

TEST_F(WorldTest, BackgroundNeverCollidesAndTicksOnceASecond) {
    GBackground* background = add(new GBackground(&world));
    EXPECT_EQ(background->flags, 0);
    EXPECT_EQ(background->period, 1000);
}

}  // namespace
