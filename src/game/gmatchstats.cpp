// gmatchstats.cpp: a match's numbers, from its events or its replay.
#include "game/gmatchstats.h"

#include <algorithm>

#include "game/gplayback.h"
#include "game/gprojectile.h"
#include "game/gship.h"

GStatsCounter::GStatsCounter() : health{GShip::FULL_HEALTH, GShip::FULL_HEALTH} {}

namespace {

// The side whose health is strictly above the other's, or SIDE_NONE.
GSide ahead(const int32_t health[2]) {
    if (health[SIDE_LEFT] > health[SIDE_RIGHT]) return SIDE_LEFT;
    if (health[SIDE_RIGHT] > health[SIDE_LEFT]) return SIDE_RIGHT;
    return SIDE_NONE;
}

// From `from` to `to`, 0 for an event heard out of order.
uint32_t since(uint32_t from, uint32_t to) { return to > from ? to - from : 0; }

}  // namespace

void GStatsCounter::hear(const GEventList& events, const GWorld& world) {
    for (const GEvent& event : events.items) {
        const GSide side = event.side;
        switch (event.kind) {
        case GEvent::SHOT_FIRED:
            if (side == SIDE_LEFT || side == SIDE_RIGHT) counted.ships[side].shots++;
            break;
        case GEvent::SHIP_HIT: {
            if (side != SIDE_LEFT && side != SIDE_RIGHT) break;
            counted.ships[1 - side].hits++;
            GShipStats& struck = counted.ships[side];
            struck.longestUnhitMs = std::max(struck.longestUnhitMs, since(lastHitMs[side], event.ms));
            lastHitMs[side] = std::max(lastHitMs[side], event.ms);
            const GSide leader = ahead(health);
            if (leader != SIDE_NONE) counted.ships[leader].aheadMs += since(levelSinceMs, event.ms);
            levelSinceMs = std::max(levelSinceMs, event.ms);
            health[side] -= GProjectile::HIT_DAMAGE;
            break;
        }
        case GEvent::SHIPS_BOUNCED:
            counted.ships[SIDE_LEFT].bounces++;
            counted.ships[SIDE_RIGHT].bounces++;
            break;
        default:
            break;
        }
    }
    endMs = world.over ? world.endMs : world.elapsedMs;
}

GMatchStats GStatsCounter::stats() const {
    GMatchStats out = counted;
    for (int32_t side = SIDE_LEFT; side <= SIDE_RIGHT; side++) {
        GShipStats& ship = out.ships[side];
        ship.longestUnhitMs = std::max(ship.longestUnhitMs, since(lastHitMs[side], endMs));
    }
    const GSide leader = ahead(health);
    if (leader != SIDE_NONE) out.ships[leader].aheadMs += since(levelSinceMs, endMs);
    return out;
}

GMatchStats countMatch(const GReplay& replay, GPlayback* played) {
    GStatsCounter counter;
    const GPlayback playback = playBack(replay, 0, &counter);
    if (played != nullptr) *played = playback;
    return counter.stats();
}
