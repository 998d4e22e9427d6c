// gplayback.cpp: a recorded match, played again and compared.
#include "game/gplayback.h"

#include <new>  // Required for: std::nothrow

#include "game/gcontrollerkinds.h"
#include "game/greplaycontroller.h"
#include "game/gship.h"
#include "game/gworld.h"

void steerRecorded(GWorld& world, ControllerChoice leftChoice, ControllerChoice rightChoice) {
    GShip* ships[2] = {world.leftShip(), world.rightShip()};  // by GSide
    const ControllerChoice choices[2] = {leftChoice, rightChoice};
    for (int32_t side = SIDE_LEFT; side <= SIDE_RIGHT; side++) {
        GShip* ship = ships[side];
        if (ship == nullptr) continue;
        GController* steering = makeController(choices[side], &world, ship);
        ship->setController(new (std::nothrow) GRecordingController(steering, ship, &world.recorded[side]));
        if (ship->controller == nullptr) ship->setController(steering);  // no memory: play unrecorded
    }
}

GReplay recordingOf(const GWorld& world, ControllerChoice leftChoice, ControllerChoice rightChoice, uint8_t end) {
    GReplay r;
    r.leftChoice = leftChoice;
    r.rightChoice = rightChoice;
    r.seed = world.seed;
    r.left = world.recorded[SIDE_LEFT];
    r.right = world.recorded[SIDE_RIGHT];
    r.endMs = world.over ? world.endMs : world.elapsedMs;
    r.end = end;
    const GShip* left = world.leftShip();
    const GShip* right = world.rightShip();
    r.leftHealth = left != nullptr ? left->health : 0;
    r.rightHealth = right != nullptr ? right->health : 0;
    r.hash = world.stateHash();
    return r;
}

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
