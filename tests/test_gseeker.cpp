// test_gseeker.cpp: a seek in a recorded match lands on the very world a
// straight playback reaches, from wherever the match stands, however much
// of it was stepped through before, and with the saved states cut short by
// their memory limit; and it steps no further than from the nearest saved
// second.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "game/gseeker.h"

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

}  // namespace
