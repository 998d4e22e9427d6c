// gbackground.h: the backdrop of a match, as the world keeps it.
//
// A world object only so that it sits in the table and is drawn in order
// (GView draws its picture); it does not collide and its tick, every
// PERIOD_MS, does nothing. Its place in the table and the wheel is part of
// the match all the same: it takes one of the table's entries.
#pragma once

#include <cstdint>

#include "game/gobject.h"

class GBackground : public GObject {
public:
    static constexpr int32_t PERIOD_MS = 1000;

    explicit GBackground(GWorld* world);

    Kind kind() const override { return BACKGROUND; }
};
