// gcollisions.cpp: the collision pass, GWorld::checkCollisions.
//
// Input: an object that has just moved (its previousPosition saved). Output:
// the collide() calls on every object it touches, and a bounce for each pair
// that both agree to.
//
// The test is an axis-aligned box overlap on whole numbers: per axis, the
// distance between the centres and the sum of the half-sizes are each
// truncated towards zero, and the axis overlaps when the first is strictly
// below the second. The truncation makes the boxes coarser than they are:
// two ships (half-sizes 2.8 + 2.8 = 5.6 in x, 0.9 + 0.9 = 1.8 in y) touch
// only when |dx| < 5.0 and |dy| < 1.0; a ship and a shot when |dx| < 3.0 and
// |dy| < 1.0. A pair whose half-sizes add up to less than 1 along an axis
// never touches.
//
// There is no broad phase: each movement step tests its mover against the
// whole table (at most MAX_OBJECTS entries), so each pair of ships is tested
// twice per ship period, once from each side. The pass never adds or removes
// table entries (collide() may only kill, which queues), so the loop can
// walk the table directly.
#include <cstdint>

#include "game/gworld.h"
#include "game/gmovable.h"
#include "game/gtruncate.h"

namespace {

bool axisOverlaps(float moverCentre, float otherCentre, float moverHalf, float otherHalf) {
    const int64_t reach = truncateToInt32(otherHalf + moverHalf);
    const int64_t gap = truncateToInt32(moverCentre - otherCentre);
    return (gap < 0 ? -gap : gap) < (reach < 0 ? -reach : reach);
}

bool boxesOverlap(const Vec3& moverAt, const GMovable* mover, const GMovable* other) {
    return axisOverlaps(moverAt.x, other->position.x, mover->extent.x, other->extent.x) &&
           axisOverlaps(moverAt.y, other->position.y, mover->extent.y, other->extent.y) &&
           axisOverlaps(moverAt.z, other->position.z, mover->extent.z, other->extent.z);
}

// Each side takes over the other's momentum: v1' = v2 * m2 / m1. The product
// comes first and the division after, in double, stored back as float; with
// equal masses the velocities are simply swapped.
float takeMomentum(float otherVelocity, double otherMass, double ownMass) {
    return static_cast<float>(static_cast<double>(otherVelocity) * otherMass / ownMass);
}

}  // namespace

bool GWorld::touching(const GMovable* a, const GMovable* b) {
    return a != nullptr && b != nullptr && boxesOverlap(a->position, a, b);
}

void GWorld::checkCollisions(GMovable* mover) {
    if (mover == nullptr) return;
    for (int32_t i = 0; i < objectCount; i++) {
        GObject* object = objects[i];
        if (object == nullptr || object == mover || !(object->flags & GObject::COLLIDES)) continue;
        // Only movable objects have a box; anything else is never struck.
        GMovable* other = object->asMovable();
        if (other == nullptr) continue;
        if (!touching(mover, other)) continue;

        // Both must agree; the mover is asked first and a refusal spares the
        // other the question. Either may have done its work (damage, kill)
        // whatever it answers.
        if (!mover->collide(other)) continue;
        if (!other->collide(mover)) continue;

        // A step that began inside the other already (the clamp to the field
        // runs after this test and can push one ship into the other) gets no
        // response at all. Going back would put the mover inside again, and
        // handing over its velocity would make the other's next step begin
        // inside too: the pair would move as one for as long as either was
        // steered. Left alone, each ship's own thrust parts them within a
        // few ticks.
        if (boxesOverlap(mover->previousPosition, mover, other)) continue;

        // Bounce: the mover goes back to where its step began (later entries
        // are tested from there), the other stays, velocities exchange.
        mover->position = mover->previousPosition;
        const double moverMass = mover->mass;
        const double otherMass = other->mass;
        const Vec3 moverVelocity = mover->velocity;
        const Vec3 otherVelocity = other->velocity;
        mover->velocity.x = takeMomentum(otherVelocity.x, otherMass, moverMass);
        mover->velocity.y = takeMomentum(otherVelocity.y, otherMass, moverMass);
        mover->velocity.z = takeMomentum(otherVelocity.z, otherMass, moverMass);
        other->velocity.x = takeMomentum(moverVelocity.x, moverMass, otherMass);
        other->velocity.y = takeMomentum(moverVelocity.y, moverMass, otherMass);
        other->velocity.z = takeMomentum(moverVelocity.z, moverMass, otherMass);
        const Vec3 between = divide(add(mover->position, other->position), 2.0f);
        report(GEvent::SHIPS_BOUNCED, SIDE_NONE, mover->position.x, between);
    }
}
