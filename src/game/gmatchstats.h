// gmatchstats.h: what each ship did in a match, counted from the world's
// events: shots, hits, bounces, the longest stretch unhit, the time ahead.
//
// Counted from events, never from what is drawn, so a replay gives the
// numbers its match gave. What counts:
//   shots           SHOT_FIRED of this ship.
//   hits            SHIP_HIT of the other ship: only a ship's own shots
//                   pass through it, so every hit on one is a shot of the
//                   other that struck.
//   accuracy        hits / shots; 0 without a shot.
//   bounces         SHIPS_BOUNCED; a bounce is both ships', so both count it.
//   longestUnhitMs  the longest time between two of: the match's start
//                   (0 ms), each SHIP_HIT on this ship, the match's end. Two
//                   hits in one step make a stretch of 0.
//   aheadMs         the time this ship's health was strictly above the
//                   other's. Equal health counts for neither ship, so the
//                   two ships' aheadMs add up to the match's length less the
//                   time they stood level (the start, at full health, is
//                   level).
// A hit's health changes at its event's millisecond: an event of ms m came
// from the step that took the match from m - 1 to m, and from there on the
// struck ship has GProjectile::HIT_DAMAGE less (a shot is the only thing
// that costs health, so the healths follow from the events alone). The end
// is where the match stands after the last advance heard: its end for a
// finished match, the millisecond reached otherwise.
//
// Which events to count. A match that is only ever stepped forward (a local
// match, a replay, vk-duel) hands every event to its listeners once, and a
// GStatsCounter listening to it counts right. A network match does not: it
// plays ahead on a guess of the other side's flags and, when a guess was
// wrong, steps again from before it. NMatch hands an event stepped again
// on only once, but a hit that the guess made and the correction undid has
// been heard all the same, and the true hit that replaces it, a few
// milliseconds later, is heard too: counted live, one hit counts twice. A
// spectator that skips ahead hears events late and out of any screen's
// time. So the game counts a finished match from its kept replay
// (countMatch), which both players and every spectator hold bit for bit the
// same once the match has settled: played back straight through a fresh
// match, whose events are each heard exactly once. That costs a playback,
// once, as the result is shown: milliseconds for a match of minutes, about
// a third of a second for the longest (bench/README.md, bench_world).
#pragma once

#include <cstdint>

#include "game/gevent.h"

struct GPlayback;
struct GReplay;

// One ship's numbers.
struct GShipStats {
    uint32_t shots = 0;
    uint32_t hits = 0;
    uint32_t bounces = 0;
    uint32_t longestUnhitMs = 0;
    uint32_t aheadMs = 0;

    // hits / shots, from 0 to 1; 0 without a shot.
    double accuracy() const { return shots > 0 ? static_cast<double>(hits) / shots : 0.0; }
    bool operator==(const GShipStats& o) const {
        return shots == o.shots && hits == o.hits && bounces == o.bounces && longestUnhitMs == o.longestUnhitMs &&
               aheadMs == o.aheadMs;
    }
    bool operator!=(const GShipStats& o) const { return !(*this == o); }
};

// Both ships' numbers, by GSide.
struct GMatchStats {
    GShipStats ships[2];
    bool operator==(const GMatchStats& o) const { return ships[0] == o.ships[0] && ships[1] == o.ships[1]; }
    bool operator!=(const GMatchStats& o) const { return !(*this == o); }
};

// Counts the events of a match stepped only forward, from its start, as it
// hears them (see above for a match that is not).
class GStatsCounter : public GEventListener {
public:
    GStatsCounter();
    void hear(const GEventList& events, const GWorld& world) override;
    // The numbers so far, the stretches closed at the end last heard.
    GMatchStats stats() const;

private:
    GMatchStats counted;
    int32_t health[2];               // by GSide, from the hits heard
    uint32_t lastHitMs[2] = {0, 0};  // the start, or the last hit on the ship
    uint32_t levelSinceMs = 0;       // when the healths last changed
    uint32_t endMs = 0;
};

// Plays `replay` back through a fresh match, straight and to its recorded
// end (playBack, gplayback.h), and counts its events. A replay that no
// longer plays out as recorded is counted as it plays now. `played` (may
// be null) gets that same playback's outcome, so a caller that also checks
// the replay plays it once.
GMatchStats countMatch(const GReplay& replay, GPlayback* played = nullptr);
