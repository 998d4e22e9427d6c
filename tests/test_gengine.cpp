// The match screen and its world: the table, deaths at the end of a step,
// pause, the facing of the ships, the end of a match and the hand-over of
// its result.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/happlication.h"
#include "app/hmatchowner.h"
#include "assets/hmodel.h"
#include "game/gaicontroller.h"
#include "game/gbackground.h"
#include "game/gprojectile.h"
#include "screens/gengine.h"
#include "screens/mmainmenu.h"
#include "screens/mvictory.h"
#include "support/models3ds.h"
#include "support/tempdir.h"
#include "test_gworld.h"

namespace {

// --- the table --------------------------------------------------------------

// In a scratch directory, so that the model files are not found (each
// missing 3DS file prints one line).
TEST(MatchScreen, FreshScreenHasAnEmptyWorldAndLoadsItsModelsAnyway) {
    ScopedTempDir dir;
    HMatchOwner none(nullptr);
    GEngine engine(nullptr, &none);
    EXPECT_EQ(engine.match.world.objectCount, 0);
    EXPECT_FALSE(engine.paused());
    EXPECT_EQ(engine.view.world, &engine.match.world);
    EXPECT_DOUBLE_EQ(engine.view.eyeZ, 0.0);
    // Missing files: the 3DS models are loaded and empty, the text ones not
    // loaded; either way they exist and draw nothing.
    ASSERT_NE(engine.view.rightShipModel, nullptr);
    EXPECT_TRUE(engine.view.rightShipModel->loaded);
    ASSERT_NE(engine.view.leftHealthBar, nullptr);
    EXPECT_FALSE(engine.view.leftHealthBar->loaded);
    // Without a match there is nothing to step and no end to test.
    engine.update(100);
}

// Each of the six models comes from its own file.
TEST(MatchModels, EachModelIsReadFromItsOwnFile) {
    ScopedTempDir dir;
    const char* const files3ds[] = {"ship.3ds", "ship2.3ds", "zat.3ds", "zat2.3ds"};
    for (const char* file : files3ds) ASSERT_TRUE(write3ds(file, Model3ds({{file, 0x010203}})));
    dir.write("lives_right.txt", "1 0 0  0 0 0  1 0 0  0 1 0");
    dir.write("lives_left.txt", "2 0 0  0 0 0  1 0 0  0 1 0");
    GView view;
    view.loadModels();
    const std::pair<HModel*, const char*> slots[] = {{view.rightShipModel, "ship.3ds"},
                                                     {view.leftShipModel, "ship2.3ds"},
                                                     {view.rightShotModel, "zat.3ds"},
                                                     {view.leftShotModel, "zat2.3ds"}};
    for (const auto& slot : slots) {
        ASSERT_NE(slot.first, nullptr) << slot.second;
        ASSERT_EQ(slot.first->data.materialCount, 1) << slot.second;
        EXPECT_STREQ(slot.first->data.materials[0].name, slot.second);
    }
    ASSERT_TRUE(view.rightHealthBar->loaded);
    ASSERT_TRUE(view.leftHealthBar->loaded);
    EXPECT_EQ(view.rightHealthBar->data.materials[0].colour[0], 1);
    EXPECT_EQ(view.leftHealthBar->data.materials[0].colour[0], 2);
}

TEST_F(WorldTest, TableTakesThirtyObjectsAndRefusesTheThirtyFirst) {
    for (int i = 0; i < 30; i++) {
        ProbeObject* probe = new ProbeObject(&world, 5);
        ASSERT_TRUE(world.addObject(probe));
        EXPECT_EQ(probe->active, 1);
        EXPECT_NE(probe->node, nullptr);
    }
    ProbeObject extra(&world, 5);
    EXPECT_FALSE(world.addObject(&extra));
    EXPECT_EQ(world.objectCount, 30);
    EXPECT_EQ(extra.node, nullptr);
    EXPECT_EQ(extra.active, 0);
    EXPECT_FALSE(world.addObject(nullptr));
}

TEST_F(WorldTest, ObjectTheWheelRefusesStaysOutOfTheTable) {
    ProbeObject negative(&world, 5);
    negative.delay = -1;
    EXPECT_FALSE(world.addObject(&negative));
    ProbeObject* twice = add(new ProbeObject(&world, 5));
    EXPECT_FALSE(world.addObject(twice));
    EXPECT_EQ(world.objectCount, 1);
}

// An object of another world (or of none) would leave through that world,
// and this table would keep pointing at it.
TEST_F(WorldTest, ObjectOfAnotherWorldIsRefused) {
    GWorld elsewhere;
    ProbeObject foreign(&elsewhere, 5);
    ProbeObject homeless(nullptr, 5);
    EXPECT_FALSE(world.addObject(&foreign));
    EXPECT_FALSE(world.addObject(&homeless));
    EXPECT_EQ(world.objectCount, 0);
    EXPECT_EQ(foreign.node, nullptr);
    EXPECT_EQ(homeless.node, nullptr);
}

TEST_F(WorldTest, RemovalMovesTheLastEntryIntoTheGap) {
    ProbeObject* p[5];
    for (auto& probe : p) probe = add(new ProbeObject(&world, 5));
    world.removeObject(p[1]);
    EXPECT_EQ(world.objectCount, 4);
    EXPECT_EQ(world.objects[0], p[0]);
    EXPECT_EQ(world.objects[1], p[4]);
    EXPECT_EQ(world.objects[2], p[2]);
    EXPECT_EQ(world.objects[3], p[3]);
    EXPECT_EQ(world.objects[4], nullptr);
    EXPECT_EQ(p[1]->node, nullptr);
    EXPECT_EQ(p[1]->active, 0);
    delete p[1];

    // Removing the last entry leaves the rest where they are.
    world.removeObject(p[3]);
    EXPECT_EQ(world.objectCount, 3);
    EXPECT_EQ(world.objects[2], p[2]);
    delete p[3];
}

// The world deletes whatever is in its table when it goes, queued or not.
TEST(WorldLifetime, DestroyingTheWorldDeletesEveryObject) {
    int deletions = 0;
    {
        GWorld world;
        for (int i = 0; i < 4; i++) ASSERT_TRUE(world.addObject(new ProbeObject(&world, 5 + i, &deletions)));
        world.objects[2]->kill();
    }
    EXPECT_EQ(deletions, 4);
}

TEST_F(WorldTest, RemovingAnObjectNotInTheTableOnlyUnschedulesIt) {
    ProbeObject* inTable = add(new ProbeObject(&world, 5));
    ProbeObject outside(&world, 5);
    ASSERT_TRUE(world.wheel.insert(&outside));
    world.removeObject(&outside);
    EXPECT_EQ(outside.node, nullptr);
    EXPECT_EQ(world.objectCount, 1);
    EXPECT_EQ(world.objects[0], inTable);
}

// --- the step ---------------------------------------------------------------

// An object killed in its tick keeps ticking until the update ends, and only
// then leaves and is deleted.
TEST_F(WorldTest, DeathsHappenOnlyAtTheEndOfTheUpdate) {
    int deletions = 0;
    ProbeObject* probe = add(new ProbeObject(&world, 5, &deletions));
    int countSeenInTicks = 0;
    probe->onTick = [&](ProbeObject* self) {
        self->kill();
        countSeenInTicks = world.objectCount;
    };
    world.advance(30);  // ticks at 6, 11, 16, 21, 26
    EXPECT_EQ(deletions, 1);
    EXPECT_EQ(countSeenInTicks, 1);
    EXPECT_EQ(world.objectCount, 0);
    EXPECT_EQ(world.pendingCount, 0);
}

// Deleting an object twice would be fatal, so the queue refuses a second
// entry even from a caller that goes round kill().
TEST_F(WorldTest, ObjectQueuedTwiceIsDeletedOnce) {
    int deletions = 0;
    ProbeObject* probe = add(new ProbeObject(&world, 5, &deletions));
    world.queueDeletion(probe);
    world.queueDeletion(probe);
    world.queueDeletion(nullptr);
    EXPECT_EQ(world.pendingCount, 1);
    world.flushDeletions();
    EXPECT_EQ(deletions, 1);
}

TEST_F(WorldTest, ProbeTicksAtItsPeriodThroughUpdates) {
    ProbeObject* probe = add(new ProbeObject(&world, 5));
    world.advance(5);
    EXPECT_EQ(probe->ticks, 0);
    world.advance(1);
    EXPECT_EQ(probe->ticks, 1);
    world.advance(100);  // a slow frame is caught up
    EXPECT_EQ(probe->ticks, 21);
}

class MatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        app.startMatch(CONTROLLER_KIND_COUNT, CONTROLLER_KIND_COUNT);  // nobody steers
        engine = dynamic_cast<GEngine*>(app.currentScreen);
        ASSERT_NE(engine, nullptr);
        right = engine->rightShip();
        left = engine->leftShip();
        ASSERT_NE(right, nullptr);
        ASSERT_NE(left, nullptr);
        app.update(1);  // the update after the switch is dropped
    }
    // Whether the result is shown, once any wreck has played out.
    bool ended() {
        if (app.currentScreen == engine && engine->wrecking()) app.update(HMatchOwner::WRECK_WAIT_MS);
        return dynamic_cast<MVictory*>(app.currentScreen) != nullptr;
    }
    const MatchResult& result() { return dynamic_cast<MVictory*>(app.currentScreen)->result; }

    ScopedTempDir dir;
    HApplication app;
    GEngine* engine = nullptr;
    GShip* right = nullptr;
    GShip* left = nullptr;
};

TEST_F(MatchTest, SetUpPutsTheRightShipFirstThenTheLeftThenTheBackground) {
    EXPECT_EQ(engine->match.world.objectCount, 3);
    EXPECT_EQ(engine->match.world.objects[0], right);
    EXPECT_EQ(engine->match.world.objects[1], left);
    EXPECT_NE(dynamic_cast<GBackground*>(engine->match.world.objects[2]), nullptr);
    EXPECT_FLOAT_EQ(right->position.x, 20.0f);
    EXPECT_FLOAT_EQ(right->position.y, -18.0f);
    EXPECT_FLOAT_EQ(right->position.z, -50.0f);
    EXPECT_FLOAT_EQ(left->position.x, -20.0f);
    EXPECT_FLOAT_EQ(left->position.y, 18.0f);
    // Nobody steers.
    EXPECT_EQ(engine->match.controller(SIDE_RIGHT), nullptr);
    EXPECT_EQ(engine->match.controller(SIDE_LEFT), nullptr);
}

TEST(MatchSetUp, ControllersFollowTheChoicesAndTheRightShipDrawsFirst) {
    ScopedTempDir dir;
    GRandom random(5);
    const float rightTilt = static_cast<float>(random.next() % 60 - 30);
    const float leftTilt = static_cast<float>(random.next() % 60 - 30);
    HApplication app;
    HMatchOwner owner(&app);
    EXPECT_TRUE(owner.setUpLocal(CHOICE_WASD, CHOICE_ARROW_KEYS, 5));
    const GMatch& match = owner.played;
    EXPECT_EQ(match.world.seed, 5u);
    EXPECT_FLOAT_EQ(match.world.rightShip()->rotation.x, rightTilt);
    EXPECT_FLOAT_EQ(match.world.leftShip()->rotation.x, leftTilt);
    // The keyboard players read what the application samples.
    auto* rc = dynamic_cast<GArrowKeysController*>(match.controller(SIDE_RIGHT));
    auto* lc = dynamic_cast<GWasdController*>(match.controller(SIDE_LEFT));
    ASSERT_NE(rc, nullptr);
    ASSERT_NE(lc, nullptr);
    EXPECT_EQ(rc->input, &app.input);
    EXPECT_EQ(lc->input, &app.input);

    HMatchOwner computers(nullptr);
    computers.setUpLocal(CHOICE_COMPUTER, -1, 9);
    EXPECT_NE(dynamic_cast<GAiController*>(computers.played.controller(SIDE_LEFT)), nullptr);
    EXPECT_EQ(computers.played.controller(SIDE_RIGHT), nullptr);
}

TEST_F(MatchTest, ShipsFaceEachOtherAndTheLeftOneTakesZeroAtEqualX) {
    engine->update(1);
    EXPECT_FLOAT_EQ(right->rotation.y, 0.0f);
    EXPECT_FLOAT_EQ(left->rotation.y, 180.0f);

    right->position.x = -5.0f;
    left->position.x = 5.0f;
    engine->match.world.faceShips();
    EXPECT_FLOAT_EQ(right->rotation.y, 180.0f);
    EXPECT_FLOAT_EQ(left->rotation.y, 0.0f);

    right->position.x = left->position.x = 3.0f;
    right->rotation.y = left->rotation.y = 90.0f;
    engine->match.world.faceShips();
    EXPECT_FLOAT_EQ(left->rotation.y, 0.0f);
    EXPECT_FLOAT_EQ(right->rotation.y, 180.0f);
}

// The wobble counts ticks: one degree each, far from its turning points.
TEST_F(MatchTest, ShipsAreTickedEvery25MsFromTheirInsertion) {
    right->rotation.x = 0.0f;
    right->wobbleStep = 1.0f;
    app.update(25);
    EXPECT_FLOAT_EQ(right->rotation.x, 0.0f);  // first tick in the 26th ms
    app.update(1);
    EXPECT_FLOAT_EQ(right->rotation.x, 1.0f);
    app.update(250);
    EXPECT_FLOAT_EQ(right->rotation.x, 11.0f);
}

TEST_F(MatchTest, PauseFreezesTheMatchAndTheTimeIsNotMadeUp) {
    right->rotation.x = 0.0f;
    right->wobbleStep = 1.0f;
    const float tilt = 0.0f;
    app.keyDown('p');
    EXPECT_TRUE(engine->paused());
    right->health = 0;
    app.update(1000);
    EXPECT_FLOAT_EQ(right->rotation.x, tilt);
    EXPECT_EQ(engine->match.world.wheel.current, 1);
    EXPECT_FALSE(ended()) << "no end test while paused";
    right->health = 100;

    app.keyDown('p');
    EXPECT_FALSE(engine->paused());
    app.update(25);
    EXPECT_FLOAT_EQ(right->rotation.x, tilt) << "the paused second was not caught up";
    app.update(1);
    EXPECT_FLOAT_EQ(right->rotation.x, 1.0f);
}

TEST_F(MatchTest, OtherKeysDoNothing) {
    app.keyDown('o');
    app.keyDown(13);
    app.keyUp(27);
    EXPECT_EQ(app.currentScreen, engine);
    EXPECT_FALSE(engine->paused());
}

TEST_F(MatchTest, EscapeLeavesForTheMenuAndDestroysTheMatch) {
    // Shots in flight and a death queued: all of it goes with the engine
    // (the sanitizer build checks that nothing leaks or is freed twice).
    right->fire = true;
    right->tick();
    left->fire = true;
    left->tick();
    ASSERT_EQ(engine->match.world.objectCount, 5);
    engine->match.world.objects[4]->kill();
    app.keyDown(27);
    EXPECT_NE(dynamic_cast<MMainMenu*>(app.currentScreen), nullptr);
}

TEST_F(MatchTest, HealthUsedUpHandsTheResultOverAndTheUpdateStillFlushes) {
    right->fire = true;
    right->tick();
    ASSERT_EQ(engine->match.world.objectCount, 4);
    GObject* shot = engine->match.world.objects[3];
    shot->kill();
    left->health = 0;
    app.update(1);
    // Kept at once; the result waits for the wreck, or a key after its
    // first moments.
    ASSERT_TRUE(app.hasLastMatch());
    EXPECT_EQ(app.lastMatchKept()->end, vkr::END_FINISHED);
    app.update(HMatchOwner::KEY_GUARD_MS - 1);
    app.keyDown('x');
    ASSERT_EQ(app.currentScreen, engine);
    app.update(HMatchOwner::WRECK_WAIT_MS - HMatchOwner::KEY_GUARD_MS);
    ASSERT_EQ(app.currentScreen, engine);
    app.update(1);
    ASSERT_TRUE(ended());
    EXPECT_TRUE(result().finished);
    EXPECT_EQ(result().rightHealth, 100);
    EXPECT_EQ(result().leftHealth, 0);
    // The engine itself is gone now; the sanitizer build checks that the
    // queued shot went with the flush and nothing was touched after.
}

// A health of 1 is still in the match, on either side.
TEST_F(MatchTest, TheMatchEndsOnlyWhenAHealthIsZeroOrLess) {
    right->health = 1;
    left->health = 1;
    app.update(1);
    ASSERT_FALSE(ended());
    left->health = 0;
    app.update(1);
    ASSERT_TRUE(ended());
    EXPECT_EQ(result().rightHealth, 1);
    EXPECT_EQ(result().leftHealth, 0);
}

// The longest match ends at its last millisecond, not one later: a draw
// that was not played out, kept as left there, which a replay may hold.
TEST_F(MatchTest, TheLongestMatchEndsInADrawKeptAsLeft) {
    engine->match.world.elapsedMs = GMatch::LONGEST_MS - 2;
    engine->match.rightChoice = CHOICE_ACE;  // the sides told apart
    app.update(1);
    ASSERT_FALSE(ended());
    app.update(5);
    ASSERT_TRUE(ended());
    EXPECT_FALSE(result().finished);
    EXPECT_EQ(result().lengthMs, GMatch::LONGEST_MS);
    EXPECT_EQ(result().rightChoice, CHOICE_ACE);
    EXPECT_EQ(result().leftChoice, CONTROLLER_KIND_COUNT);
    ASSERT_TRUE(app.hasLastMatch());
    EXPECT_EQ(app.lastMatchKept()->end, vkr::END_LEFT);
    EXPECT_EQ(app.lastMatchKept()->endMs, GMatch::LONGEST_MS);
    EXPECT_LE(GMatch::LONGEST_MS, vkr::MAX_END_MS);
}

TEST_F(MatchTest, BothShipsGoneInOneUpdateGiveOneResultWithBothValues) {
    right->health = -5;
    left->health = 0;
    app.update(1);
    // Any key once the wreck's first moments are over, Escape too, shows
    // the result.
    app.update(HMatchOwner::KEY_GUARD_MS);
    app.keyDown(27);
    ASSERT_NE(dynamic_cast<MVictory*>(app.currentScreen), nullptr);
    EXPECT_EQ(result().rightHealth, -5);
    EXPECT_EQ(result().leftHealth, 0);
    EXPECT_TRUE(app.skipNextUpdate);
}

// Several hits in one step: two shots that strike in the same millisecond
// both count, so health can go below zero, and the value is handed over as
// it is.
TEST_F(MatchTest, HitsWithinOneStepCanTakeHealthBelowZero) {
    right->health = 5;
    for (int i = 0; i < 2; i++) {
        GProjectile* shot = new GProjectile(&engine->match.world, left);
        shot->position = right->position;
        ASSERT_TRUE(engine->match.world.addObject(shot));
    }
    app.update(40);  // both shots tick and strike at 16 ms
    ASSERT_TRUE(ended());
    EXPECT_LE(result().rightHealth, -5);
    EXPECT_EQ(result().rightHealth % 5, 0);
    EXPECT_EQ(result().leftHealth, 100);
}

}  // namespace

// --- what the world reports -----------------------------------------------------

std::string describe(const GEventList& events) {
    static const char* const kinds[] = {"fired", "hit", "bounce", "low", "won", "draw"};
    static const char* const sides[] = {"none", "left", "right"};
    std::string out;
    for (int32_t i = 0; i < events.count; i++) {
        const GEvent& e = events.items[i];
        char line[96];
        snprintf(line, sizeof line, "%s %s %.0f @%u; ", kinds[e.kind], sides[e.side + 1], e.x, e.ms);
        out += line;
    }
    return out;
}

// Each event names its side (the left ship is entry 1, whichever side of the
// field it is on), where it happened and when; a ship falls low once.
TEST(WorldEvents, ShotsHitsBouncesTheFallAndTheEndAreReportedOnceWithTheirSide) {
    GWorld world;
    world.setUpMatch(1);
    GShip* right = world.rightShip();
    GShip* left = world.leftShip();
    right->position = Vec3(-10.0f, 0.0f, -50.0f);  // the right ship on the left of the field
    left->position = Vec3(12.0f, 5.0f, -50.0f);
    right->health = 30;
    left->fire = true;  // nobody steers: the flag stays
    world.advance(26);  // the ships tick at 26 ms: the left one fires
    EXPECT_EQ(describe(world.events), "fired left 12 @26; ");
    left->fire = false;
    world.events.clear();
    for (int i = 0; i < 2; i++) {
        GProjectile* shot = new GProjectile(&world, left);
        shot->position = right->position;
        ASSERT_TRUE(world.addObject(shot));
    }
    world.advance(16);  // both shots strike at their first tick
    EXPECT_EQ(describe(world.events), "hit right -10 @42; hit right -10 @42; low right -10 @42; ");
    world.events.clear();
    right->position = Vec3(6.25f, 5.0f, -50.0f);  // moving into the left ship
    right->velocity = Vec3(1.0f, 0.0f, 0.0f);
    world.advance(25);
    EXPECT_EQ(describe(world.events), "bounce none 6 @51; ");
    world.events.clear();
    left->health = 10;
    for (int i = 0; i < 2; i++) {
        GProjectile* shot = new GProjectile(&world, right);
        shot->position = left->position;
        ASSERT_TRUE(world.addObject(shot));
    }
    // Already low: said at the next step, and not again. The left ship runs
    // into the shots at its tick; the match ends there, and no step follows.
    EXPECT_EQ(world.advance(100), 9);
    EXPECT_EQ(describe(world.events), "low left 13 @68; hit left 14 @76; hit left 14 @76; won right 6 @76; ");
    EXPECT_EQ(world.endMs, 76u);
}
