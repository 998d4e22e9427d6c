// gmatchdriver.h: who moves a match on for its owner, and what the pause
// and leaving mean there.
//
// The match's owner (app/hmatchowner.h) hands its driver the time that
// passes and the pause key, and asks it whether the match is paused. A local
// match steps whenever it is not paused; a replay steps up to where its
// match was left; a network match (net/nmatch.h) steps in step with the
// other game and pauses both; a watched one (net/nwatch.h) follows the
// players' flags a little behind them. Drivers hold a match they do not
// own.
#pragma once

#include <cstdint>

#include "game/gmatch.h"

class GMatchDriver {
public:
    virtual ~GMatchDriver() {}

    // Moves the match on through `ms` milliseconds of the screen's time;
    // the events of the steps are in world.events afterwards (none when no
    // step was taken). Returns the steps taken.
    virtual int32_t advance(int32_t ms) = 0;
    // The pause key was pressed.
    virtual void pauseKey() = 0;
    virtual bool paused() const = 0;
    // The player left the match (Escape): whatever anyone else is owed.
    virtual void leave() {}
    // The match ended in a result, or its time was up.
    virtual void finish() {}
    // Whether the match as it stands is final: a network match may have
    // played ahead on a guess of the other side's flags, and a guess can
    // still be corrected, an end with it.
    virtual bool settled() const { return true; }
    // Puts the match back to the last step that is final, before it is
    // kept as it was left.
    virtual void settle() {}
};

// A match at this machine: every millisecond is stepped unless paused (as
// far as `gate`, not owned, allows), and the time a pause lasts is not made
// up later.
class GLocalDriver : public GMatchDriver {
public:
    explicit GLocalDriver(GMatch* match, GStepGate* gate = nullptr) : match(match), gate(gate) {}
    int32_t advance(int32_t ms) override { return match->advance(isPaused ? 0 : ms, gate); }
    void pauseKey() override { isPaused = !isPaused; }
    bool paused() const override { return isPaused; }

private:
    GMatch* match;
    GStepGate* gate;
    bool isPaused = false;
};

// A recorded match (GMatch::setUpReplay), watched: paused like a local one,
// and stopped where a match that was left was left. One that finished plays
// on to its end; one that no longer ends where it did is stopped at the
// recorded end by its screen.
class GReplayDriver : private GStepGate, public GLocalDriver {
public:
    explicit GReplayDriver(GMatch* match) : GLocalDriver(match, this) {}

private:
    bool mayStep(GMatch& m) override {
        const GReplay* watched = m.watched();
        return watched == nullptr || watched->end != vkr::END_LEFT || m.world.elapsedMs < watched->endMs;
    }
};
