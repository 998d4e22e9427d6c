// gskilledcontroller.h: the computer players that aim and dodge, the pilot
// and the ace.
//
// What they know. Only what a human sees on the screen: where the ships and
// the shots are and how fast they go, and the own ship's state. They see it
// late: each tick the world is written into a ring of observations, and the
// player acts on the one `delayTicks` ticks old (8 ticks = 200 ms for the
// ace, more for the pilot), carried forward to the present only for its own
// ship, by the flags it set since, as a human knows which keys he held. The
// other side's controller, flags and thrust are never read, nor the world's
// random source: each player draws from a GRandom of its own, seeded from
// the match's seed and its side, so that a match is decided by its seed and
// a replay by its flags.
//
// How they play. The ships face each other and shots fly along x, so the
// duel is about lines in y. A shot leaves with its ship's velocity, which
// decays by a tenth per shot tick: a ship moving at vy throws its shot about
// 9 vy further along y, which is also where the ship would stop if it let
// go (velocity decays by a tenth per ship tick). So the player steers that
// stopping point onto the opponent's line, led by the opponent's seen
// velocity over the shot's flight and the delay, plus an aim error that is
// redrawn now and then and shrinks with skill. Each incoming shot is
// noticed or overlooked once, when first seen (the ace notices more); for
// the noticed ones the player picks, of up, nothing and down held, the one
// that keeps clear of their lines for the whole of their pass, the soonest
// weighing most, and lets the aim choose between equals. The edges count
// in that test (a ship pressed against one can leave a line one way only),
// and the aim stays a little inside them, but no further in than strikes:
// an opponent on a line by an edge or against it is aimed at from half a
// strike's height inside its line. In x the player holds its distance from
// the opponent and keeps off the side walls. Fire is held from the first
// tick it acts on, each player from a tick of its own (see firstShotTick).
//
// The skills were tuned on seeded matches (vk-duel, bench/README.md): the
// pilot beats the computer and the ace the pilot in more than nine of ten.
#pragma once

#include <cstdint>

#include "game/gcomputermodel.h"  // Required for: vkm::Seen
#include "game/gcontroller.h"
#include "game/grandom.h"

class GShip;

class GSkilledController : public GController {
public:
    struct Skill {
        int32_t delayTicks;     // age of the observation acted on, ship ticks
        float lead;             // share of the opponent's seen velocity led, 0..1
        float aimError;         // largest aim error, world units
        int32_t aimHoldTicks;   // ticks an aim error holds before it is redrawn
        float noticeChance;     // chance of noticing an incoming shot, 0..1
        float dodgeClearance;   // distance kept from a shot's line, world units
        float distance;         // distance in x held from the opponent, world units
    };
    static const Skill PILOT;
    static const Skill ACE;

    // The ring holds the delay plus the observation of the present tick.
    static constexpr int32_t RING = 16;
    static constexpr int32_t MAX_SHOTS = 30;

    // Seeds its own source from the match's seed and the side it plays;
    // `skill.delayTicks` must be below RING (larger ones are cut to fit).
    GSkilledController(uint32_t seed, GSide side, const Skill& skill);

    uint8_t flags(GWorld& world, GSide side, uint32_t tick) override;
    void save(GControllerState& out) const override { out.put(state); }
    bool restore(const GControllerState& in) override { return in.get(state); }

    using Seen = vkm::Seen;
    // One tick's view of the world, as the ship's control step saw it.
    struct Observation : vkm::Sight<MAX_SHOTS> {
        uint8_t flags;  // what this player set in that tick, FLAG_ bits
    };
    // An incoming shot seen coming: its y where it reaches the ship's x, the
    // ship ticks until it does, and whether the player noticed it.
    struct Tracked {
        float line;
        int32_t arrival;
        bool watched;
    };

    Skill skill;
    // Everything that changes from tick to tick.
    struct State {
        GRandom random;
        Observation ring[RING] = {};
        uint32_t ticks = 0;      // calls so far
        // Fire is held from this call on: the delay plus a draw below the
        // ship's fire interval. Two players firing from the same tick stay
        // in step all match, and in step the ship that ticks first in the
        // world (the right one) won the mirror matches: 58 % and 63 % of
        // the aces', 57 % of the pilots'.
        uint32_t firstShotTick = 0;
        float aimOffset = 0.0f;  // the aim error in force
        int32_t aimHold = 0;     // ticks it still holds
        Tracked tracked[MAX_SHOTS] = {};
        int32_t trackedCount = 0;
    };
    State state;

private:
    static constexpr uint8_t FLAG_UP = 1, FLAG_DOWN = 2, FLAG_LEFT = 4, FLAG_RIGHT = 8, FLAG_FIRE = 16;

    // The own ship at present: `seen` carried forward through the flags set
    // since it was observed, at `speed` per tick.
    Seen ownNow(uint32_t seenAt, float speed) const;
    uint8_t decide(const Observation& old, const Seen& own);
    float uniform();  // -1..1
};

// The two skills as controller kinds.
class GPilotController : public GSkilledController {
public:
    GPilotController(uint32_t seed, GSide side) : GSkilledController(seed, side, PILOT) {}
};

class GAceController : public GSkilledController {
public:
    GAceController(uint32_t seed, GSide side) : GSkilledController(seed, side, ACE) {}
};
