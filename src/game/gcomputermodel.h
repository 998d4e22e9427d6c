// gcomputermodel.h: the skilled computer players' model of the match's
// rules (the pilot's, the ace's and the master's): how ships and shots
// coast, where a shot strikes, and how they hold their distance in x.
//
// A model and not the objects' own code, because the players step it
// hundreds of times a tick from what they saw, without a world; it must
// stay what GMovable, GShip, GProjectile and the collision pass do.
#pragma once

#include <cstdint>

#include "game/gprojectile.h"
#include "game/gship.h"

class GWorld;

namespace vkm {

// Movables blend their velocity towards the thrust by this share per tick
// of their own (ships and shots alike: GShip's and GProjectile's response).
constexpr float RESPONSE = 0.1f;
constexpr float KEEP = 1.0f - RESPONSE;

// A shot strikes a ship closer than this in x and in y: the collision
// pass truncates the sum of the half extents, and the gap too, so strictly
// closer than the whole number (2.8 + 1.0 -> 3, 0.9 + 1.0 -> 1).
constexpr float STRIKE_X = static_cast<float>(static_cast<int32_t>(GShip::EXTENT_X + GProjectile::EXTENT_X));
constexpr float STRIKE_Y = static_cast<float>(static_cast<int32_t>(GShip::EXTENT_Y + GProjectile::EXTENT_Y));
// A shot is gone once its x truncates past this (GProjectile::tick).
constexpr float SHOT_FIELD_LIMIT = static_cast<float>(GProjectile::FIELD_LIMIT_X + 1);

inline float clampTo(float value, float limit) { return value < -limit ? -limit : (value > limit ? limit : value); }
inline float absOf(float value) { return value < 0.0f ? -value : value; }

// The distance a movable still travels when its thrust is 0 for `ticks`
// ticks (cut to 0..MAX_COAST), per unit of velocity: KEEP + KEEP^2 + ... +
// KEEP^ticks, summed in that order once for all, so that every player gets
// the same bits.
constexpr int32_t MAX_COAST = 160;
float coast(int32_t ticks);

// Thrust in x (+1 right, -1 left, 0 none) that brings a ship at `x` moving
// at `vx` to rest `distance` from an opponent at `opponentX`, on the side
// it is on, and no closer than 3 to a side wall.
int32_t holdDistance(float x, float vx, float opponentX, float distance);

// Where something was and how fast it went, world units and units per
// tick of its own.
struct Seen {
    float x, y, vx, vy;
};

// What a player flying `own` sees of `world`: its own ship, the opponent's
// (with nobody to play against, a target straight across, standing still),
// and the first `room` of the other side's shots in the world's order, into
// `shots`. Returns how many shots. The colour on the screen tells whose
// shot it is, so a player may know that much.
int32_t look(const GWorld& world, const GShip& own, Seen& ownSeen, Seen& opponent, Seen* shots, int32_t room);

// One tick's look, as a player keeps it: room for the first ROOM shots.
// Each player's observation adds what it notes besides.
template <int32_t ROOM>
struct Sight {
    Seen own;
    Seen opponent;
    int32_t shotCount;  // incoming shots only
    Seen shots[ROOM];

    void take(const GWorld& world, const GShip& ship) {
        shotCount = look(world, ship, own, opponent, shots, ROOM);
    }
};

}  // namespace vkm
