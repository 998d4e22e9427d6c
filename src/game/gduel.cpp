// gduel.cpp: a seeded match played to its end without a window.
#include "game/gduel.h"

#include "game/gcontrollerkinds.h"
#include "game/gship.h"
#include "game/gworld.h"

GDuel playDuel(ControllerChoice left, ControllerChoice right, uint32_t seed, uint32_t maxMs) {
    GDuel out;
    GWorld world;
    world.setUpMatch(seed, GWorld::Models(), false);
    GShip* ships[2] = {world.leftShip(), world.rightShip()};  // by GSide
    const ControllerChoice choices[2] = {left, right};
    for (int32_t side = SIDE_LEFT; side <= SIDE_RIGHT; side++) {
        if (ships[side] == nullptr) return out;
        ships[side]->setController(makeController(choices[side], &world, ships[side]));
    }
    // The list is bounded and nobody reads it here; a step adds a few at most.
    while (!world.over && world.elapsedMs < maxMs) {
        world.advance(10);
        world.events.clear();
    }
    out.ms = world.over ? world.endMs : world.elapsedMs;
    out.leftHealth = ships[SIDE_LEFT]->health;
    out.rightHealth = ships[SIDE_RIGHT]->health;
    if (world.over && out.leftHealth > 0) out.winner = SIDE_LEFT;
    if (world.over && out.rightHealth > 0) out.winner = SIDE_RIGHT;
    return out;
}
