// gmovable.cpp: the movement step.
#include "game/gmovable.h"

#include "game/gworld.h"

GMovable::GMovable(GWorld* world)
    : GObject(world),
      up(false),
      down(false),
      left(false),
      right(false),
      fire(false),
      response(1.0f),
      speed(0.0f),
      mass(1.0f) {}

void GMovable::tick() {
    thrust = Vec3();
    previousPosition = position;
    // Later tests overwrite earlier ones: down beats up, right beats left.
    if (up) thrust.y = speed;
    if (down) thrust.y = -speed;
    if (left) thrust.x = -speed;
    if (right) thrust.x = speed;

    const float k = response;
    const float keep = 1.0f - k;
    velocity.x = keep * velocity.x + k * thrust.x;
    velocity.y = keep * velocity.y + k * thrust.y;
    velocity.z = keep * velocity.z;  // no thrust along z: it only decays

    position.x += velocity.x;
    position.y += velocity.y;
    position.z += velocity.z;

    if (world != nullptr) world->checkCollisions(this);
}

bool GMovable::collide(GObject* other) {
    (void)other;
    return false;
}

void GMovable::damage(int32_t amount) { (void)amount; }
