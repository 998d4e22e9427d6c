// greplaycontroller.h: a ship steered by the notes of a recording, and the
// five flags of a ship as one byte.
//
// A match is its seed plus the flags each ship flew by at each of its
// ticks, which the match notes down whoever set them (GMatch::steer); so a
// recording plays again by handing the notes back, tick by tick, without
// asking anyone. A replay therefore stays exact even when the computer
// player's code changes later.
#pragma once

#include <cstdint>

#include "game/gcontroller.h"
#include "game/greplay.h"

class GMovable;

// The five flags of `target` as one byte of vkr::FLAG_* bits, and back.
uint8_t packFlags(const GMovable& target);
void unpackFlags(uint8_t flags, GMovable& target);

// Answers from its tick number alone: the notes of tick `tick`, or nothing
// held past their end. It keeps a place in the notes only to be quick, so it
// saves nothing and answers any tick, also one asked again after a rollback.
class GReplayController : public GController {
public:
    // `notes` is not owned, must outlive this controller and must not
    // change while it reads them.
    explicit GReplayController(const GFlagStream* notes);

    uint8_t flags(GWorld& world, GSide side, uint32_t tick) override;

private:
    GFlagCursor cursor;
    uint32_t cursorTick;  // the tick the cursor hands out next
};
