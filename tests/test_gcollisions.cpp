// The collision pass: the whole-number box test, consent of both sides, the
// restore and the exchange of momentum.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/gbackground.h"
#include "game/gprojectile.h"
#include "test_gworld.h"

namespace {

using Log = std::vector<std::string>;

class CollisionTest : public WorldTest {
protected:
    // A mover that has just arrived at `at` from `from`.
    ProbeMovable* mover(Vec3 extent, Vec3 at, Vec3 from, bool answer = true) {
        ProbeMovable* m = add(new ProbeMovable(&world, extent, answer, &log, "mover"));
        m->position = at;
        m->previousPosition = from;
        return m;
    }
    ProbeMovable* other(Vec3 extent, Vec3 at, bool answer = true, const char* name = "other") {
        ProbeMovable* o = add(new ProbeMovable(&world, extent, answer, &log, name));
        o->position = at;
        return o;
    }

    Log log;
};

struct Threshold {
    const char* pair;
    Vec3 moverExtent;
    Vec3 otherExtent;
    int axis;
    float touching;  // the largest distance that still touches, approximately
    float apart;     // the smallest that does not
};

// Edges of the truncated test for the pairs of a match; each is tried on
// both sides of the other object.
const Threshold THRESHOLDS[] = {
    {"ship-ship x", shipExtent(), shipExtent(), 0, 4.99f, 5.0f},
    {"ship-ship y", shipExtent(), shipExtent(), 1, 0.99f, 1.0f},
    {"ship-ship z", shipExtent(), shipExtent(), 2, 19.99f, 20.0f},
    {"ship-shot x", shipExtent(), shotExtent(), 0, 2.99f, 3.0f},
    {"ship-shot y", shipExtent(), shotExtent(), 1, 0.99f, 1.0f},
    {"ship-shot z", shipExtent(), shotExtent(), 2, 14.99f, 15.0f},
    {"shot-shot x", shotExtent(), shotExtent(), 0, 1.99f, 2.0f},
    {"shot-shot y", shotExtent(), shotExtent(), 1, 1.99f, 2.0f},
    {"shot-shot z", shotExtent(), shotExtent(), 2, 9.99f, 10.0f},
};

Vec3 along(int axis, float d) {
    Vec3 v(0.0f, 0.0f, -50.0f);
    if (axis == 0) v.x += d;
    if (axis == 1) v.y += d;
    if (axis == 2) v.z += d;
    return v;
}

TEST_F(CollisionTest, BoxesTouchOnlyBelowTheTruncatedSumOfHalfSizes) {
    for (const Threshold& t : THRESHOLDS) {
        for (float side : {1.0f, -1.0f}) {
            for (bool expectTouch : {true, false}) {
                const float d = side * (expectTouch ? t.touching : t.apart);
                ProbeMovable* o = other(t.otherExtent, Vec3(0.0f, 0.0f, -50.0f));
                ProbeMovable* m = mover(t.moverExtent, along(t.axis, d), along(t.axis, d));
                log.clear();
                world.checkCollisions(m);
                EXPECT_EQ(log, expectTouch ? (Log{"mover collide", "other collide"}) : Log{})
                    << t.pair << " at " << d;
                world.removeObject(m);
                world.removeObject(o);
                delete m;
                delete o;
            }
        }
    }
}

TEST_F(CollisionTest, HalfSizesAddingUpToLessThanOneNeverTouch) {
    ProbeMovable* o = other(Vec3(0.4f, 0.4f, 0.4f), Vec3(0.0f, 0.0f, -50.0f));
    ProbeMovable* m = mover(Vec3(0.5f, 0.5f, 0.5f), o->position, o->position);
    world.checkCollisions(m);
    EXPECT_TRUE(log.empty());
}

TEST_F(CollisionTest, TouchingShipsBounceTheMoverBackAndSwapVelocities) {
    GShip* still = addShip(0.0f, 0.0f);
    GShip* moving = addShip(4.99f, 0.5f);
    moving->previousPosition = Vec3(6.0f, 0.5f, -50.0f);
    moving->velocity = Vec3(-1.0f, 0.25f, 0.0f);
    still->velocity = Vec3(0.5f, 0.0f, 0.125f);
    world.checkCollisions(moving);
    EXPECT_FLOAT_EQ(moving->position.x, 6.0f);
    EXPECT_FLOAT_EQ(still->position.x, 0.0f);
    EXPECT_FLOAT_EQ(moving->velocity.x, 0.5f);
    EXPECT_FLOAT_EQ(moving->velocity.y, 0.0f);
    EXPECT_FLOAT_EQ(moving->velocity.z, 0.125f);
    EXPECT_FLOAT_EQ(still->velocity.x, -1.0f);
    EXPECT_FLOAT_EQ(still->velocity.y, 0.25f);
    EXPECT_EQ(still->health, 100);
}

TEST_F(CollisionTest, EachBodyTakesOverTheOthersMomentum) {
    ProbeMovable* o = other(shipExtent(), Vec3(0.0f, 0.0f, -50.0f));
    o->mass = 2.0f;
    ProbeMovable* m = mover(shipExtent(), Vec3(4.0f, 0.0f, -50.0f), Vec3(6.0f, 0.0f, -50.0f));
    m->velocity = Vec3(1.0f, 0.0f, 0.0f);
    world.checkCollisions(m);
    EXPECT_FLOAT_EQ(m->velocity.x, 0.0f);
    EXPECT_FLOAT_EQ(o->velocity.x, 0.5f);

    // Product first, then division, in double, rounded to float once:
    // 1.735f * 5.5 / 2.5 gives 3.81699991f, where float arithmetic in either
    // order gives 3.81700015f.
    o->mass = 5.5f;
    m->mass = 2.5f;
    o->velocity = Vec3(1.735f, 0.0f, 0.0f);
    m->velocity = Vec3(0.0f, 0.0f, 0.0f);
    m->position = Vec3(4.0f, 0.0f, -50.0f);
    world.checkCollisions(m);
    EXPECT_EQ(m->velocity.x, 3.81699991f);
    EXPECT_NE(m->velocity.x, 3.81700015f);
}

TEST_F(CollisionTest, EitherRefusalMeansNoBounceButTheWorkDoneStands) {
    ProbeMovable* o = other(shipExtent(), Vec3(0.0f, 0.0f, -50.0f), /*answer=*/true);
    ProbeMovable* m =
        mover(shipExtent(), Vec3(1.0f, 0.0f, -50.0f), Vec3(3.0f, 0.0f, -50.0f), /*answer=*/false);
    m->velocity = Vec3(-1.0f, 0.0f, 0.0f);
    world.checkCollisions(m);
    EXPECT_EQ(log, (Log{"mover collide"}));  // the other is not asked
    EXPECT_FLOAT_EQ(m->position.x, 1.0f);
    EXPECT_FLOAT_EQ(m->velocity.x, -1.0f);

    log.clear();
    m->answer = true;
    o->answer = false;
    world.checkCollisions(m);
    EXPECT_EQ(log, (Log{"mover collide", "other collide"}));
    EXPECT_FLOAT_EQ(m->position.x, 1.0f);
    EXPECT_FLOAT_EQ(o->velocity.x, 0.0f);
}

TEST_F(CollisionTest, OnlyCollidingObjectsOtherThanTheMoverAreTested) {
    add(new GBackground(&world));
    ProbeMovable* quiet = other(shipExtent(), Vec3(0.0f, 0.0f, -50.0f), true, "quiet");
    quiet->flags = 0;
    ProbeMovable* m = mover(shipExtent(), Vec3(0.0f, 0.0f, -50.0f), Vec3(0.0f, 0.0f, -50.0f));
    world.checkCollisions(m);
    EXPECT_TRUE(log.empty());
}

// The pass goes on after a contact, testing later entries from the restored
// position: "far" touches only where the mover arrived and is not asked;
// "behind" touches only where it came from and is asked, but since that is
// where the step began, it gets no bounce.
TEST_F(CollisionTest, AfterABounceLaterEntriesAreTestedFromTheRestoredPosition) {
    ProbeMovable* ahead = other(shipExtent(), Vec3(4.0f, 0.0f, -50.0f), true, "ahead");
    other(shipExtent(), Vec3(4.5f, 0.0f, -50.0f), true, "far");
    ProbeMovable* behind = other(shipExtent(), Vec3(-6.5f, 0.0f, -50.0f), true, "behind");
    ProbeMovable* m = mover(shipExtent(), Vec3(0.0f, 0.0f, -50.0f), Vec3(-2.0f, 0.0f, -50.0f));
    m->velocity = Vec3(1.0f, 0.0f, 0.0f);
    ahead->velocity = Vec3(-0.5f, 0.0f, 0.0f);
    behind->velocity = Vec3(0.25f, 0.0f, 0.0f);
    world.checkCollisions(m);
    EXPECT_EQ(log, (Log{"mover collide", "ahead collide", "mover collide", "behind collide"}));
    EXPECT_FLOAT_EQ(m->position.x, -2.0f);
    EXPECT_FLOAT_EQ(ahead->velocity.x, 1.0f);
    EXPECT_FLOAT_EQ(m->velocity.x, -0.5f);
    EXPECT_FLOAT_EQ(behind->velocity.x, 0.25f);
}

TEST_F(CollisionTest, ShotAsMoverDealsDamageAndTheShipIsNotAsked) {
    GShip* owner = addShip(-20.0f, 0.0f);
    ProbeMovable* ship = other(shipExtent(), Vec3(0.0f, 0.0f, -50.0f));
    GProjectile* shot = add(new GProjectile(&world, owner));
    shot->position = Vec3(2.5f, 0.5f, -50.0f);
    shot->previousPosition = Vec3(3.5f, 0.5f, -50.0f);
    shot->velocity = Vec3(-1.0f, 0.0f, 0.0f);
    world.checkCollisions(shot);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(ship->damageTaken, GProjectile::HIT_DAMAGE);
    EXPECT_TRUE(shot->dying);
    EXPECT_FLOAT_EQ(shot->position.x, 2.5f);  // no restore
    EXPECT_FLOAT_EQ(shot->velocity.x, -1.0f);
    EXPECT_FLOAT_EQ(ship->velocity.x, 0.0f);
}

TEST_F(CollisionTest, ShipMovingIntoAShotTakesTheHitWithoutBouncing) {
    GShip* owner = addShip(-20.0f, 0.0f);
    GShip* target = addShip(0.0f, 0.0f);
    target->previousPosition = Vec3(0.0f, -1.0f, -50.0f);
    target->velocity = Vec3(0.0f, 1.0f, 0.0f);
    GProjectile* shot = add(new GProjectile(&world, owner));
    shot->position = Vec3(2.0f, 0.0f, -50.0f);
    world.checkCollisions(target);
    EXPECT_EQ(target->health, 95);
    EXPECT_TRUE(shot->dying);
    EXPECT_FLOAT_EQ(target->position.y, 0.0f);
    EXPECT_FLOAT_EQ(target->velocity.y, 1.0f);
    // Queued for deletion, the shot is still in the table until the update
    // ends, and strikes again.
    world.checkCollisions(target);
    EXPECT_EQ(target->health, 90);
}

}  // namespace

namespace {

bool shipsOverlap(const GShip* a, const GShip* b) {
    const int dx = static_cast<int>(a->position.x - b->position.x);
    const int dy = static_cast<int>(a->position.y - b->position.y);
    return (dx < 0 ? -dx : dx) < 5 && (dy < 0 ? -dy : dy) < 1;
}

// Regression: the clamp to the field runs after the collision test, so a
// ship can end a tick inside the other. Its next step then began inside, and
// the response still handed its velocity over: the other ship's next step
// began inside too, and the pair moved as one. Now such a step gets no
// response at all, and the ships part under their own thrust. Both ships
// tick here, as in a match.
TEST_F(CollisionTest, ShipsThatEndUpInsideEachOtherPartUnderTheirOwnThrust) {
    struct Case {
        const char* name;
        Vec3 steeredAt, steeredVelocity;
        bool left, right, down;
        Vec3 idleAt;
    };
    const Case cases[] = {
        // Pressed against the bottom edge at full speed, it is tested below
        // the edge (no contact with a ship on the edge) and clamped into it;
        // holding Left used to drag the idle ship into the corner.
        {"slides along the bottom edge", Vec3(10.0f, -19.0f, -50.0f), Vec3(0.0f, -1.0f, 0.0f), true, false,
         true, Vec3(-15.0f, -19.0f, -50.0f)},
        {"placed half inside", Vec3(2.8f, 0.0f, -50.0f), Vec3(), false, true, false, Vec3(0.0f, 0.0f, -50.0f)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GShip* steered = addShip(c.steeredAt.x, c.steeredAt.y);
        steered->velocity = c.steeredVelocity;
        // Nobody steers these ships: they hold the same keys all the time.
        steered->left = c.left;
        steered->right = c.right;
        steered->down = c.down;
        GShip* idle = addShip(c.idleAt.x, c.idleAt.y);
        int overlapTicks = 0;
        for (int tick = 0; tick < 400; ++tick) {
            world.wheel.advance(GShip::PERIOD_MS);
            if (shipsOverlap(steered, idle)) ++overlapTicks;
        }
        EXPECT_LE(overlapTicks, 14);
        EXPECT_EQ(idle->position.x, c.idleAt.x) << "the idle ship was dragged along";
        EXPECT_EQ(idle->position.y, c.idleAt.y);
        EXPECT_EQ(idle->velocity.x, 0.0f);
        world.removeObject(steered);
        world.removeObject(idle);
        delete steered;
        delete idle;
    }
}

// Once out, a step back in bounces as it always did.
TEST_F(CollisionTest, AStepThatBeganInsideGetsNoResponse) {
    ProbeMovable* o = other(shipExtent(), Vec3(0.0f, 0.0f, -50.0f));
    ProbeMovable* m = mover(shipExtent(), Vec3(-0.1f, 0.0f, -50.0f), Vec3(0.0f, 0.0f, -50.0f));
    m->velocity = Vec3(-0.1f, 0.0f, 0.0f);
    o->velocity = Vec3(0.0f, 0.5f, 0.0f);
    world.checkCollisions(m);
    EXPECT_EQ(log, (Log{"mover collide", "other collide"}));
    EXPECT_FLOAT_EQ(m->position.x, -0.1f) << "the step away was undone";
    EXPECT_FLOAT_EQ(o->velocity.x, 0.0f) << "momentum was exchanged";
    EXPECT_FLOAT_EQ(m->velocity.x, -0.1f);
    EXPECT_FLOAT_EQ(m->velocity.y, 0.0f);

    m->previousPosition = Vec3(-6.0f, 0.0f, -50.0f);
    m->position = Vec3(-4.5f, 0.0f, -50.0f);
    world.checkCollisions(m);
    EXPECT_FLOAT_EQ(m->position.x, -6.0f);
    EXPECT_FLOAT_EQ(m->velocity.y, 0.5f);
}

}  // namespace
