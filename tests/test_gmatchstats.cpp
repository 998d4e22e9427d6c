// Match statistics: the recorded matches' hits as their healths tell them,
// the times against the ships' healths read step by step from the world,
// and a live match counted as it plays against its replay counted after.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "game/gmatch.h"
#include "game/gmatchstats.h"
#include "game/gplayback.h"
#include "game/gship.h"
#include "support/toolrun.h"

namespace {

// The times as the header defines them, from the ships' healths read after
// every single step, never from events: the leader over each millisecond,
// the stretches between the start, the steps a health fell in, and the end.
GMatchStats stepByStep(const GReplay& replay) {
    GMatchStats out;
    GMatch match;
    match.setUpReplay(replay);
    GLookAhead toEnd(0, replay.endMs);
    uint32_t lastHit[2] = {0, 0};
    int32_t before[2] = {GShip::FULL_HEALTH, GShip::FULL_HEALTH};
    while (match.advance(1, &toEnd) > 0) {
        const uint32_t now = match.world.elapsedMs;
        if (before[0] != before[1]) out.ships[before[0] > before[1] ? 0 : 1].aheadMs++;
        const int32_t health[2] = {match.world.leftShip()->health, match.world.rightShip()->health};
        for (int32_t side = 0; side < 2; side++) {
            if (health[side] == before[side]) continue;
            out.ships[side].longestUnhitMs = std::max(out.ships[side].longestUnhitMs, now - lastHit[side]);
            lastHit[side] = now;
            before[side] = health[side];
        }
    }
    for (int32_t side = 0; side < 2; side++) {
        out.ships[side].longestUnhitMs = std::max(out.ships[side].longestUnhitMs, match.world.elapsedMs - lastHit[side]);
    }
    return out;
}

}  // namespace

// A row per recorded match, checked by hand: each hit costs 5 of 100
// health, so the left ship's hits are (100 - right health) / 5 and the
// other way round. The times must be those of the healths stepped through.
TEST(MatchStats, RecordedMatchesCountTheHitsTheirHealthsShowAndTheTimesTheyHeld) {
    const struct {
        const char* file;
        int32_t leftHealth, rightHealth;
        uint32_t leftHits, rightHits;
    } rows[] = {
        {"computers_right_wins.vkr", 0, 60, 8, 20},   {"computers_left_wins.vkr", 20, 0, 20, 16},
        {"wasd_against_computer.vkr", 65, 0, 20, 7},  {"keys_mirrored_draw.vkr", 0, 0, 20, 20},
        {"arrows_left_with_escape.vkr", 65, 95, 1, 7}, {"ace_against_pilot.vkr", 15, 0, 20, 17},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        GReplay replay;
        std::string why;
        ASSERT_EQ(loadReplay((std::string(VEKTORAK_TEST_REPLAYS) + "/" + row.file).c_str(), replay, why),
                  GReplayRead::OK)
            << why;
        ASSERT_EQ(replay.leftHealth, row.leftHealth);
        ASSERT_EQ(replay.rightHealth, row.rightHealth);
        const GMatchStats counted = countMatch(replay);
        const GShipStats& left = counted.ships[SIDE_LEFT];
        const GShipStats& right = counted.ships[SIDE_RIGHT];
        EXPECT_EQ(left.hits, row.leftHits);
        EXPECT_EQ(right.hits, row.rightHits);
        EXPECT_GE(left.shots, left.hits);
        EXPECT_GE(right.shots, right.hits);
        EXPECT_EQ(left.bounces, right.bounces);
        const GMatchStats stepped = stepByStep(replay);
        for (int32_t side = 0; side < 2; side++) {
            EXPECT_EQ(counted.ships[side].aheadMs, stepped.ships[side].aheadMs) << "side " << side;
            EXPECT_EQ(counted.ships[side].longestUnhitMs, stepped.ships[side].longestUnhitMs) << "side " << side;
        }
        EXPECT_LE(left.aheadMs + right.aheadMs, replay.endMs);
        const std::string said = runTool("vk-replay", std::string("--stats ") + VEKTORAK_TEST_REPLAYS + "/" + row.file).out;
        for (const GShipStats* ship : {&left, &right}) {
            const std::string object = std::string(ship == &left ? "\"left\"" : "\"right\"") + ": {\"shots\": " +
                                       std::to_string(ship->shots) + ", \"hits\": " + std::to_string(ship->hits) + ",";
            EXPECT_NE(said.find(object), std::string::npos) << said;
        }
    }
}

// A match counted as it is played, in passes of odd lengths, gives the
// numbers its replay gives counted afterwards, three seconds in (the last
// stretch unhit still open) and at its end; two computer players fire, hit,
// bounce and lead, so no number is 0 by accident on both sides.
TEST(MatchStats, ALiveMatchCountsAsItsReplayDoes) {
    for (uint32_t seed : {4u, 11u}) {
        SCOPED_TRACE(seed);
        GMatch match;
        ASSERT_TRUE(match.setUp(seed, CHOICE_COMPUTER, CHOICE_PILOT));
        GStatsCounter live;
        const auto expectAsReplayed = [&](uint8_t end) {
            const GReplay replay = match.replay(end);
            const GMatchStats counted = countMatch(replay);
            EXPECT_EQ(live.stats(), counted) << "at " << replay.endMs << " ms";
            const GMatchStats stepped = stepByStep(replay);
            for (int32_t side = 0; side < 2; side++) {
                EXPECT_EQ(counted.ships[side].longestUnhitMs, stepped.ships[side].longestUnhitMs) << replay.endMs;
                EXPECT_EQ(counted.ships[side].aheadMs, stepped.ships[side].aheadMs) << replay.endMs;
            }
            return counted;
        };
        bool early = true;
        for (int32_t pass = 1; !match.ended(); pass = pass % 37 + 6) {
            match.advance(pass);
            live.hear(match.world.events, match.world);
            if (early && match.world.elapsedMs >= 3000) early = (expectAsReplayed(vkr::END_LEFT), false);
        }
        const GMatchStats counted = expectAsReplayed(vkr::END_FINISHED);
        EXPECT_GT(counted.ships[0].hits + counted.ships[1].hits, 20u);
        EXPECT_GT(counted.ships[0].aheadMs + counted.ships[1].aheadMs, 0u);
        EXPECT_GT(counted.ships[0].bounces, 0u);
    }
}
