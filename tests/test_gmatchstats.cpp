// Match statistics: hits as recorded healths tell them, times as healths
// read step by step hold them, and a live match as its replay counts.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "game/gmatch.h"
#include "game/gmatchstats.h"
#include "game/gplayback.h"
#include "game/gship.h"
#include "support/toolrun.h"

// aheadMs and longestUnhitMs as the header defines them, from the healths
// after every step, never from events.
static void expectTimesOfHealths(const GReplay& replay, const GMatchStats& counted) {
    GMatch match;
    GLookAhead toEnd(0, replay.endMs);
    match.setUpReplay(replay);
    uint32_t ahead[2] = {0, 0}, longest[2] = {0, 0}, lastHit[2] = {0, 0};
    int32_t was[2] = {GShip::FULL_HEALTH, GShip::FULL_HEALTH};
    while (match.advance(1, &toEnd) > 0) {
        if (was[0] != was[1]) ahead[was[0] > was[1] ? 0 : 1]++;  // the millisecond just stepped
        const int32_t now[2] = {match.world.leftShip()->health, match.world.rightShip()->health};
        for (int32_t side = 0; side < 2; side++) {
            if (now[side] == was[side]) continue;
            longest[side] = std::max(longest[side], match.world.elapsedMs - lastHit[side]);
            lastHit[side] = match.world.elapsedMs, was[side] = now[side];
        }
    }
    for (int32_t side = 0; side < 2; side++) {
        EXPECT_EQ(counted.ships[side].aheadMs, ahead[side]) << "side " << side << " at " << replay.endMs << " ms";
        EXPECT_EQ(counted.ships[side].longestUnhitMs, std::max(longest[side], replay.endMs - lastHit[side])) << side;
    }
}

// A row per recorded match, checked by hand: a hit costs 5 of 100 health.
TEST(MatchStats, RecordedMatchesCountTheHitsTheirHealthsShowAndTheTimesTheyHeld) {
    const struct {
        const char* file;
        uint32_t leftHits, rightHits;  // (100 - the other's health) / 5
    } rows[] = {{"computers_right_wins.vkr", 8, 20}, {"computers_left_wins.vkr", 20, 16}, {"ace_against_pilot.vkr", 20, 17},
                {"wasd_against_computer.vkr", 20, 7}, {"keys_mirrored_draw.vkr", 20, 20}, {"arrows_left_with_escape.vkr", 1, 7}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        const std::string path = std::string(VEKTORAK_TEST_REPLAYS) + "/" + row.file;
        GReplay replay;
        std::string why;
        ASSERT_EQ(loadReplay(path.c_str(), replay, why), GReplayRead::OK) << why;
        const GMatchStats counted = countMatch(replay);
        EXPECT_EQ(counted.ships[SIDE_LEFT].hits, row.leftHits);
        EXPECT_EQ(counted.ships[SIDE_RIGHT].hits, row.rightHits);
        expectTimesOfHealths(replay, counted);
        const std::string said = runTool("vk-replay", "--stats " + path).out;
        EXPECT_NE(said.find("\"right\": {\"shots\": " + std::to_string(counted.ships[1].shots) + ", \"hits\": " +
                            std::to_string(row.rightHits) + ","), std::string::npos) << said;
    }
}

// Counted as it plays, in passes of odd lengths, a match gives its replay's
// numbers three seconds in (every stretch unhit still open) and at its end.
TEST(MatchStats, ALiveMatchCountsAsItsReplayDoes) {
    GMatch match;
    ASSERT_TRUE(match.setUp(11, CHOICE_COMPUTER, CHOICE_PILOT));
    GStatsCounter live;
    for (int32_t pass = 1; !match.ended(); pass = pass % 37 + 6) {
        const bool early = match.world.elapsedMs < 3000;
        match.advance(pass);
        live.hear(match.world.events, match.world);
        if (!(early && match.world.elapsedMs >= 3000) && !match.world.over) continue;
        const GReplay replay = match.replay(match.world.over ? vkr::END_FINISHED : vkr::END_LEFT);
        EXPECT_EQ(live.stats(), countMatch(replay)) << "at " << replay.endMs << " ms";
        expectTimesOfHealths(replay, live.stats());
    }
    EXPECT_GT(live.stats().ships[0].hits + live.stats().ships[1].hits, 20u);
}
