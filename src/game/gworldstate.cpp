// gworldstate.cpp: a world copied into a value and put back (GWorld::save,
// GWorld::restore).
//
// Each object's fields are listed once, in a function that takes both the
// object and its record and a copy that runs one way or the other, so that a
// field can only be left out of saving and restoring alike; the rollback
// check (vk-replay --rollback) then shows it as a match that plays out
// differently.
//
// The wheel. Within a bucket the wheel ticks the most recently linked object
// first, so the order of each list is part of the match, not only the
// bucket: each object's place in its list is saved, and restoring links the
// lists again from the last place to the first, each at the head of its
// list. A restore allocates only for objects that were not in the table (a
// shot fired after the save): everything else is written over in place, and
// its wheel node is reused.
//
// Cost (bench/bench_world.cpp, BM_SaveRestore): see bench/README.md.
#include <new>  // Required for: std::nothrow

#include "game/gbackground.h"
#include "game/gprojectile.h"
#include "game/gship.h"
#include "game/gworld.h"

namespace {

// `Saved` is const when restoring, `copy` runs from the object into the
// record or back.
template <class Saved, class Copy>
void eachField(HTimedObject& o, Saved& s, Copy copy) {
    copy(o.delay, s.delay);
    copy(o.everyFrame, s.everyFrame);
    copy(o.active, s.active);
    copy(o.period, s.period);
    copy(o.tickCount, s.tickCount);
    copy(o.timeSpan, s.timeSpan);
    copy(o.fixedPoint, s.fixedPoint);
    copy(o.fractional, s.fractional);
    copy(o.longPeriod, s.longPeriod);
    copy(o.accumulator, s.accumulator);
    copy(o.accumulatorStep, s.accumulatorStep);
    copy(o.slot, s.slot);
}

template <class Saved, class Copy>
void eachField(GObject& o, Saved& s, Copy copy) {
    eachField(static_cast<HTimedObject&>(o), s, copy);
    copy(o.dying, s.dying);
    copy(o.flags, s.flags);
    GMovable* m = o.asMovable();
    if (m == nullptr) return;
    copy(m->up, s.up);
    copy(m->down, s.down);
    copy(m->left, s.left);
    copy(m->right, s.right);
    copy(m->fire, s.fire);
    copy(m->position, s.position);
    copy(m->velocity, s.velocity);
    copy(m->thrust, s.thrust);
    copy(m->rotation, s.rotation);
    copy(m->response, s.response);
    copy(m->speed, s.speed);
    copy(m->extent, s.extent);
    copy(m->mass, s.mass);
    copy(m->previousPosition, s.previousPosition);
    GShip* ship = o.asShip();
    if (ship == nullptr) return;
    copy(ship->cooldown, s.cooldown);
    copy(ship->health, s.health);
    copy(ship->yaw, s.yaw);
    copy(ship->wobbleStep, s.wobbleStep);
}

template <class Saved, class Copy>
void eachField(GWorld& w, Saved& s, Copy copy) {
    copy(w.wheel.current, s.wheelCurrent);
    copy(w.seed, s.seed);
    copy(w.random, s.random);
    copy(w.elapsedMs, s.elapsedMs);
    copy(w.over, s.over);
    copy(w.endMs, s.endMs);
    copy(w.lowReported[0], s.lowReported[0]);
    copy(w.lowReported[1], s.lowReported[1]);
}

const auto SAVE = [](const auto& live, auto& kept) { kept = live; };
const auto RESTORE = [](auto& live, const auto& kept) { live = kept; };

GObject* make(GWorld* world, GObject::Kind kind) {
    switch (kind) {
    case GObject::SHIP: return new (std::nothrow) GShip(world);
    case GObject::SHOT: return new (std::nothrow) GProjectile(world, nullptr);
    case GObject::BACKGROUND: return new (std::nothrow) GBackground(world);
    case GObject::OTHER: break;
    }
    return nullptr;
}

}  // namespace

bool GWorld::save(GWorldState& state) const {
    if (pendingCount != 0 || wheel.advancing) return false;
    GWorld& world = const_cast<GWorld&>(*this);  // read only: SAVE copies out
    eachField(world, state, SAVE);
    state.objectCount = objectCount;
    for (int32_t i = 0; i < objectCount; i++) {
        GObject* object = objects[i];
        GWorldState::Object& saved = state.objects[i];
        saved.kind = object->kind();
        if (saved.kind == GObject::OTHER || object->node == nullptr) return false;
        eachField(*object, saved, SAVE);
        saved.owner = -1;
        if (saved.kind == GObject::SHOT) {
            const GShip* owner = static_cast<const GProjectile*>(object)->owner;
            for (int8_t j = 0; j < 2 && j < objectCount; j++) {
                if (objects[j] == owner) saved.owner = j;
            }
        }
        uint8_t order = 0;
        for (const HTimerNode* n = object->node; n->previous->object != nullptr; n = n->previous) order++;
        saved.order = order;
    }
    return true;
}

bool GWorld::restore(const GWorldState& state) {
    if (wheel.advancing) return false;
    flushDeletions();
    // Objects that cannot be written over go; missing ones are made.
    const int32_t most = objectCount > state.objectCount ? objectCount : state.objectCount;
    for (int32_t i = 0; i < most; i++) {
        GObject*& object = objects[i];
        const bool wanted = i < state.objectCount;
        if (object != nullptr && (!wanted || object->kind() != state.objects[i].kind)) {
            wheel.remove(object);
            delete object;
            object = nullptr;
        }
        if (wanted && object == nullptr) {
            object = make(this, state.objects[i].kind);
            if (object == nullptr || !wheel.insert(object)) {
                delete object;
                object = nullptr;
                objectCount = i;
                return false;
            }
        }
    }
    objectCount = state.objectCount;

    eachField(*this, state, RESTORE);
    int32_t lastOrder = 0;
    for (int32_t i = 0; i < objectCount; i++) {
        GObject* object = objects[i];
        const GWorldState::Object& saved = state.objects[i];
        eachField(*object, saved, RESTORE);
        if (saved.kind == GObject::SHOT) {
            static_cast<GProjectile*>(object)->owner = saved.owner >= 0 ? objects[saved.owner]->asShip() : nullptr;
        }
        object->node->unlink();
        if (saved.order > lastOrder) lastOrder = saved.order;
    }
    // Each list again, from its last place to its first.
    for (int32_t order = lastOrder; order >= 0; order--) {
        for (int32_t i = 0; i < objectCount; i++) {
            const GWorldState::Object& saved = state.objects[i];
            if (saved.order != order) continue;
            HTimerNode* list = saved.everyFrame != 0 ? &wheel.everyFrameList : &wheel.buckets[saved.slot];
            objects[i]->node->linkAfter(list);
        }
    }
    return true;
}
