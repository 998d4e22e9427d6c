// gevent.h: what happened in a match, as the world reports it.
//
// The world (GWorld) writes one GEvent for each thing a player could hear or
// see happen during a step: a shot leaving, a shot striking, two ships
// bouncing, a ship falling low, the end. Whoever drives the match hands the
// list of each advance to every listener (GEventListener: the sound, the
// pictures, anything new); nothing in the world ever reads it back, so
// whatever listens cannot change the match.
#pragma once

#include <cstdint>
#include <vector>

#include "assets/vec3.h"

class GWorld;

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

    // An event may reach its listeners after its time: a network correction
    // brought it, or a spectator stepped through its tick unseen. Every
    // listener is told of it all the same; a sound or a spark this much
    // later would come too late to mean anything, and both leave it.
    static constexpr uint32_t STALE_MS = 100;
    bool staleAt(uint32_t nowMs) const { return nowMs > ms && nowMs - ms > STALE_MS; }
};

// The events of one advance of a match, oldest first. It grows with the
// advance: a spectator stepping through a minute of match at once makes a
// thousand. Bounded all the same, at MAX_EVENTS (half an hour of both ships
// firing without a pause, in one advance, which nothing in the game asks
// for); past it an event is counted in `dropped`, never lost without a
// trace.
struct GEventList {
    static constexpr int32_t MAX_EVENTS = 1 << 14;

    GEventList() { items.reserve(64); }
    void clear() {
        items.clear();
        count = 0;
        dropped = 0;
    }
    void push(const GEvent& event) {
        if (count < MAX_EVENTS) {
            items.push_back(event);
            count++;
        } else {
            dropped++;
        }
    }

    std::vector<GEvent> items;
    int32_t count = 0;  // items.size(), as a signed count
    int32_t dropped = 0;
};

// Whoever wants to hear what happens in a match.
class GEventListener {
public:
    virtual ~GEventListener() {}
    // The events of one advance, with the world as it stands after it.
    virtual void hear(const GEventList& events, const GWorld& world) = 0;
    // The match jumped to another moment (a replay was sought): what was
    // made from the moments before, and still plays, no longer belongs.
    virtual void jumped() {}
};
