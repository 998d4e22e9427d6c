// gaicontroller.cpp: the computer player's random walk.
#include "game/gaicontroller.h"

#include <cstdlib>  // Required for: rand(), for a controller made without a world

#include "assets/vec3.h"
#include "game/gmovable.h"
#include "game/gworld.h"

GAiController::GAiController(GWorld* world, GMovable* target)
    : GController(world, target), countdown(0) {}

int GAiController::draw() { return world != nullptr ? world->random.next() : rand(); }

void GAiController::control() {
    if (target == nullptr) return;

    countdown--;
    // Exact comparison on purpose: any movement at all, however small,
    // counts as not stuck. z is not compared.
    if (countdown < 0 || equalsXY(target->position, target->previousPosition)) {
        target->left = false;
        target->right = false;
        target->up = false;
        target->down = false;

        const int horizontal = draw() % 3;
        if (horizontal == 0) target->left = true;
        if (horizontal == 1) target->right = true;

        const int vertical = draw() % 3;
        if (vertical == 0) target->up = true;
        if (vertical == 1) target->down = true;

        countdown = draw() % HOLD_TICKS_RANGE + MIN_HOLD_TICKS;
    }

    target->fire = true;
}
