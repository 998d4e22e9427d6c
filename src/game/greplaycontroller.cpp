// greplaycontroller.cpp: flags as a byte, and the notes handed back.
#include "game/greplaycontroller.h"

#include "game/gmovable.h"

uint8_t packFlags(const GMovable& target) {
    return static_cast<uint8_t>((target.up ? vkr::FLAG_UP : 0) | (target.down ? vkr::FLAG_DOWN : 0) |
                                (target.left ? vkr::FLAG_LEFT : 0) | (target.right ? vkr::FLAG_RIGHT : 0) |
                                (target.fire ? vkr::FLAG_FIRE : 0));
}

void unpackFlags(uint8_t flags, GMovable& target) {
    target.up = (flags & vkr::FLAG_UP) != 0;
    target.down = (flags & vkr::FLAG_DOWN) != 0;
    target.left = (flags & vkr::FLAG_LEFT) != 0;
    target.right = (flags & vkr::FLAG_RIGHT) != 0;
    target.fire = (flags & vkr::FLAG_FIRE) != 0;
}

GReplayController::GReplayController(const GFlagStream* notes) : cursor(notes), cursorTick(1) {}

uint8_t GReplayController::flags(GWorld& world, GSide side, uint32_t tick) {
    (void)world;
    (void)side;
    if (tick < cursorTick) {
        // Asked again for a tick already handed out: read from the start.
        cursor = GFlagCursor(cursor.stream);
        cursorTick = 1;
    }
    cursor.skip(tick - cursorTick);
    cursorTick = tick + 1;
    return cursor.next();
}
