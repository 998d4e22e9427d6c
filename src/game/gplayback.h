// gplayback.h: plays a recorded match again without a window and says
// whether it came out as recorded.
//
// The match is set up from the replay's seed, each ship steered by its
// notes, and stepped to the recorded end: to the step its health ran out in
// for a finished match, to the millisecond it was left at otherwise. The
// match it reaches is compared with the recorded one: the end, both healths
// and the hash of the whole world.
//
// Rollback. With `rollbackTicks` N > 0 the match is also saved before every
// step in which the ships tick, stepped N ship ticks ahead, and restored,
// before it steps on. Anything the saved state leaves out then changes what
// follows, and the match no longer comes out as recorded.
#pragma once

#include <cstdint>
#include <memory>  // Required for: std::unique_ptr

#include "game/gmatch.h"
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

// A gate that plays a match as a rollback would, without the network: up to
// `stopAtMs`, and before every step in which the ships tick it saves the
// match, steps it `ticks` ship ticks ahead and restores it. A match that
// cannot be saved or restored stops there, with `failed` set.
class GLookAhead : public GStepGate {
public:
    explicit GLookAhead(uint32_t ticks, uint32_t stopAtMs = UINT32_MAX);
    bool mayStep(GMatch& match) override;

    bool failed = false;

private:
    uint32_t ticks;
    uint32_t stopAtMs;
    std::unique_ptr<GMatchState> saved;
};

// Never steps past the recorded endMs, so a replay costs at most that many
// milliseconds of play (bounded by vkr::MAX_END_MS), times N + 1 with a
// rollback.
//
// `heard` (may be null) hears the events of every step on the way, a
// second of match time an advance, far fewer than an event list holds
// (GEventList::MAX_EVENTS), so that none is dropped unheard. Only without a
// rollback: a look-ahead's own steps would be heard too.
GPlayback playBack(const GReplay& replay, uint32_t rollbackTicks = 0, GEventListener* heard = nullptr);
