// nmatch.h: one side of a network match: a world stepped in lockstep with
// the other game's.
//
// The own ship is steered by its player through the input delay: the
// player is read at every tick as in a local match, and the flags it set
// are handed to the lockstep for a later tick, while the ship flies by the
// ones read `delay` ticks before. The other ship flies by the flags the
// other game sent. Both are recorded as always (world.recorded), so both
// games write the same replay.
//
// A step that would play a tick whose remote flags are not in yet is not
// taken: the match waits, and the time it waited is dropped, not made up,
// so the two games settle into step with each other.
#pragma once

#include <cstdint>

#include "app/matchresult.h"
#include "game/gevent.h"

class GWorld;
class NLockstep;

class NMatch {
public:
    // Steers both ships of `world`, just set up with the match's seed: the
    // `ownSide` ship by a player of `ownChoice`, the other by `lock`'s
    // remote flags. `holdMs` of the first advances are waited out first
    // (the host waits half the round trip, so that both start together).
    // Neither pointer is owned; both must outlive this.
    void setUp(GWorld* world, NLockstep* lock, GSide ownSide, ControllerChoice ownChoice, int32_t holdMs);

    // Steps the world through up to `ms` milliseconds, stopping before a
    // tick the other side's flags have not reached, at the end, and after a
    // tick that asked for the pause. Returns the steps taken.
    int32_t advance(int32_t ms);

    // The pause is asked for in the next tick this side reads, and takes
    // hold on both sides after the tick it lands in.
    void requestPause() { pauseRequested = true; }
    void resume() { paused = false; }

    GWorld* world = nullptr;
    NLockstep* lock = nullptr;
    GSide ownSide = SIDE_LEFT;
    int32_t holdMs = 0;
    bool pauseRequested = false;
    bool paused = false;
    uint32_t ticksPlayed = 0;

    // Time spent waiting for the other side's flags: the whole, the wait
    // going on now, the longest single wait, and the number of waits.
    uint64_t waitedMs = 0;
    uint32_t waitingMs = 0;
    uint32_t longestWaitMs = 0;
    uint32_t waits = 0;
};
