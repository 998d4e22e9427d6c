// gmatch.h: one match: a world, the controller of each ship, the notes of
// the flags they set, and the one way a match is stepped.
//
// Every kind of match goes through here: the local match, the replay, the
// network match, vk-duel, vk-replay and the benchmarks. They differ only in
// their controllers and in who decides when a step may be taken (a
// GStepGate): a local match steps whenever its screen has time, a replay up
// to where its match was left, a network match only once the other side's
// flags for the next tick are in.
//
// Steering. At the start of each ship tick the world asks the match for the
// ship's flags (steer); the match asks the ship's controller, notes the
// answer down in `recorded`, and hands it to the ship. This is the one place
// where flags are recorded, so every match can be written as a replay.
//
// Saving. save() copies the whole state that decides the match's future
// into a GMatchState, a plain value: the world, each ship's tick count and
// everything each controller keeps. restore() puts it back bit for bit and
// cuts the notes back to the saved tick, so that a match stepped ahead,
// restored and stepped on plays exactly as if it had never looked ahead.
// That is what a rollback needs; `vk-replay --rollback N` checks it over the
// recorded matches.
//
// The longest match. A match stops at LONGEST_MS of match time: no step
// is taken after it (timeUp). The game then ends it as a draw that was not
// played out, and keeps it as left at that millisecond, so that every real
// match stays a replay that vk-replay plays in bounded time.
#pragma once

#include <cstdint>

#include "game/gcontroller.h"
#include "game/greplay.h"
#include "game/gworld.h"
#include "game/matchresult.h"

class GMatch;

// Who decides whether a match may take its next step.
class GStepGate {
public:
    virtual ~GStepGate() {}
    // Whether the match may step from world.elapsedMs to the next
    // millisecond now.
    virtual bool mayStep(GMatch& match) = 0;
    // After each step; false ends the advance there.
    virtual bool stepped(GMatch& match) {
        (void)match;
        return true;
    }
};

// A match as a value (GMatch::save, restore).
struct GMatchState {
    GWorldState world;
    uint32_t ticks[2];  // by GSide
    GControllerState controllers[2];
};

class GMatch : public GSteering {
public:
    static constexpr uint32_t LONGEST_MS = vkr::MAX_TICKS * vkr::TICK_MS;

    GMatch();
    // Deletes the controllers.
    ~GMatch() override;
    GMatch(const GMatch&) = delete;
    GMatch& operator=(const GMatch&) = delete;

    // Sets up the world from `seed`, each ship steered by the controller its
    // choice names (any value no kind has: nobody steers it); the keyboard
    // players read `input` (not owned, may be null) by `keys`, the two
    // players' bindings by GSide (null: the defaults). Call once. Returns
    // whether the world has both ships.
    bool setUp(uint32_t seed, ControllerChoice leftChoice, ControllerChoice rightChoice,
               const GInput* input = nullptr, const GKeyBinding* keys = nullptr);
    // Sets up the match `replay` recorded, each ship steered by its notes.
    // The replay is copied.
    bool setUpReplay(const GReplay& replay);
    // Hands ship `side` to `controller` (owned; null: nobody steers it,
    // and it keeps the flags it has), deleting the one before.
    void setController(GSide side, GController* controller);
    GController* controller(GSide side) const;
    // Hands the controller of `side` over to the caller (null when nobody
    // steers); nobody steers that ship until one is set again.
    GController* takeController(GSide side);
    // The replay this match plays, when set up from one; else null.
    const GReplay* watched() const { return watching ? &notes : nullptr; }

    // Steps through up to `ms` milliseconds, as long as `gate` (may be
    // null: always) allows, stopping at the end of the match. The events of
    // these steps are in world.events until the next advance. Returns the
    // steps taken.
    int32_t advance(int32_t ms, GStepGate* gate = nullptr);

    // The match reached LONGEST_MS without a result.
    bool timeUp() const { return !world.over && world.elapsedMs >= LONGEST_MS; }
    // A result, or time up: no more steps.
    bool ended() const { return world.over || timeUp(); }

    // The match as it stands, as a replay: choices, seed, the notes so far,
    // and the end as if it came now (`end`: vkr::END_FINISHED or END_LEFT).
    GReplay replay(uint8_t end) const;

    // Copies the match into `state`; only between steps. False when the
    // world cannot be saved (GWorld::save).
    bool save(GMatchState& state) const;
    // Puts back a state this match saved. False when the world or a
    // controller refuses it; the match is then unspecified.
    bool restore(const GMatchState& state);

    // The world asks for a ship's flags here (GSteering).
    void steer(GShip& ship) override;

    GWorld world;
    ControllerChoice leftChoice;
    ControllerChoice rightChoice;
    // Each ship's flags, tick by tick, as it flew by them; by GSide.
    GFlagStream recorded[2];
    // Each ship's ticks so far; by GSide.
    uint32_t ticks[2];

private:
    GController* controllers[2];  // owned; by GSide
    GReplay notes;                // the replay being played, if any
    bool watching;                // set up from `notes`
};
