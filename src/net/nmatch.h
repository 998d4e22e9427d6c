// nmatch.h: one side of a network match: a match stepped in lockstep with
// the other game's.
//
// The own ship is steered by its player through the input delay: the
// player is asked at every tick as in a local match, and the flags it set
// are handed to the lockstep for a later tick, while the ship flies by the
// ones set `delay` ticks before. The other ship flies by the flags the
// other game sent. The match notes both down as always, so both games
// write the same replay.
//
// A step that would play a tick whose remote flags are not in yet is not
// taken: the match waits, and the time it waited is dropped, not made up,
// so the two games settle into step with each other.
//
// The pause travels in the flags: asked for in the next tick this side
// reads, it takes hold on both sides after the tick it lands in. Either
// side ends it (RESUME).
#pragma once

#include <cstdint>

#include "game/gevent.h"
#include "game/gmatchdriver.h"

class GMatch;
class NLockstep;
class NSession;

class NMatch : public GMatchDriver, private GStepGate {
public:
    // Steers both ships of `match`, just set up (GMatch::setUp) from the
    // match's seed and both choices: the `ownSide` ship by the player the
    // match made for it, through the input delay; the other by `lock`'s
    // remote flags.
    // `holdMs` of the first advances are waited out first (the host waits
    // half the round trip, so that both start together). `session`, which
    // may be null, hears of the pause being ended here, of this side
    // leaving, of the end, and of a check that finds the two matches apart.
    // No pointer is owned; all must outlive this.
    void setUp(GMatch* match, NLockstep* lock, NSession* session, GSide ownSide, int32_t holdMs);

    // Steps the match through up to `ms` milliseconds, stopping before a
    // tick the other side's flags have not reached, at the end, and after a
    // tick that asked for the pause. Returns the steps taken.
    int32_t advance(int32_t ms) override;
    // Paused: the RESUME goes to the other side and the match goes on.
    // Otherwise the pause is asked for.
    void pauseKey() override;
    bool paused() const override { return isPaused; }
    void leave() override;
    void finish() override;

    // The other side ended the pause.
    void resume() { isPaused = false; }
    void requestPause() { pauseRequested = true; }

    GMatch* match = nullptr;
    NLockstep* lock = nullptr;
    NSession* session = nullptr;
    GSide ownSide = SIDE_LEFT;
    int32_t holdMs = 0;
    bool pauseRequested = false;
    uint32_t ticksPlayed = 0;
    // The first tick whose check this side found apart from the other's,
    // once told to the session; 0 before.
    uint32_t outOfStepTold = 0;

    // Time spent waiting for the other side's flags: the whole, the wait
    // going on now, the longest single wait, and the number of waits.
    uint64_t waitedMs = 0;
    uint32_t waitingMs = 0;
    uint32_t longestWaitMs = 0;
    uint32_t waits = 0;

private:
    bool mayStep(GMatch& match) override;
    bool stepped(GMatch& match) override;

    bool isPaused = false;
};
