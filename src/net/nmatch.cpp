// nmatch.cpp: the two ships' controllers of a network match, the guesses,
// the corrections and the waits.
#include "net/nmatch.h"

#include <algorithm>
#include <cstdio>
#include <new>  // Required for: std::nothrow

#include "game/gship.h"
#include "net/nsession.h"

namespace {

constexpr uint32_t PERIOD = GShip::PERIOD_MS;

// A ship flies tick t (reads its flags and moves) in the step that ends at
// match millisecond t * PERIOD + 1.
uint32_t flownBy(uint32_t ms) { return ms >= 1 ? (ms - 1) / PERIOD : 0; }
uint32_t msAfter(uint32_t tick) { return tick == 0 ? 0 : tick * PERIOD + 1; }
bool flies(uint32_t ms) { return ms > 1 && (ms - 1) % PERIOD == 0; }

// The own player through the input delay. It is asked once per tick, the
// first time the tick is played: a tick played again after a correction
// flies by what it said then, as the other game was told. What the player
// keeps (a computer player's held decision) runs on with real time, so it
// is no part of the match's saves.
class NOwnController : public GController {
public:
    NOwnController(GController* inner, NMatch* match) : inner(inner), match(match) {}
    ~NOwnController() override { delete inner; }

    uint8_t flags(GWorld& world, GSide side, uint32_t tick) override {
        NLockstep& lock = *match->lock;
        if (!lock.asked(tick)) {
            const uint8_t intent = inner != nullptr ? inner->flags(world, side, tick) & vkn::FLAG_MASK : 0;
            lock.ownTick(tick, intent | (match->pauseRequested ? vkn::PAUSE_BIT : 0));
            match->pauseRequested = false;
        }
        return lock.ownFlags(tick) & vkn::FLAG_MASK;
    }
    void save(GControllerState& state) const override { state.size = 0; }
    bool restore(const GControllerState& state) override {
        (void)state;
        return true;
    }

    GController* inner;
    NMatch* match;
};

// The other side's player: its real flags, or the guess.
class NOtherController : public GController {
public:
    explicit NOtherController(NMatch* match) : match(match) {}

    uint8_t flags(GWorld& world, GSide side, uint32_t tick) override {
        (void)world;
        (void)side;
        return match->flyOther(tick) & vkn::FLAG_MASK;
    }

    NMatch* match;
};

bool sameEvent(const GEvent& a, const GEvent& b) { return a.kind == b.kind && a.side == b.side && a.ms == b.ms; }

}  // namespace

NMatch::NMatch() {}

NMatch::~NMatch() { delete[] snapshots; }

bool NMatch::setUp(GMatch* m, NLockstep* l, NSession* s, GSide side, int32_t hold) {
    match = m;
    lock = l;
    session = s;
    ownSide = side;
    holdMs = hold;
    const GSide other = side == SIDE_LEFT ? SIDE_RIGHT : SIDE_LEFT;
    GController* player = match->takeController(side);
    match->setController(side, new (std::nothrow) NOwnController(player, this));
    match->setController(other, new (std::nothrow) NOtherController(this));
    delete[] snapshots;
    snapshots = new (std::nothrow) Snapshot[SNAPSHOTS];
    if (snapshots == nullptr) return false;
    snapshots[0].tick = 0;
    return match->save(snapshots[0].state);
}

uint8_t NMatch::flyOther(uint32_t tick) {
    const uint8_t flags = lock->remoteOrGuess(tick);
    played[tick % NLockstep::RING] = flags;
    return flags;
}

Vec3 NMatch::takeJump(GSide side) {
    if (side != SIDE_LEFT && side != SIDE_RIGHT) return Vec3();
    const Vec3 jump = jumps[side];
    jumps[side] = Vec3();
    return jump;
}

uint32_t NMatch::playedTick() const { return flownBy(match->world.elapsedMs); }

int32_t NMatch::advance(int32_t ms) {
    GEventList heard;
    confirm(heard);
    int32_t left = ms;
    if (holdMs > 0) {
        const int32_t held = left < holdMs ? left : holdMs;
        holdMs -= held;
        left -= held;
    }
    if (!isPaused && left > 0 && lock->lead256() > SLOW_FROM_256) {
        slowCarry += left;
        const int32_t drop = std::min(left, slowCarry / SLOW_EVERY);
        slowCarry -= drop * SLOW_EVERY;
        left -= drop;
        slowedMs += static_cast<uint64_t>(drop);
    } else {
        slowCarry = 0;
    }
    const int32_t steps = match->advance(isPaused ? 0 : left, this);
    hear(match->world.events, heard);
    if (steps < left && !isPaused && !match->ended()) {
        // Stopped at the end of the window.
        const uint32_t waited = static_cast<uint32_t>(left - steps);
        if (waitingMs == 0) waits++;
        waitingMs += waited;
        waitedMs += waited;
        if (waitingMs > longestWaitMs) longestWaitMs = waitingMs;
    }
    confirm(heard);
    if (synctest && steps > 0 && snapshots != nullptr) {
        const uint32_t now = playedTick();
        const uint32_t back = now > vkn::WINDOW ? now - vkn::WINDOW : 0;
        const uint64_t before = match->world.stateHash();
        const uint32_t beforeMs = match->world.elapsedMs;
        if (snapshots[back % SNAPSHOTS].tick == back) {
            rollBack(back, heard);
            if (match->world.stateHash() != before || match->world.elapsedMs != beforeMs) synctestApart++;
        }
    }
    // A check found the two matches apart; a result in the same advance
    // wins over it, as the end of a match is the same on both sides.
    const uint32_t apart = lock->outOfStepTick();
    if (apart != 0 && outOfStepTold == 0 && !match->world.over && session != nullptr) {
        outOfStepTold = apart;
        session->outOfStepSeenHere(apart);
    }
    match->world.events = heard;
    return steps;
}

void NMatch::confirm(GEventList& heard) {
    if (snapshots == nullptr) return;
    uint32_t upTo = std::min(lock->remoteContiguous(), playedTick());
    for (uint32_t tick = confirmed + 1; tick <= upTo; tick++) {
        if (played[tick % NLockstep::RING] != lock->remoteFlags(tick)) {
            rollBack(tick - 1, heard);
            break;
        }
    }
    // A pause the correction brought may have stopped the match short.
    upTo = std::min(lock->remoteContiguous(), playedTick());
    for (uint32_t tick = confirmed + 1; tick <= upTo; tick++) {
        const Snapshot& s = snapshots[tick % SNAPSHOTS];
        if (tick % vkn::CHECK_EVERY == 0 && s.tick == tick) lock->checkpoint(tick, s.hash);
    }
    if (upTo <= confirmed) return;
    confirmed = upTo;
    // What was heard up to here stands; a synctest steps the window again
    // even where it was confirmed.
    const uint32_t played = playedTick();
    const uint32_t finalMs = msAfter(std::min(confirmed, played > vkn::WINDOW ? played - vkn::WINDOW : 0));
    ledger.erase(std::remove_if(ledger.begin(), ledger.end(), [finalMs](const Heard& h) { return h.event.ms <= finalMs; }),
                 ledger.end());
}

void NMatch::rollBack(uint32_t tick, GEventList& heard) {
    const Snapshot& s = snapshots[tick % SNAPSHOTS];
    if (s.tick != tick) {
        // Cannot happen: the window keeps every tick since the last confirmed
        // one saved.
        fprintf(stderr, "No saved match at tick %u to correct from.\n", static_cast<unsigned>(tick));
        return;
    }
    const uint32_t targetMs = match->world.elapsedMs;
    const uint32_t fromMs = msAfter(tick);
    const uint32_t again = playedTick() - tick;
    // Only this side's computer player draws from the world's source while
    // a match runs, and it is asked once per tick: its draws run on with
    // real time, or every correction would hand it the same numbers again.
    Vec3 was[2];
    for (GSide side : {SIDE_LEFT, SIDE_RIGHT}) {
        if (const GShip* ship = match->world.shipOf(side)) was[side] = ship->position;
    }
    const GRandom draws = match->world.random;
    if (!match->restore(s.state)) {
        fprintf(stderr, "The saved match at tick %u could not be restored.\n", static_cast<unsigned>(tick));
        return;
    }
    match->world.random = draws;
    isPaused = false;
    for (Heard& h : ledger) h.again = false;
    match->advance(static_cast<int32_t>(targetMs - fromMs), this);
    for (GSide side : {SIDE_LEFT, SIDE_RIGHT}) {
        if (const GShip* ship = match->world.shipOf(side)) jumps[side] = add(jumps[side], subtract(was[side], ship->position));
    }
    rollbacks++;
    rolledTicks += again;
    longestRollback = std::max(longestRollback, again);

    const GEventList& events = match->world.events;
    for (int32_t i = 0; i < events.count; i++) {
        const GEvent& e = events.items[i];
        auto known = std::find_if(ledger.begin(), ledger.end(),
                                  [&e](const Heard& h) { return !h.again && sameEvent(h.event, e); });
        if (known != ledger.end()) {
            known->again = true;  // heard already: once is enough
            continue;
        }
        const bool fresh = targetMs - e.ms <= LATE_MS;
        heard.push(e);
        ledger.push_back(Heard{e, true, fresh});
        eventsHeard++;
        if (!fresh) eventsTooLate++;
    }
    // Heard, and no longer so: the correction took them back.
    const auto undone = std::stable_partition(ledger.begin(), ledger.end(),
                                              [fromMs](const Heard& h) { return h.again || h.event.ms <= fromMs; });
    eventsUndone += static_cast<uint32_t>(ledger.end() - undone);
    freshUndone += static_cast<uint32_t>(std::count_if(undone, ledger.end(), [](const Heard& h) { return h.fresh; }));
    ledger.erase(undone, ledger.end());
}

void NMatch::hear(const GEventList& events, GEventList& heard) {
    for (int32_t i = 0; i < events.count; i++) {
        heard.push(events.items[i]);
        if (ledger.size() >= MOST_HEARD) ledger.erase(ledger.begin());
        ledger.push_back(Heard{events.items[i], false, true});
        eventsHeard++;
    }
}

bool NMatch::mayStep(GMatch& m) {
    const uint32_t next = m.world.elapsedMs + 1;
    return !flies(next) || flownBy(next) <= lock->remoteContiguous() + vkn::WINDOW;
}

bool NMatch::stepped(GMatch& m) {
    const uint32_t now = m.world.elapsedMs;
    if (!flies(now)) return true;
    const uint32_t tick = flownBy(now);
    waitingMs = 0;
    ticksPlayed = tick;
    if (snapshots != nullptr) {
        Snapshot& s = snapshots[tick % SNAPSHOTS];
        s.tick = tick;
        s.hash = tick % vkn::CHECK_EVERY == 0 ? m.world.stateHash() : 0;
        if (!m.save(s.state)) s.tick = UINT32_MAX;
    }
    const uint8_t both = lock->ownFlags(tick) | played[tick % NLockstep::RING];
    if ((both & vkn::PAUSE_BIT) != 0 && tick > resumedThrough) {
        isPaused = true;
        pausedTick = tick;
    }
    return !isPaused;
}

bool NMatch::settled() const { return match->ended() && confirmed >= playedTick(); }

void NMatch::settle() {
    if (snapshots != nullptr && confirmed < playedTick()) {
        const Snapshot& s = snapshots[confirmed % SNAPSHOTS];
        if (s.tick == confirmed) match->restore(s.state);
    }
    // The match is kept as it now stands: the spectators keep the same.
    const GWorld& world = match->world;
    if (session != nullptr) session->matchKept(world.over ? world.endMs : world.elapsedMs, world.over);
}

void NMatch::resume() {
    isPaused = false;
    resumedThrough = pausedTick;
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
