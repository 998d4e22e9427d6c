// gpads.cpp: from a pad's stick, hat and buttons to the five control flags.
#include "game/gpads.h"

GPads::Flags GPads::flagsFor(const State& state) {
    Flags flags;
    flags.up = state.y < -DEAD_ZONE || (state.hat & HAT_UP) != 0;
    flags.down = state.y > DEAD_ZONE || (state.hat & HAT_DOWN) != 0;
    flags.left = state.x < -DEAD_ZONE || (state.hat & HAT_LEFT) != 0;
    flags.right = state.x > DEAD_ZONE || (state.hat & HAT_RIGHT) != 0;
    flags.fire = (state.buttons & FIRE_BUTTON_MASK) != 0;
    return flags;
}
