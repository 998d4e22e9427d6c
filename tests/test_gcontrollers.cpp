// Controllers: the two keyboard players through SDL's real key state array,
// and the computer player's random walk.
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "game/gaicontroller.h"
#include "game/gcontroller.h"
#include "game/gmovable.h"
#include "game/gship.h"

namespace {

// SDL_GetKeyState(NULL) hands out SDL's own, writable array; the tests hold
// keys by writing into it, as the event pump would.
class KeyboardTest : public ::testing::Test {
protected:
    void SetUp() override { releaseAll(); }
    void TearDown() override { releaseAll(); }

    static void releaseAll() {
        int count = 0;
        Uint8* keys = SDL_GetKeyState(&count);
        memset(keys, 0, static_cast<size_t>(count));
    }
    static void hold(SDLKey key) { SDL_GetKeyState(NULL)[key] = 1; }
    static void release(SDLKey key) { SDL_GetKeyState(NULL)[key] = 0; }

    static int flagsSet(const GMovable& m) { return m.up + m.down + m.left + m.right + m.fire; }

    GMovable ship{nullptr, nullptr};
};

TEST_F(KeyboardTest, CursorKeysFollowTheKeysExactly) {
    GArrowKeysController arrows(nullptr, &ship);
    hold(SDLK_UP);
    hold(SDLK_RCTRL);
    arrows.control();
    EXPECT_TRUE(ship.up);
    EXPECT_TRUE(ship.fire);
    EXPECT_EQ(flagsSet(ship), 2);

    release(SDLK_UP);
    release(SDLK_RCTRL);
    hold(SDLK_DOWN);
    hold(SDLK_LEFT);
    hold(SDLK_RIGHT);
    arrows.control();
    EXPECT_FALSE(ship.up);
    EXPECT_FALSE(ship.fire);
    EXPECT_TRUE(ship.down && ship.left && ship.right);

    releaseAll();
    arrows.control();
    EXPECT_EQ(flagsSet(ship), 0);
}

TEST_F(KeyboardTest, WasdHoldsBothKeysOfAPair) {
    GWasdController wasd(nullptr, &ship);
    hold(SDLK_w);
    hold(SDLK_s);
    wasd.control();
    EXPECT_TRUE(ship.up);
    EXPECT_TRUE(ship.down);
    EXPECT_EQ(flagsSet(ship), 2);

    hold(SDLK_a);
    hold(SDLK_d);
    hold(SDLK_LCTRL);
    wasd.control();
    EXPECT_EQ(flagsSet(ship), 5);
}

TEST_F(KeyboardTest, TwoPlayersShareOneKeyboardEachOnItsOwnKeys) {
    GMovable leftShip(nullptr, nullptr);
    GArrowKeysController arrows(nullptr, &ship);
    GWasdController wasd(nullptr, &leftShip);
    hold(SDLK_RIGHT);
    hold(SDLK_RCTRL);
    hold(SDLK_w);
    hold(SDLK_LCTRL);
    arrows.control();
    wasd.control();
    EXPECT_TRUE(ship.right && ship.fire);
    EXPECT_EQ(flagsSet(ship), 2);
    EXPECT_TRUE(leftShip.up && leftShip.fire);
    EXPECT_EQ(flagsSet(leftShip), 2);
}

TEST_F(KeyboardTest, ControllersWithoutATargetDoNothing) {
    hold(SDLK_UP);
    GArrowKeysController arrows(nullptr, nullptr);
    GAiController ai(nullptr, nullptr);
    arrows.control();
    ai.control();
    EXPECT_EQ(ai.countdown, 0);
}

TEST_F(KeyboardTest, ShipOwnsItsControllerAndAskItEveryStep) {
    auto* arrows = new GArrowKeysController(nullptr, &ship);
    ship.setController(arrows);
    ship.speed = 1.0f;
    hold(SDLK_LEFT);
    ship.tick();
    EXPECT_FLOAT_EQ(ship.velocity.x, -1.0f);
    ship.setController(new GWasdController(nullptr, &ship));  // deletes the first
    ship.tick();
    EXPECT_FALSE(ship.left);
}

// --- the computer player -----------------------------------------------------

class AiTest : public ::testing::Test {
protected:
    // What the next decision will be, read off the generator without
    // disturbing the sequence the controller will see.
    struct Decision {
        int horizontal, vertical, countdown;
    };
    static Decision upcoming(unsigned seed) {
        srand(seed);
        Decision d;
        d.horizontal = rand() % 3;
        d.vertical = rand() % 3;
        d.countdown = rand() % 30 + 5;
        srand(seed);
        return d;
    }
    // Moves the target as a steered ship would, so it never counts as stuck.
    void step() {
        ship.previousPosition = ship.position;
        ship.position.x += 0.5f;
    }
    // Sets a pattern no decision can make (both of each pair), so a kept
    // decision can be told from a new one.
    void mark() { ship.left = ship.right = ship.up = ship.down = true; }
    bool marked() const { return ship.left && ship.right && ship.up && ship.down; }

    GMovable ship{nullptr, nullptr};
    GAiController ai{nullptr, &ship};
};

TEST_F(AiTest, FirstCallDecidesWithThreeDrawsInOrder) {
    for (unsigned seed : {1u, 2u, 3u, 99u, 12345u}) {
        GMovable target(nullptr, nullptr);
        GAiController fresh(nullptr, &target);
        target.position.x = 1.0f;  // moved: not stuck, so only the countdown decides
        const Decision d = upcoming(seed);
        fresh.control();
        EXPECT_EQ(target.left, d.horizontal == 0) << seed;
        EXPECT_EQ(target.right, d.horizontal == 1) << seed;
        EXPECT_EQ(target.up, d.vertical == 0) << seed;
        EXPECT_EQ(target.down, d.vertical == 1) << seed;
        EXPECT_EQ(fresh.countdown, d.countdown) << seed;
        EXPECT_TRUE(target.fire);
        EXPECT_GE(fresh.countdown, 5);
        EXPECT_LE(fresh.countdown, 34);
    }
}

TEST_F(AiTest, DecisionHoldsForCountdownPlusOneTicksWhileTheShipMoves) {
    srand(7);
    step();
    ai.control();
    const int n = ai.countdown;
    mark();
    for (int i = 0; i < n; i++) {
        ship.fire = false;
        step();
        ai.control();
        EXPECT_TRUE(marked()) << "call " << i + 1 << " of " << n << " decided early";
        EXPECT_TRUE(ship.fire) << "fire is set on every call";
    }
    step();
    ai.control();
    EXPECT_FALSE(marked()) << "the call after the hold decides";
}

TEST_F(AiTest, ShipThatDidNotMoveInXAndYGetsANewDecisionAtOnce) {
    srand(11);
    step();
    ai.control();
    ASSERT_GT(ai.countdown, 1);

    mark();
    ship.previousPosition = ship.position;
    ship.position.z -= 3.0f;  // moving in z alone does not count
    ai.control();
    EXPECT_FALSE(marked());

    mark();
    step();
    ai.control();
    EXPECT_TRUE(marked());
}

// Through the ship's own movement step and the edges of the field: the
// random walk reaches all four quarters of the field and is never pinned for
// good, since a ship that stops moving gets a new decision.
TEST(AiPlayer, WandersTheWholeField) {
    srand(2024);
    GShip ship(nullptr, nullptr, nullptr);
    ship.setController(new GAiController(nullptr, &ship));
    bool visited[2][2] = {{false, false}, {false, false}};
    int longestStill = 0, still = 0;
    for (int i = 0; i < 40000; i++) {  // 1000 s of match time
        ship.tick();
        if (std::abs(ship.position.x) > 10.0f && std::abs(ship.position.y) > 8.0f) {
            visited[ship.position.x > 0][ship.position.y > 0] = true;
        }
        still = equalsXY(ship.position, ship.previousPosition) ? still + 1 : 0;
        longestStill = std::max(longestStill, still);
    }
    EXPECT_TRUE(visited[0][0] && visited[0][1] && visited[1][0] && visited[1][1]);
    EXPECT_LT(longestStill, 200);
}

}  // namespace
