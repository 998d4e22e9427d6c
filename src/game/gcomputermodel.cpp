// gcomputermodel.cpp: the coast table and the rule for distance in x.
#include "game/gcomputermodel.h"

#include "game/gworld.h"

namespace vkm {

float coast(int32_t ticks) {
    struct Table {
        float sums[MAX_COAST + 1];
        Table() {
            float sum = 0.0f;
            float factor = 1.0f;
            sums[0] = 0.0f;
            for (int32_t i = 1; i <= MAX_COAST; i++) {
                factor *= KEEP;
                sum += factor;
                sums[i] = sum;
            }
        }
    };
    static const Table table;
    return table.sums[ticks < 0 ? 0 : (ticks > MAX_COAST ? MAX_COAST : ticks)];
}

int32_t holdDistance(float x, float vx, float opponentX, float distance) {
    const float side = x >= opponentX ? 1.0f : -1.0f;
    const float wantX = clampTo(opponentX + side * distance, GShip::FIELD_HALF_WIDTH - 3.0f);
    // Where it comes to rest: 60 ticks is as good as for ever (0.9^60 < 0.2 %).
    const float stopX = x + vx * coast(60);
    return stopX < wantX - 0.5f ? 1 : (stopX > wantX + 0.5f ? -1 : 0);
}

int32_t look(const GWorld& world, const GShip& own, Seen& ownSeen, Seen& opponent, Seen* shots, int32_t room) {
    const GShip* right = world.rightShip();
    const GShip* other = right != &own ? right : world.leftShip();
    ownSeen = Seen{own.position.x, own.position.y, own.velocity.x, own.velocity.y};
    if (other == nullptr || other == &own) {
        opponent = Seen{-ownSeen.x, ownSeen.y, 0.0f, 0.0f};
        return 0;
    }
    opponent = Seen{other->position.x, other->position.y, other->velocity.x, other->velocity.y};
    int32_t count = 0;
    for (int32_t i = 0; i < world.objectCount && count < room; i++) {
        const GObject* object = world.objects[i];
        if (object == nullptr || !(object->flags & GObject::PROJECTILE)) continue;
        const GProjectile* shot = static_cast<const GProjectile*>(object);
        if (shot->owner == &own) continue;
        shots[count++] = Seen{shot->position.x, shot->position.y, shot->velocity.x, shot->velocity.y};
    }
    return count;
}

}  // namespace vkm
