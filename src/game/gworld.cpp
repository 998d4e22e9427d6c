// gworld.cpp: the table of world objects, the step and the end of a match.
#include "game/gworld.h"

#include <cstring>  // Required for: memcpy, to hash floats by their bits
#include <initializer_list>
#include <new>      // Required for: std::nothrow

#include "game/gbackground.h"
#include "game/gship.h"

namespace {

// Where each ship starts: the right one low on the right, the left one high
// on the left, both in the plane of the shots.
const Vec3 RIGHT_START(20.0f, -18.0f, -50.0f);
const Vec3 LEFT_START(-20.0f, 18.0f, -50.0f);

class Fnv1a {
public:
    void bytes(const void* data, size_t size) {
        const unsigned char* p = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < size; i++) {
            value ^= p[i];
            value *= 0x100000001b3ull;
        }
    }
    template <class T>
    void add(T v) {
        unsigned char raw[sizeof v];
        memcpy(raw, &v, sizeof v);
        bytes(raw, sizeof raw);
    }
    void add(const Vec3& v) {
        add(v.x);
        add(v.y);
        add(v.z);
    }
    uint64_t value = 0xcbf29ce484222325ull;
};

}  // namespace

GWorld::GWorld()
    : objectCount(0),
      pendingCount(0),
      seed(0),
      elapsedMs(0),
      over(false),
      endMs(0),
      lowReported{false, false},
      steering(nullptr) {
    for (int32_t i = 0; i < MAX_OBJECTS; i++) {
        objects[i] = nullptr;
        pending[i] = nullptr;
    }
}

GWorld::~GWorld() { clear(); }

void GWorld::clear() {
    // Anything still queued is in the table too and goes with it.
    pendingCount = 0;
    // Each removal moves the last entry into entry 0. The objects go before
    // the wheel: their removal unschedules them.
    while (objectCount > 0) objects[0]->remove();
}

bool GWorld::setUpMatch(uint32_t matchSeed) {
    seed = matchSeed;
    random.reseed(matchSeed);
    bool ships = true;
    // The right ship first: each ship draws its tilt when made.
    for (const Vec3& start : {RIGHT_START, LEFT_START}) {
        GShip* ship = new (std::nothrow) GShip(this);
        if (ship == nullptr) {
            ships = false;
            continue;
        }
        ship->position = start;
        if (!addObject(ship)) {
            delete ship;
            ships = false;
        }
    }
    GBackground* backdrop = new (std::nothrow) GBackground(this);
    if (!addObject(backdrop)) delete backdrop;
    pendingCount = 0;
    return ships;
}

void GWorld::step() {
    if (over) return;
    elapsedMs++;
    wheel.advance(1);
    faceShips();
    testEnd();
    flushDeletions();
}

int32_t GWorld::advance(int32_t ms) {
    int32_t steps = 0;
    while (steps < ms && !over) {
        step();
        steps++;
    }
    return steps;
}

void GWorld::faceShips() {
    GShip* right = rightShip();
    GShip* left = leftShip();
    if (right == nullptr || left == nullptr) return;  // no match set up
    if (right->position.x > left->position.x) {
        right->rotation.y = 0.0f;
        left->rotation.y = 180.0f;
    } else {
        left->rotation.y = 0.0f;
        right->rotation.y = 180.0f;
    }
}

bool GWorld::testEnd() {
    GShip* right = rightShip();
    GShip* left = leftShip();
    if (right == nullptr || left == nullptr) return false;
    const GShip* ships[2] = {left, right};  // by GSide
    for (int32_t side = SIDE_LEFT; side <= SIDE_RIGHT; side++) {
        if (lowReported[side] || ships[side]->health > LOW_HEALTH) continue;
        lowReported[side] = true;
        report(GEvent::LOW_HEALTH, static_cast<GSide>(side), ships[side]->position.x, ships[side]->position);
    }
    if (right->health > 0 && left->health > 0) return false;
    if (!over) {
        over = true;
        endMs = elapsedMs;
        if (right->health > 0) {
            report(GEvent::MATCH_WON, SIDE_RIGHT, right->position.x, right->position);
        } else if (left->health > 0) {
            report(GEvent::MATCH_WON, SIDE_LEFT, left->position.x, left->position);
        } else {
            report(GEvent::MATCH_DRAWN, SIDE_NONE, 0.0f, Vec3());
        }
    }
    return true;
}

bool GWorld::addObject(GObject* object) {
    if (objectCount >= MAX_OBJECTS || object == nullptr) return false;
    // An object leaves through its own world (remove, kill): one made for
    // another world, or for none, would leave this table pointing at it
    // once it is gone.
    if (object->world != this) return false;
    // Refused by the wheel (a negative delay, an object already scheduled,
    // no memory for a node): an object in the table that never ticks would
    // only be drawn frozen, so it stays out altogether.
    if (!wheel.insert(object)) return false;
    objects[objectCount] = object;
    objectCount++;
    object->active = 1;
    return true;
}

void GWorld::removeObject(GObject* object) {
    wheel.remove(object);
    for (int32_t i = 0; i < objectCount; i++) {
        if (objects[i] == object) {
            const int32_t last = objectCount - 1;
            objects[i] = objects[last];
            objects[last] = nullptr;
            objectCount = last;
            return;
        }
    }
}

void GWorld::queueDeletion(GObject* object) {
    if (object == nullptr) return;
    for (int32_t i = 0; i < pendingCount; i++) {
        if (pending[i] == object) return;  // deleting it twice would be fatal
    }
    // Every pending object is in the table too, so the list cannot fill up
    // through kill(); the test only guards direct callers.
    if (pendingCount >= MAX_OBJECTS) return;
    pending[pendingCount] = object;
    pendingCount++;
}

void GWorld::flushDeletions() {
    for (int32_t i = 0; i < pendingCount; i++) {
        if (pending[i] != nullptr) {
            pending[i]->remove();
            pending[i] = nullptr;
        }
    }
    pendingCount = 0;
}

GShip* GWorld::rightShip() const { return objectCount > 0 ? objects[0]->asShip() : nullptr; }

GShip* GWorld::leftShip() const { return objectCount > 1 ? objects[1]->asShip() : nullptr; }

GShip* GWorld::shipOf(GSide side) const {
    if (side == SIDE_LEFT) return leftShip();
    if (side == SIDE_RIGHT) return rightShip();
    return nullptr;
}

GSide GWorld::sideOf(const GObject* object) const {
    if (object == nullptr) return SIDE_NONE;
    if (object == leftShip()) return SIDE_LEFT;
    if (object == rightShip()) return SIDE_RIGHT;
    return SIDE_NONE;
}

void GWorld::report(GEvent::Kind kind, GSide side, float x, const Vec3& at) {
    events.push(GEvent{kind, side, x, elapsedMs, at});
}

uint64_t GWorld::stateHash() const {
    Fnv1a h;
    h.add(elapsedMs);
    h.add(over);
    // Not the random source: a replay hands the computer player's decisions
    // back as flags and never draws, so its source stands where set-up left
    // it.
    h.add(wheel.current);
    h.add(objectCount);
    for (int32_t i = 0; i < objectCount; i++) {
        const GObject* object = objects[i];
        h.add(object->flags);
        h.add(object->dying);
        const GMovable* movable = object->asMovable();
        if (movable == nullptr) continue;
        const bool flags[] = {movable->up, movable->down, movable->left, movable->right, movable->fire};
        for (bool flag : flags) h.add(flag);
        h.add(movable->position);
        h.add(movable->velocity);
        h.add(movable->thrust);
        h.add(movable->rotation);
        h.add(movable->previousPosition);
        if (const GShip* ship = object->asShip()) {
            h.add(ship->health);
            h.add(ship->cooldown);
            h.add(ship->yaw);
            h.add(ship->wobbleStep);
        }
    }
    return h.value;
}
