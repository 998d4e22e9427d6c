// nmatch.h: one side of a network match: a match stepped in step with the
// other game's, playing ahead on a guess and correcting it.
//
// The own ship is steered by its player through the lockstep's input delay
// (0 ticks, or 1 at a long round trip), so it answers as in a local match.
// The other ship flies by the flags the other game sent; for a tick whose
// flags are not in yet, it flies by a guess (NLockstep::remoteOrGuess), at
// most vkn::WINDOW ticks past the last tick whose flags are in. Further on
// the match waits, and the time it waited is dropped, not made up.
//
// Correcting. After every tick the match is saved. Once the other's real
// flags for a guessed tick arrive and differ from the guess, the match is
// put back to the save after the tick before, which was played with both
// sides' real flags, and stepped again to where it was. A tick played with
// both sides' real flags is confirmed; only confirmed ticks are hashed for
// the checks, and a match ends only once its end is confirmed, so both
// games end the same match and keep the same replay (its notes are cut back
// with every correction).
//
// Events. The steps' events go on to the listeners once: an event stepped
// again after a correction is not handed on a second time, one that a
// correction made appear is handed on however late (the listeners judge
// what is too late for them: GEvent::STALE_MS), and one that a correction
// undid is counted.
//
// Keeping time. The side that runs ahead of the other by more than a tick,
// averaged over about a second (NLockstep::lead256), drops one millisecond
// in SLOW_EVERY of its time until it no longer does.
//
// The pause travels in the flags: asked for in the next tick this side
// reads, it takes hold on both sides after the tick it lands in (a side
// that played past it goes back to it). Either side ends it (RESUME).
#pragma once

#include <cstdint>
#include <vector>

#include "assets/vec3.h"
#include "game/gevent.h"
#include "game/gmatch.h"
#include "game/gmatchdriver.h"
#include "net/nlockstep.h"

class NSession;

class NMatch : public GMatchDriver, private GStepGate {
public:
    // An event a correction brings later than this is counted as late.
    static constexpr uint32_t LATE_MS = GEvent::STALE_MS;
    static constexpr int32_t SLOW_EVERY = 16;
    // A lead under a tick is the measure's noise.
    static constexpr int32_t SLOW_FROM_256 = 256;

    NMatch();
    ~NMatch() override;
    NMatch(const NMatch&) = delete;
    NMatch& operator=(const NMatch&) = delete;

    // Steers both ships of `match`, just set up (GMatch::setUp) from the
    // match's seed and both choices: the `ownSide` ship by the player the
    // match made for it, through the input delay; the other by `lock`'s
    // remote flags or guesses.
    // `holdMs` of the first advances are waited out first (the host waits
    // half the round trip, so that both start together). `session`, which
    // may be null, hears of the pause being ended here, of this side
    // leaving, of the end, and of a check that finds the two matches apart.
    // No pointer is owned; all must outlive this. False without memory.
    bool setUp(GMatch* match, NLockstep* lock, NSession* session, GSide ownSide, int32_t holdMs);

    // Corrects what the other's newest flags show was guessed wrong, then
    // steps the match through up to `ms` milliseconds, stopping at the end
    // of the window, at the end, and after a tick that asked for the pause.
    // world.events holds the events to be heard. Returns the steps taken
    // forward.
    int32_t advance(int32_t ms) override;
    // Paused: the RESUME goes to the other side and the match goes on.
    // Otherwise the pause is asked for.
    void pauseKey() override;
    bool paused() const override { return isPaused; }
    void leave() override;
    void finish() override;
    bool settled() const override;
    void settle() override;

    // The other side ended the pause.
    void resume();
    void requestPause() { pauseRequested = true; }

    // Every tick up to this was played with both sides' real flags.
    uint32_t confirmedTick() const { return confirmed; }
    // The other ship's flags for `tick`, real or guessed, noted as the ones
    // the tick is played with (its controller asks here).
    uint8_t flyOther(uint32_t tick);
    // How far the corrections since the last call moved the ship of `side`:
    // where it was minus where it is. The screen eases the jump away.
    Vec3 takeJump(GSide side);

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
    // Tests: after every tick, go back the whole window and step again,
    // counting every step again that ends apart from the first.
    bool synctest = false;
    uint32_t synctestApart = 0;

    // Time spent waiting for the other side's flags: the whole, the wait
    // going on now, the longest single wait, and the number of waits.
    uint64_t waitedMs = 0;
    uint32_t waitingMs = 0;
    uint32_t longestWaitMs = 0;
    uint32_t waits = 0;
    // Time dropped to let the other side catch up.
    uint64_t slowedMs = 0;
    // Corrections: how many, the ticks stepped again in all, the most at
    // once.
    uint32_t rollbacks = 0;
    uint64_t rolledTicks = 0;
    uint32_t longestRollback = 0;
    // Events handed on, events a correction undid after they were handed
    // on (`freshUndone` of them handed on within LATE_MS: sounds heard and
    // taken back), and events a correction brought later than LATE_MS.
    uint32_t eventsHeard = 0;
    uint32_t eventsUndone = 0;
    uint32_t eventsTooLate = 0;
    uint32_t freshUndone = 0;

private:
    struct Snapshot {
        uint32_t tick = UINT32_MAX;
        uint64_t hash = 0;  // after a tick checked, else 0
        GMatchState state;
    };
    struct Heard {
        GEvent event;
        bool again;  // stepped again since the correction began
        bool fresh;  // handed on within LATE_MS: its sound was heard
    };
    static constexpr uint32_t SNAPSHOTS = vkn::WINDOW + 4;
    static constexpr size_t MOST_HEARD = 256;

    bool mayStep(GMatch& match) override;
    bool stepped(GMatch& match) override;
    // Takes every tick the other's flags have reached as confirmed,
    // stepping again from the first one guessed wrong.
    void confirm(GEventList& heard);
    // Back to the save after `tick`, then stepped again to where the match
    // was.
    void rollBack(uint32_t tick, GEventList& heard);
    void hear(const GEventList& events, GEventList& heard);
    uint32_t playedTick() const;

    Snapshot* snapshots = nullptr;  // SNAPSHOTS of them, by tick
    uint8_t played[NLockstep::RING] = {};  // the other's flags each tick was played with
    Vec3 jumps[2];                          // by GSide, since takeJump
    uint32_t confirmed = 0;
    std::vector<Heard> ledger;  // events handed on that may yet be undone
    int32_t slowCarry = 0;
    bool isPaused = false;
    uint32_t pausedTick = 0;       // the tick the pause took hold after
    uint32_t resumedThrough = 0;   // a pause asked up to this tick is over
};
