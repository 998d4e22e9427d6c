// gship.cpp: the ship tick, its shots and its draw.
#include "game/gship.h"

#include <cstdlib>  // Required for: rand(), for a ship made without a world
#include <new>      // Required for: std::nothrow

#include "game/gprojectile.h"
#include "game/gworld.h"

GShip::GShip(GWorld* world) : GMovable(world), cooldown(0), health(FULL_HEALTH), yaw(0.0f), wobbleStep(1.0f) {
    flags = COLLIDES;
    delay = PERIOD_MS;
    everyFrame = 0;
    setTiming(PERIOD_MS, 0, false);
    response = 0.1f;
    speed = 1.0f;
    extent = Vec3(EXTENT_X, EXTENT_Y, EXTENT_Z);
    // A whole number of degrees from -30 to 29, so that the wobble, one
    // degree per tick, stays on whole numbers.
    const int32_t draw = world != nullptr ? world->random.next() : rand();
    rotation.x = static_cast<float>(draw % 60 - 30);
}

void GShip::tick() {
    // Nobody steers a ship of no match: its flags stay as they are.
    if (world != nullptr && world->steering != nullptr) world->steering->steer(*this);
    GMovable::tick();

    // The second test sees the result of the first. The target is always 0
    // or 180 and yaw starts at 0, so yaw stays on multiples of the step and
    // stops exactly on its target.
    if (yaw < rotation.y) yaw += TURN_STEP;
    if (yaw > rotation.y) yaw -= TURN_STEP;

    if (rotation.x > WOBBLE_LIMIT) wobbleStep = -1.0f;
    if (rotation.x < -WOBBLE_LIMIT) wobbleStep = 1.0f;
    rotation.x += wobbleStep;

    // After the collision pass, so that a bounce cannot push a ship out.
    if (position.x < -FIELD_HALF_WIDTH) position.x = -FIELD_HALF_WIDTH;
    if (position.x > FIELD_HALF_WIDTH) position.x = FIELD_HALF_WIDTH;
    if (position.y < -FIELD_HALF_HEIGHT) position.y = -FIELD_HALF_HEIGHT;
    if (position.y > FIELD_HALF_HEIGHT) position.y = FIELD_HALF_HEIGHT;

    if (fire && cooldown == 0 && health > 0) fireShot();
    if (cooldown != 0) cooldown--;
}

void GShip::fireShot() {
    GProjectile* shot = new (std::nothrow) GProjectile(world, this);
    if (shot == nullptr) {
        cooldown = FIRE_INTERVAL_TICKS;  // no memory: this shot is lost
        return;
    }
    // Facing 0 degrees is the ship on the right, which shoots towards -x.
    if (rotation.y == 0.0f) {
        shot->left = true;
    } else {
        shot->right = true;
    }
    shot->position = position;
    shot->previousPosition = position;
    shot->velocity = velocity;
    shot->rotation = rotation;
    // A full table (or no world) refuses the shot: it would never be ticked,
    // drawn or deleted by anyone, so it goes now. The ship has used its shot
    // all the same.
    if (world == nullptr || !world->addObject(shot)) {
        delete shot;
    } else {
        world->report(GEvent::SHOT_FIRED, world->sideOf(this), position.x, position);
    }
    cooldown = FIRE_INTERVAL_TICKS;
}

bool GShip::collide(GObject* other) {
    (void)other;
    return true;
}

void GShip::damage(int32_t amount) { health -= amount; }
