// gplayback.cpp: a recorded match, played again and compared.
#include "game/gplayback.h"

#include <new>  // Required for: std::nothrow

#include "game/greplaycontroller.h"
#include "game/gship.h"
#include "game/gworld.h"

GPlayback playBack(const GReplay& replay) {
    GPlayback out;
    GWorld world;
    world.setUpMatch(replay.seed, GWorld::Models(), false);
    GShip* ships[2] = {world.leftShip(), world.rightShip()};  // by GSide
    const GFlagStream* notes[2] = {&replay.left, &replay.right};
    for (int32_t side = SIDE_LEFT; side <= SIDE_RIGHT; side++) {
        if (ships[side] == nullptr) return out;
        ships[side]->setController(new (std::nothrow) GReplayController(&world, ships[side], notes[side]));
    }
    while (world.elapsedMs < replay.endMs && !world.over) {
        world.step();
        // Nobody reads them here; keep the list from filling up.
        world.events.clear();
    }
    out.endMs = world.over ? world.endMs : world.elapsedMs;
    out.finished = world.over;
    out.leftHealth = ships[SIDE_LEFT]->health;
    out.rightHealth = ships[SIDE_RIGHT]->health;
    out.hash = world.stateHash();
    out.matches = out.endMs == replay.endMs && out.finished == (replay.end == vkr::END_FINISHED) &&
                  out.leftHealth == replay.leftHealth && out.rightHealth == replay.rightHealth &&
                  out.hash == replay.hash;
    return out;
}
