// Whole matches in process: two computer players driven through the real
// application with simulated time, from the start to the victory screen.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/happlication.h"
#include "game/gengine.h"
#include "game/gship.h"
#include "screens/mvictory.h"
#include "support/tempdir.h"

namespace {

struct Played {
    bool ended = false;
    int64_t matchMs = 0;
    int maxObjects = 0;
    int shotsSeen = 0;
    MatchResult result{};
    // The ships as they stood before the last update: position and velocity
    // x and y, right ship first.
    float ships[2][4] = {};
};

// Plays until the victory screen shows, at most `limitMs` of match time.
Played play(unsigned seed, int32_t stepMs, int64_t limitMs) {
    ScopedTempDir dir;
    srand(seed);
    HApplication app;
    app.startMatch(CHOICE_COMPUTER, CHOICE_COMPUTER);
    Played p;
    while (p.matchMs < limitMs) {
        auto* engine = dynamic_cast<GEngine*>(app.currentScreen);
        if (engine == nullptr) break;
        if (engine->objectCount > p.maxObjects) p.maxObjects = engine->objectCount;
        // Sanity of the table between updates: ships in 0 and 1, nothing
        // still queued, every entry scheduled.
        EXPECT_NE(engine->rightShip(), nullptr);
        EXPECT_EQ(engine->pendingCount, 0);
        for (int i = 0; i < engine->objectCount; i++) EXPECT_NE(engine->objects[i]->node, nullptr);
        p.shotsSeen += engine->objectCount - 3;
        const GShip* ships[2] = {engine->rightShip(), engine->leftShip()};
        for (int i = 0; i < 2; i++) {
            const float state[4] = {ships[i]->position.x, ships[i]->position.y, ships[i]->velocity.x,
                                    ships[i]->velocity.y};
            for (int j = 0; j < 4; j++) p.ships[i][j] = state[j];
        }
        app.update(stepMs);
        p.matchMs += stepMs;
    }
    if (auto* victory = dynamic_cast<MVictory*>(app.currentScreen)) {
        p.ended = true;
        p.result = victory->result;
    }
    return p;
}

void expectSoundResult(const Played& p) {
    ASSERT_TRUE(p.ended) << "no result after " << p.matchMs << " ms";
    EXPECT_TRUE(p.result.finished);
    EXPECT_TRUE(p.result.rightHealth <= 0 || p.result.leftHealth <= 0);
    EXPECT_LE(p.result.rightHealth, GShip::FULL_HEALTH);
    EXPECT_LE(p.result.leftHealth, GShip::FULL_HEALTH);
    // Damage comes only in hits of 5.
    EXPECT_EQ(p.result.rightHealth % 5, 0);
    EXPECT_EQ(p.result.leftHealth % 5, 0);
    EXPECT_GT(p.shotsSeen, 0);
}

TEST(WholeMatch, TwoComputerPlayersFinishAtFrameSteps) {
    for (unsigned seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        const Played p = play(seed, 16, 60LL * 60 * 1000);
        expectSoundResult(p);
    }
}

TEST(WholeMatch, TwoComputerPlayersFinishAtOneMillisecondSteps) {
    const Played p = play(4, 1, 60LL * 60 * 1000);
    expectSoundResult(p);
}

// The same seed and the same steps give the same match, on every machine and
// in every build: nothing in a match depends on the wall clock, on memory
// addresses or on how the compiler rounds (no fused multiply-adds). Recorded
// from the game as built; a change to any rule of play shows up here.
TEST(WholeMatch, SeededMatchPlaysOutExactlyAsRecorded) {
    const Played p = play(9, 16, 60LL * 60 * 1000);
    ASSERT_TRUE(p.ended);
    EXPECT_EQ(p.matchMs, 42032);
    EXPECT_EQ(p.result.rightHealth, 0);
    EXPECT_EQ(p.result.leftHealth, 15);
    EXPECT_EQ(p.shotsSeen, 16438);  // shots in the table, summed over the updates
    EXPECT_EQ(p.maxObjects, 13);
    // Exact to the last bit, written as hexadecimal floats.
    const float ships[2][4] = {{0x1.6ee07p+4f, 0x1.09d3e8p+4f, 0x1.84af04p-2f, 0x1.e26b5cp-2f},
                               {0x1.b71b3ep+3f, 0x1.eb066ep+3f, 0x1.187ea8p-5f, -0x1.3ec722p-1f}};
    for (int i = 0; i < 2; i++) {
        for (int j = 0; j < 4; j++) EXPECT_EQ(p.ships[i][j], ships[i][j]) << (i ? "left" : "right") << " ship, value " << j;
    }
}

}  // namespace
