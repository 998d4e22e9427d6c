// gmatch.cpp: setting up, steering, stepping and saving a match.
#include "game/gmatch.h"

#include <initializer_list>
#include <new>  // Required for: std::nothrow

#include "game/gcontrollerkinds.h"
#include "game/greplaycontroller.h"
#include "game/gship.h"

static_assert(GMatch::LONGEST_MS <= vkr::MAX_END_MS, "the longest match is a replay the reader takes");

GMatch::GMatch() : leftChoice(-1), rightChoice(-1), ticks{0, 0}, controllers{nullptr, nullptr}, watching(false) {
    world.steering = this;
}

GMatch::~GMatch() {
    // The world's objects go first (its destructor), and none of them asks
    // for flags on the way out.
    delete controllers[SIDE_LEFT];
    delete controllers[SIDE_RIGHT];
}

bool GMatch::setUp(uint32_t seed, ControllerChoice left, ControllerChoice right, const GInput* input,
                   const GKeyBinding* keys) {
    leftChoice = left;
    rightChoice = right;
    const bool ships = world.setUpMatch(seed);
    const ControllerChoice choices[2] = {left, right};  // by GSide
    for (GSide side : {SIDE_LEFT, SIDE_RIGHT}) {
        setController(side, makeController(choices[side], GControllerContext{input, seed, side, keys}));
    }
    return ships;
}

bool GMatch::setUpReplay(const GReplay& replay) {
    notes = replay;
    watching = true;
    leftChoice = replay.leftChoice;
    rightChoice = replay.rightChoice;
    const bool ships = world.setUpMatch(replay.seed);
    setController(SIDE_LEFT, new (std::nothrow) GReplayController(&notes.left));
    setController(SIDE_RIGHT, new (std::nothrow) GReplayController(&notes.right));
    return ships;
}

void GMatch::setController(GSide side, GController* controller) {
    if (side != SIDE_LEFT && side != SIDE_RIGHT) {
        delete controller;
        return;
    }
    if (controllers[side] != controller) delete controllers[side];
    controllers[side] = controller;
}

GController* GMatch::controller(GSide side) const {
    return side == SIDE_LEFT || side == SIDE_RIGHT ? controllers[side] : nullptr;
}

GController* GMatch::takeController(GSide side) {
    GController* taken = controller(side);
    if (taken != nullptr) controllers[side] = nullptr;
    return taken;
}

void GMatch::steer(GShip& ship) {
    const GSide side = world.sideOf(&ship);
    if (side == SIDE_NONE) return;
    ticks[side]++;
    // A ship nobody steers keeps its flags, and they are noted all the same,
    // so that both sides' notes cover every tick.
    const uint8_t flags = controllers[side] != nullptr ? controllers[side]->flags(world, side, ticks[side])
                                                       : packFlags(ship);
    recorded[side].append(flags);
    unpackFlags(flags & vkr::FLAG_MASK, ship);
}

int32_t GMatch::advance(int32_t ms, GStepGate* gate) {
    world.events.clear();
    int32_t steps = 0;
    while (steps < ms && !ended()) {
        if (gate != nullptr && !gate->mayStep(*this)) break;
        world.step();
        steps++;
        if (gate != nullptr && !gate->stepped(*this)) break;
    }
    return steps;
}

GReplay GMatch::replay(uint8_t end) const {
    GReplay r;
    r.leftChoice = leftChoice;
    r.rightChoice = rightChoice;
    r.seed = world.seed;
    r.left = recorded[SIDE_LEFT];
    r.right = recorded[SIDE_RIGHT];
    r.endMs = world.over ? world.endMs : world.elapsedMs;
    r.end = end;
    const GShip* left = world.leftShip();
    const GShip* right = world.rightShip();
    r.leftHealth = left != nullptr ? left->health : 0;
    r.rightHealth = right != nullptr ? right->health : 0;
    r.hash = world.stateHash();
    return r;
}

bool GMatch::save(GMatchState& state) const {
    if (!world.save(state.world)) return false;
    for (GSide side : {SIDE_LEFT, SIDE_RIGHT}) {
        state.ticks[side] = ticks[side];
        if (controllers[side] != nullptr) {
            controllers[side]->save(state.controllers[side]);
        } else {
            state.controllers[side].size = 0;
        }
    }
    return true;
}

bool GMatch::restore(const GMatchState& state) {
    if (!world.restore(state.world)) return false;
    for (GSide side : {SIDE_LEFT, SIDE_RIGHT}) {
        ticks[side] = state.ticks[side];
        recorded[side].truncate(ticks[side]);
        if (controllers[side] != nullptr && !controllers[side]->restore(state.controllers[side])) return false;
    }
    return true;
}
