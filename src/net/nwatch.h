// nwatch.h: a spectator's match, played from what it heard of the players'
// (NWatched, ntranscript.h) a little behind them.
//
// The spectator's world is set up from the match's seed and choices as the
// players' were, and both ships fly by the flags the players' game sent
// (ntranscript.h): every tick it plays was played with both players' real
// flags, so it plays the players' match to the last bit and keeps the same
// replay.
//
// Pace. Flags come in bursts (a FLAGS every NFeed::SEND_EVERY_MS), so the
// spectator keeps TARGET_TICKS of them in hand and plays at a rate that
// grows with how far it is behind what it holds: 1 tick a tick at
// TARGET_TICKS, one more for every CATCH_TICKS further, up to MAX_RATE
// times real speed; a little under real speed when it holds less, so that
// it rarely runs dry and waits. A spectator more than SKIP_TICKS behind
// (one that joins a match long under way, or comes back from a long stall)
// steps through the rest at once, unseen, up to MOST_SKIP_MS of match per
// advance, and goes on from TARGET_TICKS behind: at 8 times real speed, two
// minutes of match would take 17 s to catch up with. The events of the
// steps it skips still reach whoever listens; they come late, and the
// sound and the pictures leave what is long over.
//
// The end. A match whose ship's health ran out ends in the spectator's
// world by itself, exactly where it ended for the players. A match left
// (or out of step) ends where the players' game kept it: END says the
// millisecond, and the spectator stops there.
#pragma once

#include <cstdint>

#include "game/gmatch.h"
#include "game/gmatchdriver.h"
#include "net/nprotocol.h"
#include "net/ntranscript.h"


class NWatch : public GMatchDriver, private GStepGate {
public:
    static constexpr uint32_t TARGET_TICKS = 4;
    static constexpr uint32_t CATCH_TICKS = 4;
    static constexpr int32_t MAX_RATE = 8;
    static constexpr uint32_t SKIP_TICKS = 120;
    static constexpr int32_t MOST_SKIP_MS = 60000;

    // Steers both ships of `match`, just set up (GMatch::setUp) from the
    // match's seed and choices, by `watched`'s flags. Neither is owned;
    // both must outlive this.
    bool setUp(GMatch* match, const NWatched* watched);

    // Steps the match through `ms` of the screen's time at the rate above,
    // as far as the flags held and the end allow.
    int32_t advance(int32_t ms) override;
    // A spectator cannot pause the players' match.
    void pauseKey() override {}
    // The players hold their match: the last tick held asked for the pause,
    // and it has been played.
    bool paused() const override;

    // About how far the match shown is behind the players at `nowMs` (the
    // clock NWatched::take was given), in milliseconds of match: the ticks
    // held and not played, and the time since the players' newest was heard
    // while they play on.
    uint32_t behindMs(uint32_t nowMs) const;
    // The match has reached the end END said for a match that was left.
    bool leftHere() const;
    // Ticks stepped through unseen, and the times it ran out of flags.
    uint32_t skippedTicks = 0;
    uint32_t waits = 0;

private:
    bool mayStep(GMatch& match) override;
    uint32_t playedTick() const;

    GMatch* match = nullptr;
    const NWatched* watched = nullptr;
    int32_t carry16 = 0;  // sixteenths of a millisecond owed to the next advance
    bool waiting = false;
};
