// nmatch.cpp: the two ships' controllers of a network match, and the
// stepping that waits for the other side.
#include "net/nmatch.h"

#include <new>  // Required for: std::nothrow

#include "game/gcontrollerkinds.h"
#include "game/greplaycontroller.h"
#include "game/gship.h"
#include "game/gworld.h"
#include "net/nlockstep.h"

namespace {

// The own player, late by the lockstep's delay. The player's controller sees
// the flags it set itself at its last tick, not the delayed ones the ship
// flies by, so a controller that keeps a decision by leaving the flags alone
// keeps it here too.
class NOwnController : public GController {
public:
    NOwnController(GController* inner, NMatch* match, GMovable* target)
        : GController(inner != nullptr ? inner->world : nullptr, target), inner(inner), match(match) {}
    ~NOwnController() override { delete inner; }

    void control() override {
        if (target == nullptr) return;
        unpackFlags(intent, *target);
        if (inner != nullptr) inner->control();
        intent = packFlags(*target);
        const uint8_t asked = intent | (match->pauseRequested ? vkn::PAUSE_BIT : 0);
        match->pauseRequested = false;
        tick++;
        unpackFlags(match->lock->ownTick(tick, asked) & vkn::FLAG_MASK, *target);
    }

    GController* inner;
    NMatch* match;
    uint8_t intent = 0;
    uint32_t tick = 0;
};

// The other side's player, exactly as its game read it.
class NRemoteController : public GController {
public:
    NRemoteController(NMatch* match, GMovable* target) : GController(match->world, target), match(match) {}

    void control() override {
        tick++;
        if (target != nullptr) unpackFlags(match->lock->remoteFlags(tick) & vkn::FLAG_MASK, *target);
    }

    NMatch* match;
    uint32_t tick = 0;
};

}  // namespace

void NMatch::setUp(GWorld* w, NLockstep* l, GSide side, ControllerChoice ownChoice, int32_t hold) {
    world = w;
    lock = l;
    ownSide = side;
    holdMs = hold;
    GShip* ships[2] = {world->leftShip(), world->rightShip()};  // by GSide
    for (int32_t s = SIDE_LEFT; s <= SIDE_RIGHT; s++) {
        GShip* ship = ships[s];
        if (ship == nullptr) continue;
        GController* steering = nullptr;
        if (s == side) {
            steering = new (std::nothrow) NOwnController(makeController(ownChoice, world, ship), this, ship);
        } else {
            steering = new (std::nothrow) NRemoteController(this, ship);
        }
        ship->setController(new (std::nothrow) GRecordingController(steering, ship, &world->recorded[s]));
        if (ship->controller == nullptr) ship->setController(steering);
    }
}

int32_t NMatch::advance(int32_t ms) {
    int32_t steps = 0;
    int32_t left = ms;
    if (holdMs > 0) {
        const int32_t held = left < holdMs ? left : holdMs;
        holdMs -= held;
        left -= held;
    }
    while (steps < left && !paused && !world->over) {
        const uint32_t next = world->elapsedMs + 1;
        const bool tickStep = next % GShip::PERIOD_MS == 0;
        const uint32_t tick = next / GShip::PERIOD_MS;
        if (tickStep && !lock->hasRemote(tick)) {
            const uint32_t waited = static_cast<uint32_t>(left - steps);
            if (waitingMs == 0) waits++;
            waitingMs += waited;
            waitedMs += waited;
            if (waitingMs > longestWaitMs) longestWaitMs = waitingMs;
            break;
        }
        world->step();
        steps++;
        if (!tickStep) continue;
        waitingMs = 0;
        ticksPlayed = tick;
        if (tick % vkn::CHECK_EVERY == 0) lock->checkpoint(tick, world->stateHash());
        if (((lock->ownFlags(tick) | lock->remoteFlags(tick)) & vkn::PAUSE_BIT) != 0) paused = true;
    }
    return steps;
}
