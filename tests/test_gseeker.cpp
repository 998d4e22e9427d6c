// test_gseeker.cpp: a seek in a recorded match lands on the very world a
// straight playback reaches, from wherever the match stands, however much
// of it was stepped through before, and with the saved states cut short by
// their memory limit; and it steps no further than from the nearest saved
// second. Then the replay's keys as a player uses them: what the bar shows,
// where each key puts the match, what is heard and seen, and the end.
#include <SDL/SDL_keysym.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "app/hmatchowner.h"
#include "game/gseeker.h"
#include "screens/geffects.h"
#include "sound/hsound.h"

namespace {

GReplay load(const char* file) {
    GReplay replay;
    std::string why;
    EXPECT_EQ(loadReplay((std::string(VEKTORAK_TEST_REPLAYS) + "/" + file).c_str(), replay, why), GReplayRead::OK)
        << file << ": " << why;
    return replay;
}

// A finished match (its end stops the steps) and one left at 12,345 ms
// (the seeker's last millisecond does).
TEST(Seeker, EverySeekLandsOnTheWorldOfAStraightPlayback) {
    for (const char* file : {"computers_left_wins.vkr", "arrows_left_with_escape.vkr"}) {
        const GReplay replay = load(file);
        const uint32_t end = replay.endMs;
        const std::vector<uint32_t> from = {0, 1000, end - 1001, end};
        // Both ends, a saved second and the millisecond before it, and past
        // the end (which stops there).
        std::vector<uint32_t> targets = {0, 999, 1000, 1001, 11999, 12000, end / 2, end - 1, end, end + 5000};
        std::map<uint32_t, uint64_t> straight;
        {
            GMatch match;
            match.setUpReplay(replay);
            std::vector<uint32_t> sorted = targets;
            sorted.insert(sorted.end(), from.begin(), from.end());
            std::sort(sorted.begin(), sorted.end());
            for (uint32_t t : sorted) {
                match.advance(static_cast<int32_t>(std::min(t, end) - match.world.elapsedMs));
                straight[t] = match.world.stateHash();
            }
            ASSERT_EQ(match.world.stateHash(), replay.hash) << file;
        }
        // Room for a single block: the saving stops within the match.
        for (size_t limit : {GSeeker::MEMORY_LIMIT, GSeeker::BLOCK_BYTES + 1024}) {
            for (uint32_t start : from) {
                for (uint32_t target : targets) {
                    SCOPED_TRACE(std::string(file) + " from " + std::to_string(start) + " to " +
                                 std::to_string(target) + " limit " + std::to_string(limit));
                    GMatch match;
                    match.setUpReplay(replay);
                    GSeeker seeker(&match, end, limit);
                    ASSERT_TRUE(seeker.seek(start));
                    ASSERT_EQ(match.world.stateHash(), straight[start]);
                    const uint32_t saved = seeker.savedCount();
                    ASSERT_TRUE(seeker.seek(target));
                    EXPECT_EQ(match.world.elapsedMs, std::min(target, end));
                    EXPECT_EQ(match.world.stateHash(), straight[target]);
                    // From the nearest saved second at or before the target
                    // (or from closer still, where the match stood).
                    const uint32_t nearest = std::min(std::min(target, end) / GSeeker::SAVE_EVERY_MS, saved - 1);
                    EXPECT_LE(seeker.seekSteps(), std::min(target, end) - nearest * GSeeker::SAVE_EVERY_MS);
                    EXPECT_LE(seeker.memoryBytes(), limit);
                    EXPECT_FALSE(seeker.failed());
                }
            }
        }
    }
}

// Counts the effects played (music loops apart) and the channels halted.
struct CountingSink : HSoundSink {
    int32_t load(const char*) override { return 1; }
    void play(int32_t, int32_t, bool loop, int32_t, uint8_t, uint8_t) override { plays += loop ? 0 : 1; }
    void setVolume(int32_t, int32_t) override {}
    void pause(int32_t) override {}
    void resume(int32_t) override {}
    void halt(int32_t) override { halts++; }
    int plays = 0, halts = 0;
};

TEST(ReplayKeys, TheBarTheSeeksTheSpeedsThePauseAndTheEnd) {
    const GReplay replay = load("computers_left_wins.vkr");
    const uint32_t end = replay.endMs;
    CountingSink sink;
    HSound sound(&sink, 100, 100);
    sound.loadSounds();
    theSound = &sound;
    HMatchOwner owner(nullptr);
    ASSERT_TRUE(owner.setUpReplay(replay));
    GEffects effects;
    owner.listen(&effects);
    const GWorld& world = owner.played.world;
    GReplayBar bar;
    ASSERT_TRUE(owner.replayBar(bar));
    EXPECT_EQ(bar.lengthMs, end);
    EXPECT_EQ(world.elapsedMs, 0u);
    // Each of a side's hits took 5 from the other's health (20 and 16 here).
    int hits[2] = {0, 0};
    for (const GReplayHit& hit : *bar.hits) hits[hit.hitter]++;
    EXPECT_EQ(hits[SIDE_LEFT] * 5, 100 - replay.rightHealth);
    EXPECT_EQ(hits[SIDE_RIGHT] * 5, 100 - replay.leftHealth);

    // Where each key leaves the match; a seek plays nothing and stops what
    // plays. The end stays, its wreck thrown, until a seek back.
    const struct { uint32_t sym, at; bool atEnd; } seeks[] = {{SDLK_RIGHT, 5000, false}, {SDLK_RIGHT, 10000, false}, {SDLK_LEFT, 5000, false},
                 {SDLK_HOME, 0, false},     {SDLK_LEFT, 0, false},      {SDLK_END, end, true},
                 {SDLK_RIGHT, end, true},   {SDLK_LEFT, end - 5000, false}, {SDLK_HOME, 0, false}};
    for (const auto& row : seeks) {
        SCOPED_TRACE(row.sym);
        const int plays = sink.plays;
        EXPECT_TRUE(owner.seekKey(row.sym));
        EXPECT_EQ(world.elapsedMs, row.at);
        EXPECT_EQ(sink.plays, plays);
        owner.replayBar(bar);
        EXPECT_EQ(bar.atEnd, row.atEnd);
        EXPECT_EQ(effects.pieceCount() > 0, row.atEnd) << "the wreck, and only at the end";
        if (row.atEnd) {
            owner.update(3000);
            EXPECT_EQ(world.elapsedMs, end);
            EXPECT_FALSE(owner.wrecking()) << "no result while the end is held";
        }
    }
    EXPECT_GT(sink.halts, 0);

    // Speeds: heard at 2x, not at 4x; 8x at most, a quarter at least, and
    // no quarter millisecond lost. Updates of 10 ms, as frames come: the
    // sound leaves what comes later than GEvent::STALE_MS.
    const struct { uint32_t sym; int presses, ms, updates; uint32_t at; int heard; } speeds[] = {
        {SDLK_UP, 1, 10, 50, 1000, 1}, {SDLK_UP, 1, 10, 50, 3000, 0}, {SDLK_UP, 3, 10, 10, 3800, 0},
        {SDLK_DOWN, 9, 3, 4, 3803, -1}};
    for (const auto& row : speeds) {
        const int plays = sink.plays;
        for (int i = 0; i < row.presses; i++) EXPECT_TRUE(owner.seekKey(row.sym));
        for (int i = 0; i < row.updates; i++) owner.update(row.ms);
        EXPECT_EQ(world.elapsedMs, row.at);
        EXPECT_TRUE(row.heard < 0 || (sink.plays > plays) == (row.heard == 1)) << row.at;
    }

    // Space pauses; '.' steps to the next ship tick, only while paused.
    EXPECT_TRUE(owner.seekKey(SDLK_SPACE));
    owner.update(1000);
    for (uint32_t at : {3825u, 3850u}) {
        EXPECT_TRUE(owner.seekKey(SDLK_PERIOD));
        EXPECT_EQ(world.elapsedMs, at);
    }
    EXPECT_TRUE(owner.seekKey(SDLK_SPACE));
    EXPECT_FALSE(owner.paused());
    owner.seekKey(SDLK_PERIOD);
    EXPECT_EQ(world.elapsedMs, 3850u);
    theSound = nullptr;

    // Elsewhere the arrows steer, and there is no bar.
    HMatchOwner local(nullptr);
    local.setUpLocal(CHOICE_COMPUTER, CHOICE_COMPUTER, 4);
    EXPECT_FALSE(local.seekKey(SDLK_LEFT));
    EXPECT_FALSE(local.replayBar(bar));
}

}  // namespace
