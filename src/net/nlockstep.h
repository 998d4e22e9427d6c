// nlockstep.h: the bookkeeping that keeps two games' matches in step.
//
// A match is its seed plus both ships' flags tick by tick, so two games
// compute the same match when both end up playing every tick with both
// ships' real flags. Each game reads its own player at its tick t and keeps
// those flags for tick t + delay (0 or 1): its own ship answers at once, as
// in a local match. The other ship's flags for a tick may not be in yet;
// the game then plays on with a guess (the other's newest real flags) for at
// most WINDOW ticks, and the match (NMatch) plays again from the last tick
// it had right once the real flags show the guess was wrong.
//
// Loss. Every INPUT repeats all of this side's flags from the first tick the
// other has not acknowledged, so a lost packet is made good by the next one
// rather than waited for, and acknowledgements let the repeats stop.
//
// Checks. Each side hashes its world after every CHECK_EVERY-th tick once
// that tick is confirmed (played with both sides' real flags); each INPUT
// carries the newest such hash, and the first pair that differs puts the
// match out of step. A guessed tick is never hashed: two games may guess
// differently and still agree once corrected.
//
// Keeping time. Each side notes how far its own ticks ran past the other's
// when the other's arrived (its lead plus the one-way trip), averaged over
// about a second, and sends the average along. Half the difference of the
// two is how far this side runs ahead of the other, the trips cancelling
// when they are alike each way (lead256).
//
// Nothing here touches a socket or the clock: the session moves the
// messages, and the tests move them over simulated links.
#pragma once

#include <cstdint>
#include <string>

#include "net/nprotocol.h"

class NLockstep {
public:
    // Ticks kept of each side's flags; far more than two games in step
    // can be apart (see nprotocol.h's MAX_INPUTS).
    static constexpr uint32_t RING = 256;
    // Hashes kept of each side.
    static constexpr uint32_t CHECKS = 16;

    // A fresh match with `delay` ticks (0..MAX_DELAY) of input delay.
    void start(uint8_t delay);
    bool started() const { return running; }

    // This side's tick `tick` (1, 2, ...): `intent` is what its player asks
    // for now (FLAG_* bits, and PAUSE_BIT), kept for tick + delay unless
    // that tick is set already (the tick is played again after a
    // correction). Returns the flags that take effect at `tick`.
    uint8_t ownTick(uint32_t tick, uint8_t intent);
    // Whether the player was asked at `tick` already.
    bool asked(uint32_t tick) const { return tick + delayTicks <= ownNewest; }
    // Whether the other side's flags for `tick` are in.
    bool hasRemote(uint32_t tick) const;
    // The other side's flags for `tick`; 0 when not in.
    uint8_t remoteFlags(uint32_t tick) const;
    // The other side's flags for `tick` when in; else the guess: its newest
    // flags in, without the pause (0 before any).
    uint8_t remoteOrGuess(uint32_t tick) const;
    // This side's flags for `tick`, as ownTick will hand them out.
    uint8_t ownFlags(uint32_t tick) const;

    // The INPUT to send now: this side's flags from the first tick the
    // other has not acknowledged, at most MAX_INPUTS of them, with this
    // side's acknowledgement and newest hash. False when there is nothing
    // to send yet.
    bool makeInput(NMessage& out) const;
    // Takes the other side's INPUT. False, with `why`, for one no honest game
    // could send: flags that change a tick already in, ticks too far ahead,
    // an acknowledgement of ticks never sent. Duplicates and stale packets
    // are fine.
    bool takeInput(const NMessage& in, std::string& why);

    // This side's hash after `tick` (a multiple of CHECK_EVERY).
    void checkpoint(uint32_t tick, uint64_t hash);
    // The first tick whose two hashes differed; 0 while all agree.
    uint32_t outOfStepTick() const { return mismatch; }

    // How far this side runs ahead of the other, in 1/256 ticks (see
    // above); 0 until both have measured.
    int32_t lead256() const;

    uint8_t delay() const { return delayTicks; }
    uint32_t newestOwn() const { return ownNewest; }
    uint32_t remoteContiguous() const { return remoteUpTo; }
    uint32_t remoteAcknowledged() const { return remoteAck; }
    uint32_t checksCompared() const { return compared; }

private:
    struct Check {
        uint32_t tick = 0;  // 0: empty
        uint64_t hash = 0;
    };
    void compare(const Check& own, const Check& remote);

    bool running = false;
    uint8_t delayTicks = 0;
    uint8_t own[RING] = {};
    uint8_t remote[RING] = {};
    uint32_t remoteTick[RING] = {};  // which tick each slot of `remote` holds
    uint32_t ownNewest = 0;   // the highest tick whose own flags are set
    uint32_t remoteUpTo = 0;  // every remote tick up to this is in
    uint32_t remoteAck = 0;   // every own tick up to this is at the other side
    Check ownChecks[CHECKS];
    Check remoteChecks[CHECKS];
    uint32_t mismatch = 0;
    uint32_t compared = 0;
    uint32_t remoteNewest = 0;  // the highest tick of the other's seen
    int32_t ownGap = 0;         // 1/256 ticks, averaged
    bool gapMeasured = false;
    int32_t remoteGap = 0;      // the other's ownGap, as last sent
    bool remoteGapHeard = false;
};
