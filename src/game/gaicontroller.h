// gaicontroller.h: the computer player, a random walk that always fires.
//
// A decision picks left, right or neither, then up, down or neither, then
// how many further ticks to keep it: three draws from the world's random
// source in that order, and only when deciding. A decision is made when the
// countdown runs out or when the ship's last movement step left it where it
// was in x and y (pinned at an edge, or put back by a bounce). It holds for
// countdown + 1 ticks: 6 to 35, that is 150 to 875 ms at a ship's 25 ms.
#pragma once

#include <cstdint>

#include "game/gcontroller.h"

class GAiController : public GController {
public:
    static constexpr int32_t MIN_HOLD_TICKS = 5;
    static constexpr int32_t HOLD_TICKS_RANGE = 30;

    // The countdown starts at 0, so the first call decides.
    GAiController() {}

    uint8_t flags(GWorld& world, GSide side, uint32_t tick) override;
    void save(GControllerState& out) const override { out.put(state); }
    bool restore(const GControllerState& in) override { return in.get(state); }

    struct State {
        int32_t countdown = 0;  // ticks the current decision still holds
        uint8_t held = 0;       // the decision: the direction flags it keeps
    };
    State state;
};
