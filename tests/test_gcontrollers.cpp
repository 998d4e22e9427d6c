// Controllers: the two keyboard players through SDL's real key state array
// and the gamepads they also follow, and the computer player's random walk.
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "game/gaicontroller.h"
#include "game/gcontroller.h"
#include "game/gmovable.h"
#include "game/gpads.h"
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

// --- gamepads ----------------------------------------------------------------

// Pads as a test sets them up: the first `count` present, one of them with
// a state, the rest centred with nothing held.
class ScriptedPads : public GPads {
public:
    int32_t count = 0;
    State states[MAX_PADS] = {};
    bool read(int32_t index, State& state) const override {
        if (index < 0 || index >= count) return false;
        state = states[index];
        return true;
    }
};

// The five flags as "udlrf", a '.' for each one clear.
std::string flags(const GMovable& m) {
    std::string out = ".....";
    if (m.up) out[0] = 'u';
    if (m.down) out[1] = 'd';
    if (m.left) out[2] = 'l';
    if (m.right) out[3] = 'r';
    if (m.fire) out[4] = 'f';
    return out;
}

class PadTest : public KeyboardTest {
protected:
    void TearDown() override {
        thePads = nullptr;
        KeyboardTest::TearDown();
    }
};

// A third of an axis's 32767 is 10922.3: 10922 is still inside the dead
// zone, 10923 past it, either way. Each row is played by both keyboard
// players at once; the cursor keys follow the first pad, W A S D the second.
TEST_F(PadTest, EachKeyboardPlayerFollowsItsOwnPadPastTheDeadZone) {
    const SDLKey NONE = SDLK_UNKNOWN;
    struct Case {
        const char* name;
        int32_t pads;  // how many are present; 0 installs no reader at all
        int32_t pad;   // which one has `state`
        GPads::State state;
        SDLKey key;          // held as well
        const char* cursor;  // the cursor-key player's flags
        const char* wasd;    // the W A S D player's flags
    } cases[] = {
        {"no reader: keys alone", 0, 0, {}, SDLK_UP, "u....", "....."},
        {"no reader, no key", 0, 0, {}, NONE, ".....", "....."},
        {"centred pads: keys alone", 2, 0, {}, SDLK_a, ".....", "..l.."},
        {"x just inside, right", 2, 0, {10922, 0, 0, 0}, NONE, ".....", "....."},
        {"x just past, right", 2, 0, {10923, 0, 0, 0}, NONE, "...r.", "....."},
        {"x just inside, left", 2, 0, {-10922, 0, 0, 0}, NONE, ".....", "....."},
        {"x just past, left", 2, 0, {-10923, 0, 0, 0}, NONE, "..l..", "....."},
        {"y just inside, up", 2, 0, {0, -10922, 0, 0}, NONE, ".....", "....."},
        {"y just past, up", 2, 0, {0, -10923, 0, 0}, NONE, "u....", "....."},
        {"y just inside, down", 2, 0, {0, 10922, 0, 0}, NONE, ".....", "....."},
        {"y just past, down", 2, 0, {0, 10923, 0, 0}, NONE, ".d...", "....."},
        {"full deflection", 2, 0, {-32768, 32767, 0, 0}, NONE, ".dl..", "....."},
        {"hat up", 2, 0, {0, 0, SDL_HAT_UP, 0}, NONE, "u....", "....."},
        {"hat right", 2, 0, {0, 0, SDL_HAT_RIGHT, 0}, NONE, "...r.", "....."},
        {"hat down", 2, 0, {0, 0, SDL_HAT_DOWN, 0}, NONE, ".d...", "....."},
        {"hat left", 2, 0, {0, 0, SDL_HAT_LEFT, 0}, NONE, "..l..", "....."},
        {"hat left-up", 2, 0, {0, 0, SDL_HAT_LEFTUP, 0}, NONE, "u.l..", "....."},
        {"button 0", 2, 0, {0, 0, 0, 1u << 0}, NONE, "....f", "....."},
        {"button 1", 2, 0, {0, 0, 0, 1u << 1}, NONE, "....f", "....."},
        {"button 2", 2, 0, {0, 0, 0, 1u << 2}, NONE, "....f", "....."},
        {"button 3", 2, 0, {0, 0, 0, 1u << 3}, NONE, "....f", "....."},
        {"button 4 does not fire", 2, 0, {0, 0, 0, 1u << 4}, NONE, ".....", "....."},
        {"second pad, stick", 2, 1, {10923, -10923, 0, 0}, NONE, ".....", "u..r."},
        {"second pad, hat and button", 2, 1, {0, 0, SDL_HAT_DOWN, 1u << 3}, NONE, ".....", ".d..f"},
        {"second pad, button 4", 2, 1, {0, 0, 0, 1u << 4}, NONE, ".....", "....."},
        {"key or pad, first pad", 2, 0, {32767, 0, 0, 0}, SDLK_LEFT, "..lr.", "....."},
        {"key or pad, second pad", 2, 1, {0, -32768, 0, 0}, SDLK_s, ".....", "ud..."},
        {"one pad: the cursor player's, W A S D on keys", 1, 0, {0, 0, 0, 1u}, SDLK_d, "....f", "...r."},
    };
    ScriptedPads pads;
    GMovable leftShip(nullptr, nullptr);
    GArrowKeysController cursor(nullptr, &ship);
    GWasdController wasd(nullptr, &leftShip);
    for (const Case& c : cases) {
        pads = ScriptedPads();
        pads.count = c.pads;
        pads.states[c.pad] = c.state;
        thePads = c.pads > 0 ? &pads : nullptr;
        releaseAll();
        if (c.key != NONE) hold(c.key);
        cursor.control();
        wasd.control();
        EXPECT_EQ(flags(ship), c.cursor) << c.name;
        EXPECT_EQ(flags(leftShip), c.wasd) << c.name;
    }

    // The computer player decides as it would with no pads, even with both
    // pads held every way at once.
    releaseAll();
    for (unsigned seed : {1u, 2u, 3u}) {
        GMovable alone(nullptr, nullptr), beside(nullptr, nullptr);
        thePads = nullptr;
        srand(seed);
        GAiController(nullptr, &alone).control();
        pads.count = 2;
        pads.states[0] = pads.states[1] = {-32768, -32768, SDL_HAT_LEFTUP, ~0u};
        thePads = &pads;
        srand(seed);
        GAiController(nullptr, &beside).control();
        EXPECT_EQ(flags(beside), flags(alone)) << seed;
    }
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
