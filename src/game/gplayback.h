// gplayback.h: plays a recorded match again without a window and says
// whether it came out as recorded.
//
// The world is set up from the replay's seed, each ship steered by its
// notes (GReplayController), and stepped to the recorded end: to the step
// its health ran out in for a finished match, to the millisecond it was
// left at otherwise. The match it reaches is compared with the recorded
// one: the end, both healths and the hash of the whole world.
#pragma once

#include <cstdint>

#include "game/greplay.h"

struct GPlayback {
    uint32_t endMs = 0;   // where the playback stopped
    bool finished = false;  // a ship's health ran out on the way
    int32_t leftHealth = 0;
    int32_t rightHealth = 0;
    uint64_t hash = 0;
    // The recorded end, healths and hash were all reached.
    bool matches = false;
};

// Never steps past the recorded endMs, so a hostile or outdated replay
// costs at most that many milliseconds of play.
GPlayback playBack(const GReplay& replay);
