// gevent.h: what happened in a match, as the world reports it.
//
// The world (GWorld) writes one GEvent for each thing a player could hear or
// see happen during a step: a shot leaving, a shot striking, two ships
// bouncing, a ship falling low, the end. The screen reads the list after its
// update and hands it on (sound plugs in there); nothing in the world ever
// reads it back, so whatever listens cannot change the match.
#pragma once

#include <cstdint>

#include "assets/vec3.h"

// Which ship an event belongs to. The left ship is the one the left player
// steers (entry 1 of the table), wherever it is on the field.
enum GSide : int8_t {
    SIDE_NONE = -1,  // both ships, or neither (a bounce, a draw)
    SIDE_LEFT = 0,
    SIDE_RIGHT = 1,
};

struct GEvent {
    enum Kind : uint8_t {
        SHOT_FIRED = 0,     // side: the ship that fired
        SHIP_HIT = 1,       // side: the ship struck
        SHIPS_BOUNCED = 2,  // side: SIDE_NONE
        LOW_HEALTH = 3,     // side: the ship whose health fell to a fifth or below; once per ship and match
        MATCH_WON = 4,      // side: the winner
        MATCH_DRAWN = 5,    // side: SIDE_NONE; both ships' health ran out in the same step
    };

    Kind kind;
    GSide side;
    // World x where it happened: the firing ship, the ship struck, the
    // mover of a bounce, the winner (0 for a draw). The field runs from
    // -GShip::FIELD_HALF_WIDTH (left edge of the screen) to +FIELD_HALF_WIDTH.
    float x;
    // The match millisecond of the step it happened in, counted from 1.
    uint32_t ms;
    // Where a player sees it happen, for the pictures drawn over the match:
    // the shot where it struck (SHIP_HIT), the middle of the two ships
    // (SHIPS_BOUNCED), else the ship of `x` (the origin for a draw).
    Vec3 at = Vec3();
};

// The events of one update, oldest first. Bounded: a long update (a slow
// frame caught up step by step) keeps its first MAX_EVENTS events and counts
// the rest in `dropped`; nothing listens closely enough to miss them.
struct GEventList {
    static constexpr int32_t MAX_EVENTS = 64;

    void clear() {
        count = 0;
        dropped = 0;
    }
    void push(const GEvent& event) {
        if (count < MAX_EVENTS) {
            items[count++] = event;
        } else {
            dropped++;
        }
    }

    GEvent items[MAX_EVENTS] = {};
    int32_t count = 0;
    int32_t dropped = 0;
};
