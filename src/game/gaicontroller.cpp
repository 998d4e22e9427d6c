// gaicontroller.cpp: the computer player's random walk.
#include "game/gaicontroller.h"

#include "game/greplay.h"
#include "game/gship.h"
#include "game/gworld.h"

uint8_t GAiController::flags(GWorld& world, GSide side, uint32_t tick) {
    (void)tick;
    const GShip* ship = world.shipOf(side);
    if (ship == nullptr) return 0;

    state.countdown--;
    // Exact comparison on purpose: any movement at all, however small,
    // counts as not stuck. z is not compared.
    if (state.countdown < 0 || equalsXY(ship->position, ship->previousPosition)) {
        uint8_t held = 0;
        const int horizontal = world.random.next() % 3;
        if (horizontal == 0) held |= vkr::FLAG_LEFT;
        if (horizontal == 1) held |= vkr::FLAG_RIGHT;

        const int vertical = world.random.next() % 3;
        if (vertical == 0) held |= vkr::FLAG_UP;
        if (vertical == 1) held |= vkr::FLAG_DOWN;

        state.countdown = world.random.next() % HOLD_TICKS_RANGE + MIN_HOLD_TICKS;
        state.held = held;
    }
    return state.held | vkr::FLAG_FIRE;
}
