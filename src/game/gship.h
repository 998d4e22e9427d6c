// gship.h: a player ship.
//
// Ticks every PERIOD_MS. Each tick: the flags from whoever steers it (the
// world's steering, when there is one), the movement step, the turn towards
// rotation.y (set by GWorld::faceShips to face the opponent), the wobble
// about x, the clamp to the playfield, and a shot when `fire` is held, the
// cooldown is over and the ship still has health.
#pragma once

#include <cstdint>

#include "game/gmovable.h"

class GShip : public GMovable {
public:
    static constexpr int32_t PERIOD_MS = 25;
    static constexpr int32_t FULL_HEALTH = 100;
    // Ticks from one shot to the next while fire is held: 250 ms.
    static constexpr int32_t FIRE_INTERVAL_TICKS = 10;
    // Degrees the drawn yaw moves per tick: a half turn takes 18 ticks.
    static constexpr float TURN_STEP = 10.0f;
    // The wobble reverses once rotation.x passes these, so it swings between
    // -(WOBBLE_LIMIT + 1) and WOBBLE_LIMIT + 1 degrees, one degree per tick.
    static constexpr float WOBBLE_LIMIT = 30.0f;
    // The playfield, in world units from the centre; the velocity is not
    // touched by the clamp, so a ship pressed against an edge stays there.
    static constexpr float FIELD_HALF_WIDTH = 26.0f;
    static constexpr float FIELD_HALF_HEIGHT = 19.0f;
    // Half-sizes of the collision box (extent), world units: the box is
    // 5.6 long and 1.8 high as the camera sees it. Model makers, the baker
    // and vk-modelinfo --check measure ships against it.
    static constexpr float EXTENT_X = 2.8f;
    static constexpr float EXTENT_Y = 0.9f;
    static constexpr float EXTENT_Z = 10.0f;

    // Draws the starting tilt from the world's random source (rand() without
    // a world): one draw, so the order in which ships are made decides which
    // numbers each gets.
    explicit GShip(GWorld* world);

    void tick() override;
    GShip* asShip() override { return this; }
    Kind kind() const override { return SHIP; }
    // Ships bounce off whatever agrees to bounce.
    bool collide(GObject* other) override;
    // No lower bound: several hits in one update can go below 0.
    void damage(int32_t amount) override;

    int32_t cooldown;         // ticks until the next shot may go
    int32_t health;           // the match ends when it is 0 or less
    float yaw;                // drawn rotation about y, degrees; eases to rotation.y
    float wobbleStep;         // +1 or -1 degree per tick about x

private:
    void fireShot();
};
