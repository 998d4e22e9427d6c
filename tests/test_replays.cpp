// Replays: matches recorded as they are played play back to the same end,
// bit for bit, for every kind of controller; the matches kept under
// tests/replays/ still play out as they were recorded, so that any change
// to the rules of play shows here (A change meant to alter play re-records
// them, VEKTORAK_RECORD_REPLAYS=tests/replays, in the same commit, which
// says why); and a match looked ahead of and restored again and again, as a
// rollback does, plays exactly as one that never was.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "game/gcontrollerkinds.h"
#include "game/gduel.h"
#include "game/gmatch.h"
#include "game/gplayback.h"
#include "game/greplay.h"
#include "game/gship.h"

namespace {

// Keys a player holds at ship tick `t`: sweeps up and down, drifts in and
// out, fires in bursts. `mirrored` swaps every direction, so that two ships
// that start mirrored through the middle stay mirrored.
struct Script {
    uint16_t up, down, left, right, fire;
    bool mirrored;
    void hold(uint32_t t, GInput& input) const {
        uint8_t* held = input.keys;
        const bool u = t % 80 < 30, d = t % 80 >= 40 && t % 80 < 70;
        const bool l = t % 110 < 20, r = t % 110 >= 55 && t % 110 < 70;
        held[up] = mirrored ? d : u;
        held[down] = mirrored ? u : d;
        held[left] = mirrored ? r : l;
        held[right] = mirrored ? l : r;
        held[fire] = t % 9 < 6;
    }
};
const Script WASD = {gkey::W, gkey::S, gkey::A, gkey::D, gkey::LCTRL, false};
const Script ARROWS = {gkey::UP, gkey::DOWN, gkey::LEFT, gkey::RIGHT, gkey::RCTRL, true};

struct Recording {
    const char* file;
    ControllerChoice left, right;
    uint32_t seed;
    uint32_t leaveAtMs;  // Escape here; 0 plays to the end
    const char* result;  // "left", "right", "draw" or "left the match"
};

const Recording RECORDINGS[] = {
    {"computers_right_wins.vkr", CHOICE_COMPUTER, CHOICE_COMPUTER, 2, 0, "right"},
    {"computers_left_wins.vkr", CHOICE_COMPUTER, CHOICE_COMPUTER, 4, 0, "left"},
    {"wasd_against_computer.vkr", CHOICE_WASD, CHOICE_COMPUTER, 20261208, 0, "left"},
    {"keys_mirrored_draw.vkr", CHOICE_WASD, CHOICE_ARROW_KEYS, 77, 0, "draw"},
    {"arrows_left_with_escape.vkr", CHOICE_COMPUTER, CHOICE_ARROW_KEYS, 5, 12345, "left the match"},
    {"ace_against_pilot.vkr", CHOICE_ACE, CHOICE_PILOT, 3, 0, "left"},
};

std::string resultOf(const GReplay& r) {
    if (r.end == vkr::END_LEFT) return "left the match";
    return r.leftHealth > 0 ? "left" : r.rightHealth > 0 ? "right" : "draw";
}

// Plays `rec` at 1 ms passes, the keys held by the scripts in the input
// snapshot, and returns the replay it made.
GReplay record(const Recording& rec) {
    GInput input;
    GMatch match;
    match.setUp(rec.seed, rec.left, rec.right, &input);
    const uint32_t limitMs = rec.leaveAtMs != 0 ? rec.leaveAtMs : 10u * 60u * 1000u;
    while (!match.world.over && match.world.elapsedMs < limitMs) {
        const uint32_t tick = match.world.elapsedMs / GShip::PERIOD_MS;
        WASD.hold(tick, input);
        ARROWS.hold(tick, input);
        match.advance(1);
    }
    return match.replay(match.world.over ? vkr::END_FINISHED : vkr::END_LEFT);
}

TEST(Replays, EveryKindOfPlayerPlaysBackToTheSameEndBitForBit) {
    const char* out = getenv("VEKTORAK_RECORD_REPLAYS");
    for (const Recording& rec : RECORDINGS) {
        SCOPED_TRACE(rec.file);
        const GReplay made = record(rec);
        EXPECT_EQ(resultOf(made), rec.result);
        EXPECT_EQ(made.left.tickCount(), made.endMs / GShip::PERIOD_MS);
        const GPlayback played = playBack(made);
        EXPECT_TRUE(played.matches) << "played to " << played.endMs << " ms, recorded " << made.endMs;
        EXPECT_EQ(played.hash, made.hash);
        if (out != nullptr) {
            EXPECT_TRUE(saveReplay((std::string(out) + "/" + rec.file).c_str(), made));
        }
    }
}

TEST(Replays, KeptMatchesStillPlayOutAsRecorded) {
    for (const Recording& rec : RECORDINGS) {
        SCOPED_TRACE(rec.file);
        GReplay kept;
        std::string why;
        ASSERT_EQ(loadReplay((std::string(VEKTORAK_TEST_REPLAYS) + "/" + rec.file).c_str(), kept, why),
                  GReplayRead::OK)
            << why;
        EXPECT_EQ(kept.leftChoice, rec.left);
        EXPECT_EQ(kept.rightChoice, rec.right);
        EXPECT_EQ(kept.seed, rec.seed);
        EXPECT_EQ(resultOf(kept), rec.result);
        const GPlayback played = playBack(kept);
        EXPECT_TRUE(played.matches) << "played to " << played.endMs << " ms with " << played.leftHealth << " and "
                                    << played.rightHealth << ", recorded " << kept.endMs << " ms";
        // Computer players on both sides still decide the match as they did:
        // played afresh from the seed, not from the notes, it ends the same.
        const GControllerKind* left = controllerKind(rec.left);
        const GControllerKind* right = controllerKind(rec.right);
        if (left != nullptr && right != nullptr && left->bothSides && right->bothSides) {
            const GReplay again = record(rec);
            EXPECT_EQ(again.endMs, kept.endMs);
            EXPECT_EQ(again.hash, kept.hash);
        }
    }
}

// Computer players decide from the world and keep decisions, delayed
// observations and random sources of their own: looked ahead of by one and
// by eight ticks before every tick and restored, a match plays exactly as
// the same match played straight, to the last flag. Eight: a skilled
// player's ring of observations mends itself when fewer ticks are looked
// ahead than it holds beyond its delay. The recordings played with
// --rollback (tests/CMakeLists.txt) cover the world; these cover what the
// computer players keep.
TEST(Rollback, ComputerPlayersRestoredAgainAndAgainPlayAsIfNeverLookedAhead) {
    const struct {
        ControllerChoice left, right;
        uint32_t seed;
    } pairs[] = {{CHOICE_COMPUTER, CHOICE_ACE, 5}, {CHOICE_PILOT, CHOICE_COMPUTER, 8}, {CHOICE_MASTER, CHOICE_MASTER, 2}};
    for (const auto& pair : pairs) {
        GMatch straight;
        straight.setUp(pair.seed, pair.left, pair.right);
        straight.advance(GDuel::MAX_MATCH_MS);
        ASSERT_TRUE(straight.world.over);
        const GReplay expected = straight.replay(vkr::END_FINISHED);
        for (uint32_t ticks : {1u, 8u}) {
            SCOPED_TRACE(testing::Message() << "seed " << pair.seed << ", " << ticks << " ticks ahead");
            GMatch match;
            match.setUp(pair.seed, pair.left, pair.right);
            GLookAhead ahead(ticks);
            match.advance(GDuel::MAX_MATCH_MS, &ahead);
            EXPECT_FALSE(ahead.failed);
            const GReplay got = match.replay(vkr::END_FINISHED);
            EXPECT_EQ(got.endMs, expected.endMs);
            EXPECT_EQ(got.hash, expected.hash);
            for (const auto& notes : {std::make_pair(&got.left, &expected.left), std::make_pair(&got.right, &expected.right)}) {
                ASSERT_EQ(notes.first->runs.size(), notes.second->runs.size());
                for (size_t i = 0; i < notes.first->runs.size(); i++) {
                    ASSERT_EQ(notes.first->runs[i].flags, notes.second->runs[i].flags) << "run " << i;
                    ASSERT_EQ(notes.first->runs[i].ticks, notes.second->runs[i].ticks) << "run " << i;
                }
            }
        }
    }
}

}  // namespace
