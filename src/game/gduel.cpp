// gduel.cpp: a seeded match played to its end without a window.
#include "game/gduel.h"

#include <algorithm>

#include "game/gmatch.h"
#include "game/gship.h"

GDuel playDuel(ControllerChoice left, ControllerChoice right, uint32_t seed, uint32_t maxMs) {
    GDuel out;
    GMatch match;
    if (!match.setUp(seed, left, right)) return out;
    const GWorld& world = match.world;
    // A second an advance, so that no advance's events overflow the list.
    GStatsCounter counter;
    const uint32_t limitMs = maxMs > INT32_MAX ? INT32_MAX : maxMs;
    while (world.elapsedMs < limitMs) {
        if (match.advance(static_cast<int32_t>(std::min(1000u, limitMs - world.elapsedMs))) == 0) break;
        counter.hear(world.events, world);
    }
    out.stats = counter.stats();
    out.ms = world.over ? world.endMs : world.elapsedMs;
    out.leftHealth = world.leftShip()->health;
    out.rightHealth = world.rightShip()->health;
    if (world.over && out.leftHealth > 0) out.winner = SIDE_LEFT;
    if (world.over && out.rightHealth > 0) out.winner = SIDE_RIGHT;
    return out;
}
