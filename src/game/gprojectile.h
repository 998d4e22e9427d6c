// gprojectile.h: a shot.
//
// Flies along x under the direction flag its ship set at firing (it has no
// controller), ticks every PERIOD_MS, damages the first ship it touches that
// is not its owner, and dies on that hit or past the edge of the field.
#pragma once

#include <cstdint>

#include "game/gmovable.h"

class GShip;

class GProjectile : public GMovable {
public:
    static constexpr int32_t PERIOD_MS = 15;
    static constexpr int32_t HIT_DAMAGE = 5;
    // Killed once |x|, truncated to a whole number, exceeds this: 30.9
    // survives, 31.0 does not.
    static constexpr int32_t FIELD_LIMIT_X = 30;
    // Half-sizes of the collision box, world units.
    static constexpr float EXTENT_X = 1.0f;
    static constexpr float EXTENT_Y = 1.0f;
    static constexpr float EXTENT_Z = 5.0f;

    // `owner` is never struck by this shot; not owned, and it must outlive
    // the shot (ships live as long as the match).
    GProjectile(GWorld* world, GShip* owner);

    void tick() override;
    Kind kind() const override { return SHOT; }
    // Never bounces. Passes other projectiles and its owner; anything else
    // takes HIT_DAMAGE and the shot is killed. Until the end of the update
    // a killed shot is still in the world and can strike again.
    bool collide(GObject* other) override;

    GShip* owner;
};
