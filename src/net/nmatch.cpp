// nmatch.cpp: the two ships' controllers of a network match, and the
// stepping that waits for the other side.
#include "net/nmatch.h"

#include <new>  // Required for: std::nothrow

#include "game/gmatch.h"
#include "game/gship.h"
#include "net/nlockstep.h"
#include "net/nsession.h"

namespace {

// The own player, late by the lockstep's delay: its flags for tick t are
// handed over for tick t + delay, and the ship flies by those of tick t.
// The player's own controller keeps whatever it decides with (a computer
// player's held decision) in its own state, so it never sees the delay.
class NOwnController : public GController {
public:
    NOwnController(GController* inner, NMatch* match) : inner(inner), match(match) {}
    ~NOwnController() override { delete inner; }

    uint8_t flags(GWorld& world, GSide side, uint32_t tick) override {
        const uint8_t intent = inner != nullptr ? inner->flags(world, side, tick) & vkn::FLAG_MASK : 0;
        const uint8_t asked = intent | (match->pauseRequested ? vkn::PAUSE_BIT : 0);
        match->pauseRequested = false;
        return match->lock->ownTick(tick, asked) & vkn::FLAG_MASK;
    }
    void save(GControllerState& state) const override {
        if (inner != nullptr) {
            inner->save(state);
        } else {
            state.size = 0;
        }
    }
    bool restore(const GControllerState& state) override {
        return inner != nullptr ? inner->restore(state) : state.size == 0;
    }

    GController* inner;
    NMatch* match;
};

// The other side's player, exactly as its game read it.
class NRemoteController : public GController {
public:
    explicit NRemoteController(NLockstep* lock) : lock(lock) {}

    uint8_t flags(GWorld& world, GSide side, uint32_t tick) override {
        (void)world;
        (void)side;
        return lock->remoteFlags(tick) & vkn::FLAG_MASK;
    }

    NLockstep* lock;
};

}  // namespace

void NMatch::setUp(GMatch* m, NLockstep* l, NSession* s, GSide side, int32_t hold) {
    match = m;
    lock = l;
    session = s;
    ownSide = side;
    holdMs = hold;
    const GSide other = side == SIDE_LEFT ? SIDE_RIGHT : SIDE_LEFT;
    GController* player = match->takeController(side);
    match->setController(side, new (std::nothrow) NOwnController(player, this));
    match->setController(other, new (std::nothrow) NRemoteController(lock));
}

int32_t NMatch::advance(int32_t ms) {
    int32_t left = ms;
    if (holdMs > 0) {
        const int32_t held = left < holdMs ? left : holdMs;
        holdMs -= held;
        left -= held;
    }
    const int32_t steps = match->advance(isPaused ? 0 : left, this);
    if (steps < left && !isPaused && !match->ended()) {
        // Stopped before a tick whose remote flags are not in.
        const uint32_t waited = static_cast<uint32_t>(left - steps);
        if (waitingMs == 0) waits++;
        waitingMs += waited;
        waitedMs += waited;
        if (waitingMs > longestWaitMs) longestWaitMs = waitingMs;
    }
    // A check found the two matches apart; a result in the same advance
    // wins over it, as the end of a match is the same on both sides.
    const uint32_t apart = lock->outOfStepTick();
    if (apart != 0 && outOfStepTold == 0 && !match->world.over && session != nullptr) {
        outOfStepTold = apart;
        session->outOfStepSeenHere(apart);
    }
    return steps;
}

bool NMatch::mayStep(GMatch& m) {
    const uint32_t next = m.world.elapsedMs + 1;
    const bool tickStep = next % GShip::PERIOD_MS == 0;
    return !tickStep || lock->hasRemote(next / GShip::PERIOD_MS);
}

bool NMatch::stepped(GMatch& m) {
    const uint32_t now = m.world.elapsedMs;
    if (now % GShip::PERIOD_MS != 0) return true;
    const uint32_t tick = now / GShip::PERIOD_MS;
    waitingMs = 0;
    ticksPlayed = tick;
    if (tick % vkn::CHECK_EVERY == 0) lock->checkpoint(tick, m.world.stateHash());
    if (((lock->ownFlags(tick) | lock->remoteFlags(tick)) & vkn::PAUSE_BIT) != 0) isPaused = true;
    return !isPaused;
}

void NMatch::pauseKey() {
    if (!isPaused) {
        requestPause();
        return;
    }
    // Either side ends the pause; the other follows as soon as it hears.
    if (session != nullptr) session->sendResume();
    resume();
}

void NMatch::leave() {
    if (session != nullptr) session->sendLeave();
}

void NMatch::finish() {
    if (session != nullptr) session->matchOver();
}
