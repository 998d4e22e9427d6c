// greplaycontroller.h: controllers that write a ship's flags down, and that
// hand written flags back.
//
// A match is its seed plus the flags each ship's controller set at each of
// its ticks, so recording wraps whatever steers a ship (keys, pad,
// computer) and notes the five flags after it has set them; playing back
// sets them from the notes, tick by tick, without asking anyone. A replay
// therefore stays exact even when the computer player's code changes later.
#pragma once

#include <cstdint>

#include "game/gcontroller.h"
#include "game/greplay.h"

// The five flags of `target` as one byte of vkr::FLAG_* bits, and back.
uint8_t packFlags(const GMovable& target);
void unpackFlags(uint8_t flags, GMovable& target);

class GRecordingController : public GController {
public:
    // Takes ownership of `inner` (may be null: the flags then stay as they
    // are, as for a ship nobody steers, and are noted all the same).
    // `into` is not owned and must outlive this controller.
    GRecordingController(GController* inner, GMovable* target, GFlagStream* into);
    ~GRecordingController() override;

    void control() override;

    GController* inner;
    GFlagStream* into;
};

// What really steers: the controller inside a recorder, else `controller`.
GController* steeringOf(GController* controller);

class GReplayController : public GController {
public:
    // `flags` is not owned and must outlive this controller. Past its end
    // every flag is clear.
    GReplayController(GWorld* world, GMovable* target, const GFlagStream* flags);

    void control() override;

    GFlagCursor cursor;
};
