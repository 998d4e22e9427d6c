// gmastercontroller.h: the master, a computer player that searches ahead
// on the match's own rules, at a human's reaction time.
//
// What it knows. What the pilot and the ace know (gskilledcontroller.h):
// where the ships and the shots were and how fast they went, seen
// DELAY_TICKS ship ticks (250 ms) late, plus its own flags since, which it
// set itself. Each tick the world is written into a ring of observations
// and the decision reads the one DELAY_TICKS old. The other side's
// controller, flags and thrust are never read, nor the world's random
// source: its draws (the tick it first fires on, its aim error) come from
// a GRandom of its own, seeded from the match's seed and its side.
//
// How it plays. Each tick it replays the last DELAY_TICKS ticks of its own
// ship from the old observation through the flags it held, then tries the
// plans of a small family over the next PLAN_TICKS ticks: up, nothing or
// down held for a few ticks, then one of the three for the rest; or a
// short dodge or none, then steering its stopping point onto a line about
// its aim; and the plan of the tick before, one tick on, which wins ties
// (without it a plan that waits before it moves was chosen afresh each
// tick and never moved). Time in the model goes in 5 ms beats, so that
// ship ticks (25 ms) and shot ticks (15 ms) fall where the wheel puts
// them. The shots it saw fly on the rules of GProjectile; once it has seen
// the opponent fire, the shots fired since, unseen, are placed where its
// seen motion and its seen rhythm of fire (one shot every
// GShip::FIRE_INTERVAL_TICKS) say. A shot strikes on the collision pass's
// rule: closer than 3 in x and than 1 in y, the ship tested where its step
// left it, before the clamp to the field. The plan's own shots are weighed
// against the opponent's seen motion carried forward, the further ahead
// the looser, and off by an aim error redrawn now and then, without which
// two masters read each other too well to ever strike. Each plan ends with
// a health for each ship, the own one certain for the seen shots and
// likely for the guessed ones, the other's expected; the best difference
// wins and its first tick is flown. Fire is held from a first tick of its
// own, as the skilled players do, so that two masters are not in step. In
// x it holds a distance (DISTANCE in the .cpp) by the skilled players' rule
// (vkm::holdDistance), and the model's rules of motion and strikes are
// theirs too (gcomputermodel.h).
//
// Why a model and not copies of GWorld: a world copy is allocations and a
// timing wheel for a few dozen floats that matter, and the master only
// sees what is on the screen anyway, so stepping the real world would look
// at more than it is allowed to.
#pragma once

#include <cstdint>

#include "game/gcomputermodel.h"  // Required for: vkm::Seen
#include "game/gcontroller.h"
#include "game/grandom.h"

class GShip;

class GMasterController : public GController {
public:
    // A human's reaction time: 250 ms.
    static constexpr int32_t DELAY_TICKS = 10;
    // The delay plus the present tick, rounded up.
    static constexpr int32_t RING = 16;
    // Incoming shots seen at once; one goes every 10 ticks and a crossing
    // takes about 30, so a dozen is plenty.
    static constexpr int32_t MAX_SHOTS = 12;
    // Ticks ahead of the present a plan is followed for.
    static constexpr int32_t PLAN_TICKS = 30;

    // Seeds its own source from the match's seed and the side it plays;
    // `delayTicks` (0..RING-2, cut to fit: the observation before the one
    // acted on is read too) only differs from DELAY_TICKS in measurements.
    GMasterController(uint32_t seed, GSide side, int32_t delayTicks = DELAY_TICKS);

    uint8_t flags(GWorld& world, GSide side, uint32_t tick) override;
    void save(GControllerState& out) const override { out.put(state); }
    bool restore(const GControllerState& in) override { return in.get(state); }

    using Seen = vkm::Seen;
    struct Observation : vkm::Sight<MAX_SHOTS> {
        bool opponentFired;  // a shot just left the opponent's ship
        uint8_t flags;       // what this player set in that tick
    };
    struct State {
        GRandom random;
        Observation ring[RING] = {};
        uint32_t ticks = 0;          // calls so far
        uint32_t firstShotTick = 0;  // fire is held from this call on
        int32_t cooldown = 0;        // the own ship's, followed from its flags
        // The call whose observation first showed the opponent's latest
        // shot; its rhythm places the shots not seen yet. -1: none seen.
        int32_t opponentShotAt = -1;
        float aimOffset = 0.0f;  // the aim error in force, world units
        int32_t aimHold = 0;     // ticks it still holds
        // The plan flown: vertical thrust `planFirst` for `planFirstTicks`
        // ticks from the last one, then `planThen`, which may be to steer
        // onto `planLine` (the .cpp's Plan).
        int8_t planFirst = 0, planThen = 0, planFirstTicks = 1;
        float planLine = 0.0f;
    };
    int32_t delayTicks;
    State state;

private:
    static void observe(const GWorld& world, const GShip& own, Observation& now);
    uint8_t decide(uint32_t seenAt);
};
