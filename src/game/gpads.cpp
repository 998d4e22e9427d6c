// gpads.cpp: from a pad's stick, hat and buttons to the five control flags.
#include "game/gpads.h"

GPads::Flags GPads::flagsFor(const State& state, int32_t fireButton) {
    Flags flags;
    flags.up = state.y < -DEAD_ZONE || (state.hat & HAT_UP) != 0;
    flags.down = state.y > DEAD_ZONE || (state.hat & HAT_DOWN) != 0;
    flags.left = state.x < -DEAD_ZONE || (state.hat & HAT_LEFT) != 0;
    flags.right = state.x > DEAD_ZONE || (state.hat & HAT_RIGHT) != 0;
    const uint32_t fire = fireButton < 0 ? FIRE_BUTTON_MASK : fireButton < 32 ? 1u << fireButton : 0u;
    flags.fire = (state.buttons & fire) != 0;
    return flags;
}
