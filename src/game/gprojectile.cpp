// gprojectile.cpp: the projectile tick and its collision rule.
#include "game/gprojectile.h"

#include "game/gship.h"
#include "game/gtruncate.h"
#include "game/gworld.h"

GProjectile::GProjectile(GWorld* world, GShip* owner) : GMovable(world), owner(owner) {
    flags = COLLIDES | PROJECTILE;
    delay = PERIOD_MS;
    everyFrame = 0;
    setTiming(PERIOD_MS, 0, false);
    response = 0.1f;
    speed = 1.0f;
    extent = Vec3(EXTENT_X, EXTENT_Y, EXTENT_Z);
}

void GProjectile::tick() {
    GMovable::tick();
    const int64_t x = truncateToInt32(position.x);
    if (x > FIELD_LIMIT_X || x < -FIELD_LIMIT_X) kill();
}

bool GProjectile::collide(GObject* other) {
    if (other == nullptr) return false;
    if (other->flags & PROJECTILE) return false;
    if (other == owner) return false;
    // Ships are the only other things that collide; anything else that is
    // movable takes the damage its own way (GMovable ignores it).
    if (GMovable* struck = other->asMovable()) {
        struck->damage(HIT_DAMAGE);
        if (world != nullptr) world->report(GEvent::SHIP_HIT, world->sideOf(struck), struck->position.x, position);
    }
    kill();
    return false;
}
