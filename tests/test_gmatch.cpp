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
    EXPECT_LE(p.maxObjects, GEngine::MAX_OBJECTS);
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

// The same seed and the same steps give the same match: nothing in a match
// depends on the wall clock or on memory addresses.
TEST(WholeMatch, SameSeedReplaysTheSameMatch) {
    const Played a = play(9, 16, 60LL * 60 * 1000);
    const Played b = play(9, 16, 60LL * 60 * 1000);
    ASSERT_TRUE(a.ended);
    EXPECT_EQ(a.matchMs, b.matchMs);
    EXPECT_EQ(a.result.rightHealth, b.result.rightHealth);
    EXPECT_EQ(a.result.leftHealth, b.result.leftHealth);
}

}  // namespace
