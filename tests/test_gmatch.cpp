// Whole matches in process: two computer players driven through the real
// application with simulated time, from the start to the victory screen.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/happlication.h"
#include "app/hmatchowner.h"
#include "screens/gengine.h"
#include "game/greplay.h"
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
    GReplay kept;  // what the application kept of the match
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
        if (engine->match.world.objectCount > p.maxObjects) p.maxObjects = engine->match.world.objectCount;
        // Sanity of the table between updates: ships in 0 and 1, nothing
        // still queued, every entry scheduled.
        EXPECT_NE(engine->rightShip(), nullptr);
        EXPECT_EQ(engine->match.world.pendingCount, 0);
        for (int i = 0; i < engine->match.world.objectCount; i++) EXPECT_NE(engine->match.world.objects[i]->node, nullptr);
        p.shotsSeen += engine->match.world.objectCount - 3;
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
    EXPECT_TRUE(app.hasLastMatch());
    if (app.hasLastMatch()) p.kept = *app.lastMatchKept();
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
    // The result shows once the wreck has played: 94 passes of 16 ms more.
    EXPECT_EQ(p.matchMs, 41792 + 1504);
    EXPECT_EQ(p.kept.endMs, 41762u);
    EXPECT_EQ(p.result.rightHealth, 35);
    EXPECT_EQ(p.result.leftHealth, 0);
    EXPECT_EQ(p.shotsSeen, 14230);  // shots in the table, summed over the updates, the wreck's too
    EXPECT_EQ(p.maxObjects, 13);
    EXPECT_EQ(p.kept.hash, 0x0852a3099a6530c8ull);
    // Exact to the last bit, written as hexadecimal floats.
    const float ships[2][4] = {{0x1.ap+4f, -0x1.1079cap+4f, 0x1.83a1bcp-1f, 0x1.975f6p-2f},
                               {-0x1.264e86p+3f, -0x1.3p+4f, 0x1.fb1962p-2f, -0x1.826e7ep-1f}};
    for (int i = 0; i < 2; i++) {
        for (int j = 0; j < 4; j++) EXPECT_EQ(p.ships[i][j], ships[i][j]) << (i ? "left" : "right") << " ship, value " << j;
    }
}

// A match is cut into 1 ms steps whatever the passes of the main loop
// bring: a fast machine and a slow one play the same match.
TEST(WholeMatch, PassesOfAnyLengthPlayTheSameMatch) {
    for (int32_t passMs : {1, 7, 33}) {
        SCOPED_TRACE(passMs);
        const Played p = play(9, passMs, 60LL * 60 * 1000);
        ASSERT_TRUE(p.ended);
        EXPECT_EQ(p.kept.endMs, 41762u);
        EXPECT_EQ(p.kept.hash, 0x0852a3099a6530c8ull);
        // And all of the time a pass brings is played: the end comes in the
        // pass that reaches its millisecond (the first pass after the
        // switch to the match is dropped), the result in the pass that
        // ends the wreck, a pass's rounding later.
        EXPECT_GT(p.kept.endMs + HMatchOwner::WRECK_WAIT_MS + 3 * passMs, p.matchMs);
        EXPECT_LE(p.kept.endMs + HMatchOwner::WRECK_WAIT_MS + passMs, p.matchMs);
        EXPECT_EQ(p.kept.left.tickCount(), p.kept.right.tickCount());
        EXPECT_EQ(p.kept.left.tickCount(), 41762u / 25u);
    }
}

}  // namespace

// An advance that makes more events than a list holds (a recording's two
// hours of both ships firing, stepped through in one update) is told to
// every listener up to the bound; what passes it is counted and said, never
// lost without a trace.
TEST(WholeMatch, EventsPastAnAdvancesBoundAreCountedAndSaid) {
    // The longest recording there can be, made by hand: both ships hold fire
    // for 288,000 ticks, seed 1.
    const std::vector<uint8_t> file = {
        0x56, 0x4b, 0x52, 0x1a, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00,
        0x00, 0x00, 0x80, 0xca, 0x11, 0x01, 0x10, 0x80, 0xca, 0x11, 0x80, 0xca, 0x11, 0x01, 0x10, 0x80,
        0xca, 0x11, 0x00, 0xdd, 0x6d, 0x00, 0x01, 0x64, 0x00, 0x00, 0x00, 0x64, 0x00, 0x00, 0x00, 0x59,
        0xf5, 0x01, 0xd5, 0xec, 0x67, 0x94, 0x7b, 0x37, 0x32, 0x82, 0xd0};
    FILE* in = fmemopen(const_cast<uint8_t*>(file.data()), file.size(), "rb");
    GReplay replay;
    std::string why;
    ASSERT_EQ(readReplay(in, replay, why), GReplayRead::OK) << why;
    fclose(in);
    uint64_t made = 0;  // the same match, a second at a time
    GMatch counted;
    counted.setUpReplay(replay);
    while (!counted.ended() && counted.world.elapsedMs < replay.endMs) {
        counted.advance(1000);
        made += static_cast<uint64_t>(counted.world.events.count);
    }
    struct Heard : GEventListener {
        uint64_t events = 0;
        void hear(const GEventList& list, const GWorld&) override { events += static_cast<uint64_t>(list.count); }
    } heard;
    HMatchOwner owner(nullptr);
    ASSERT_TRUE(owner.setUpReplay(replay));
    owner.listen(&heard);
    testing::internal::CaptureStderr();
    owner.update(static_cast<int32_t>(replay.endMs));
    const std::string said = testing::internal::GetCapturedStderr();
    ASSERT_GT(made, static_cast<uint64_t>(GEventList::MAX_EVENTS));
    EXPECT_EQ(heard.events, static_cast<uint64_t>(GEventList::MAX_EVENTS));
    EXPECT_EQ(heard.events + owner.eventsLost, made);
    EXPECT_EQ(said, std::to_string(owner.eventsLost) + " events of one update were not heard.\n");
}
