// Controllers: the two keyboard players reading the input snapshot and the
// gamepads in it, and the computer player's random walk.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "game/gaicontroller.h"
#include "game/gcontroller.h"
#include "game/gmatch.h"
#include "game/gship.h"

namespace {

// The five flags as "udlrf", a '.' for each one clear.
std::string flags(uint8_t bits) {
    std::string out = ".....";
    const char marks[] = "udlrf";
    for (int i = 0; i < 5; i++) {
        if (bits & (1 << i)) out[i] = marks[i];
    }
    return out;
}

// A third of an axis's 32767 is 10922.3: 10922 is still inside the dead
// zone, 10923 past it, either way. Each row is played by both keyboard
// players at once; the cursor keys follow the first pad, W A S D the second.
TEST(KeyboardPlayers, EachFollowsItsKeysAndItsOwnPadPastTheDeadZone) {
    const uint16_t NONE = 0;
    struct Case {
        const char* name;
        int32_t pads;  // how many are present
        int32_t pad;   // which one has `state`
        GPads::State state;
        uint16_t keys[3];    // held as well
        const char* cursor;  // the cursor-key player's flags
        const char* wasd;    // the W A S D player's flags
    } cases[] = {
        {"no pad: keys alone", 0, 0, {}, {gkey::UP, gkey::RCTRL}, "u...f", "....."},
        {"no pad, no key", 0, 0, {}, {}, ".....", "....."},
        {"both keys of a pair", 0, 0, {}, {gkey::W, gkey::S}, ".....", "ud..."},
        {"each player on its own keys", 0, 0, {}, {gkey::RIGHT, gkey::LCTRL, gkey::W}, "...r.", "u...f"},
        {"down, left and right", 0, 0, {}, {gkey::DOWN, gkey::LEFT, gkey::RIGHT}, ".dlr.", "....."},
        {"centred pads: keys alone", 2, 0, {}, {gkey::A}, ".....", "..l.."},
        {"x just inside, right", 2, 0, {10922, 0, 0, 0}, {}, ".....", "....."},
        {"x just past, right", 2, 0, {10923, 0, 0, 0}, {}, "...r.", "....."},
        {"x just inside, left", 2, 0, {-10922, 0, 0, 0}, {}, ".....", "....."},
        {"x just past, left", 2, 0, {-10923, 0, 0, 0}, {}, "..l..", "....."},
        {"y just inside, up", 2, 0, {0, -10922, 0, 0}, {}, ".....", "....."},
        {"y just past, up", 2, 0, {0, -10923, 0, 0}, {}, "u....", "....."},
        {"y just inside, down", 2, 0, {0, 10922, 0, 0}, {}, ".....", "....."},
        {"y just past, down", 2, 0, {0, 10923, 0, 0}, {}, ".d...", "....."},
        {"full deflection", 2, 0, {-32768, 32767, 0, 0}, {}, ".dl..", "....."},
        {"hat up", 2, 0, {0, 0, GPads::HAT_UP, 0}, {}, "u....", "....."},
        {"hat right", 2, 0, {0, 0, GPads::HAT_RIGHT, 0}, {}, "...r.", "....."},
        {"hat down", 2, 0, {0, 0, GPads::HAT_DOWN, 0}, {}, ".d...", "....."},
        {"hat left", 2, 0, {0, 0, GPads::HAT_LEFT, 0}, {}, "..l..", "....."},
        {"hat left-up", 2, 0, {0, 0, GPads::HAT_LEFT | GPads::HAT_UP, 0}, {}, "u.l..", "....."},
        {"button 0", 2, 0, {0, 0, 0, 1u << 0}, {}, "....f", "....."},
        {"button 1", 2, 0, {0, 0, 0, 1u << 1}, {}, "....f", "....."},
        {"button 2", 2, 0, {0, 0, 0, 1u << 2}, {}, "....f", "....."},
        {"button 3", 2, 0, {0, 0, 0, 1u << 3}, {}, "....f", "....."},
        {"button 4 does not fire", 2, 0, {0, 0, 0, 1u << 4}, {}, ".....", "....."},
        {"second pad, stick", 2, 1, {10923, -10923, 0, 0}, {}, ".....", "u..r."},
        {"second pad, hat and button", 2, 1, {0, 0, GPads::HAT_DOWN, 1u << 3}, {}, ".....", ".d..f"},
        {"second pad, button 4", 2, 1, {0, 0, 0, 1u << 4}, {}, ".....", "....."},
        {"key or pad, first pad", 2, 0, {32767, 0, 0, 0}, {gkey::LEFT}, "..lr.", "....."},
        {"key or pad, second pad", 2, 1, {0, -32768, 0, 0}, {gkey::S}, ".....", "ud..."},
        {"one pad: the cursor player's, W A S D on keys", 1, 0, {0, 0, 0, 1u}, {gkey::D}, "....f", "...r."},
    };
    GWorld world;
    GInput input;
    GArrowKeysController cursor(&input);
    GWasdController wasd(&input);
    for (const Case& c : cases) {
        input = GInput();
        for (int32_t i = 0; i < c.pads; i++) input.padPresent[i] = true;
        input.pads[c.pad] = c.state;
        for (uint16_t key : c.keys) {
            if (key != NONE) input.keys[key] = 1;
        }
        EXPECT_EQ(flags(cursor.flags(world, SIDE_RIGHT, 1)), c.cursor) << c.name;
        EXPECT_EQ(flags(wasd.flags(world, SIDE_LEFT, 1)), c.wasd) << c.name;
    }
    // Without a snapshot nothing is held.
    EXPECT_EQ(GArrowKeysController(nullptr).flags(world, SIDE_RIGHT, 1), 0);
}

// The bindings travel with the match's set-up, where a network match also
// gets its own player (it wraps the controller made here), and the left
// keys are the left player's on whichever ship they fly.
TEST(KeyboardPlayers, ReboundKeysAndPadsReachTheMatchWhicheverShipTheyFly) {
    GKeyBinding keys[2] = {GWasdController::KEYS, GArrowKeysController::KEYS};
    keys[SIDE_LEFT].up = 'x';
    keys[SIDE_LEFT].pad = 3;
    keys[SIDE_LEFT].padFire = 5;
    keys[SIDE_RIGHT].up = 'i';
    GInput input;
    input.padPresent[3] = true;
    GMatch match;
    match.setUp(7, CHOICE_ARROW_KEYS, CHOICE_WASD, &input, keys);
    const struct {
        std::vector<uint16_t> held;
        uint32_t buttons;    // of the fourth pad
        const char* left;    // the right keys' flags, on the left ship
        const char* right;   // the left keys', on the right ship
    } rows[] = {{{'x'}, 0, ".....", "u...."},        {{gkey::W, gkey::UP}, 0, ".....", "....."},
                {{'i'}, 1u << 5, "u....", "....f"},  {{}, 1u << 0, ".....", "....."}};
    for (const auto& row : rows) {
        for (uint8_t& k : input.keys) k = 0;
        for (uint16_t key : row.held) input.keys[key] = 1;
        input.pads[3].buttons = row.buttons;
        EXPECT_EQ(flags(match.controller(SIDE_LEFT)->flags(match.world, SIDE_LEFT, 1)), row.left);
        EXPECT_EQ(flags(match.controller(SIDE_RIGHT)->flags(match.world, SIDE_RIGHT, 1)), row.right);
    }
}

// --- the computer player -----------------------------------------------------

// The computer player flies the left ship of a world nobody else steers; a
// decision is three draws from the world's source.
class AiTest : public ::testing::Test {
protected:
    void SetUp() override { world.setUpMatch(7); }
    struct Decision {
        int horizontal, vertical, countdown;
    };
    // What the next decision will be, read off a copy of the source.
    Decision upcoming() const {
        GRandom r = world.random;
        Decision d;
        d.horizontal = r.next() % 3;
        d.vertical = r.next() % 3;
        d.countdown = r.next() % 30 + 5;
        return d;
    }
    // Moves the ship as a steered ship would, so it never counts as stuck.
    void moveOn() {
        ship->previousPosition = ship->position;
        ship->position.x += 0.5f;
    }
    // Whether a call decided: a decision draws from the source.
    bool decides() {
        const uint64_t before = world.random.state;
        last = ai.flags(world, SIDE_LEFT, 1);
        return world.random.state != before;
    }

    GWorld world;
    GShip* ship = nullptr;
    GAiController ai;
    uint8_t last = 0;
};

TEST_F(AiTest, FirstCallDecidesWithThreeDrawsInOrderAndAlwaysFires) {
    for (uint32_t seed : {1u, 2u, 3u, 99u, 12345u}) {
        GWorld fresh;
        fresh.setUpMatch(seed);
        fresh.leftShip()->position.x = 1.0f;  // moved: not stuck, so only the countdown decides
        world.random = fresh.random;
        const Decision d = upcoming();
        GAiController player;
        const std::string got = flags(player.flags(fresh, SIDE_LEFT, 1));
        std::string want = ".....";
        if (d.vertical == 0) want[0] = 'u';
        if (d.vertical == 1) want[1] = 'd';
        if (d.horizontal == 0) want[2] = 'l';
        if (d.horizontal == 1) want[3] = 'r';
        want[4] = 'f';
        EXPECT_EQ(got, want) << seed;
        EXPECT_EQ(player.state.countdown, d.countdown) << seed;
        EXPECT_GE(player.state.countdown, 5);
        EXPECT_LE(player.state.countdown, 34);
    }
    // Without a ship to fly, nothing is asked and nothing drawn.
    GWorld empty;
    EXPECT_EQ(GAiController().flags(empty, SIDE_LEFT, 1), 0);
}

TEST_F(AiTest, DecisionHoldsForCountdownPlusOneTicksWhileTheShipMoves) {
    ship = world.leftShip();
    moveOn();
    ASSERT_TRUE(decides());
    const uint8_t decision = last;
    const int n = ai.state.countdown;
    for (int i = 0; i < n; i++) {
        moveOn();
        EXPECT_FALSE(decides()) << "call " << i + 1 << " of " << n << " decided early";
        EXPECT_EQ(last, decision);
    }
    moveOn();
    EXPECT_TRUE(decides()) << "the call after the hold decides";
}

TEST_F(AiTest, ShipThatDidNotMoveInXAndYGetsANewDecisionAtOnce) {
    ship = world.leftShip();
    moveOn();
    ASSERT_TRUE(decides());
    ASSERT_GT(ai.state.countdown, 1);

    ship->previousPosition = ship->position;
    ship->position.z -= 3.0f;  // moving in z alone does not count
    EXPECT_TRUE(decides());
    moveOn();
    EXPECT_FALSE(decides());
}

// Through the ship's own movement step and the edges of the field: the
// random walk reaches all four quarters of the field and is never pinned for
// good, since a ship that stops moving gets a new decision.
TEST(AiPlayer, WandersTheWholeField) {
    GMatch match;
    match.setUp(2024, CHOICE_COMPUTER, -1);
    const GShip& ship = *match.world.leftShip();
    bool visited[2][2] = {{false, false}, {false, false}};
    int longestStill = 0, still = 0;
    for (int i = 0; i < 40000; i++) {  // 1000 s of match time
        match.advance(GShip::PERIOD_MS);
        match.world.rightShip()->health = GShip::FULL_HEALTH;  // the other ship is a sitting target
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
