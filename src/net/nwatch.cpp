// nwatch.cpp: what a spectator heard, and its match played from it.
#include "net/nwatch.h"

#include <algorithm>
#include <new>  // Required for: std::nothrow

#include "game/gship.h"

namespace {

constexpr uint32_t PERIOD = GShip::PERIOD_MS;

// As in nmatch.cpp: a ship flies tick t in the step that ends at match
// millisecond t * PERIOD + 1.
uint32_t flownBy(uint32_t ms) { return ms >= 1 ? (ms - 1) / PERIOD : 0; }
bool flies(uint32_t ms) { return ms > 1 && (ms - 1) % PERIOD == 0; }

// Both ships fly by the flags the players played.
class NWatchController : public GController {
public:
    explicit NWatchController(const NWatched* watched) : watched(watched) {}
    uint8_t flags(GWorld& world, GSide side, uint32_t tick) override {
        (void)world;
        return watched->flags.flags(tick, side) & vkn::FLAG_MASK;
    }

private:
    const NWatched* watched;
};

}  // namespace

bool NWatch::setUp(GMatch* m, const NWatched* w) {
    match = m;
    watched = w;
    match->setController(SIDE_LEFT, new (std::nothrow) NWatchController(watched));
    match->setController(SIDE_RIGHT, new (std::nothrow) NWatchController(watched));
    return match->controller(SIDE_LEFT) != nullptr && match->controller(SIDE_RIGHT) != nullptr;
}

uint32_t NWatch::playedTick() const { return flownBy(match->world.elapsedMs); }

bool NWatch::leftHere() const {
    return watched->ended && watched->end == vkn::End::LEFT && match->world.elapsedMs >= watched->endMs;
}

bool NWatch::mayStep(GMatch& m) {
    const uint32_t next = m.world.elapsedMs + 1;
    if (leftHere()) return false;
    return !flies(next) || flownBy(next) <= watched->flags.ticks();
}

int32_t NWatch::advance(int32_t ms) {
    const uint32_t held = watched->flags.ticks();
    const uint32_t played = playedTick();
    const uint32_t lag = held > played ? held - played : 0;
    int32_t steps;
    if (lag > SKIP_TICKS) {
        const uint32_t skip = std::min<uint32_t>((lag - TARGET_TICKS) * PERIOD, MOST_SKIP_MS);
        steps = static_cast<int32_t>(skip);
        skippedTicks += skip / PERIOD;
        carry16 = 0;
    } else {
        // Sixteenths of real speed: 14 (7/8) when it holds less than the
        // target, 16 at it, up to MAX_RATE * 16.
        const int32_t rate16 = std::clamp(16 + (static_cast<int32_t>(lag) - static_cast<int32_t>(TARGET_TICKS)) * 16 /
                                                   static_cast<int32_t>(CATCH_TICKS),
                                          14, MAX_RATE * 16);
        const int64_t owed = static_cast<int64_t>(std::max(ms, 0)) * rate16 + carry16;
        steps = static_cast<int32_t>(owed / 16);
        carry16 = static_cast<int32_t>(owed % 16);
    }
    const int32_t taken = match->advance(steps, this);
    const bool dry = taken < steps && !match->ended() && !leftHere();
    if (dry && !waiting) waits++;
    waiting = dry;
    return taken;
}

bool NWatch::paused() const {
    const uint32_t played = playedTick();
    if (played == 0 || played < watched->flags.ticks()) return false;
    return ((watched->flags.flags(played, SIDE_LEFT) | watched->flags.flags(played, SIDE_RIGHT)) & vkn::PAUSE_BIT) != 0;
}

uint32_t NWatch::behindMs(uint32_t nowMs) const {
    const uint32_t played = playedTick();
    const uint32_t held = watched->newest > played ? (watched->newest - played) * PERIOD : 0;
    // Paused or over, the players are no further on than their newest tick.
    const bool still = watched->ended || paused() || watched->newest == 0;
    return held + (still ? 0 : nowMs - watched->newestAt);
}
