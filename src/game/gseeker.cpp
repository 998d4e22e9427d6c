// gseeker.cpp: the saved seconds, packed and unpacked, and the seeks.
#include "game/gseeker.h"

#include <cstring>  // Required for: memcpy
#include <new>      // Required for: std::nothrow

namespace {

typedef GWorldState::Object Saved;

// The world's and the match's own fields, copied as bytes; only the objects
// array and the controllers' fixed capacity are left out. Fields added to
// either struct later are kept by these as long as the arrays stay where
// they are.
static_assert(offsetof(GWorldState, objects) == 0, "the world's objects come first");
constexpr size_t WORLD_TAIL_AT = offsetof(GWorldState, objectCount);
static_assert(WORLD_TAIL_AT == sizeof(GWorldState::objects), "the world's fields follow its objects");
constexpr size_t WORLD_TAIL = sizeof(GWorldState) - WORLD_TAIL_AT;
static_assert(offsetof(GMatchState, world) == 0, "the match's world comes first");
constexpr size_t MIDDLE_AT = sizeof(GWorldState);
constexpr size_t MIDDLE = offsetof(GMatchState, controllers) - MIDDLE_AT;
static_assert(offsetof(GMatchState, controllers) + sizeof(GMatchState::controllers) == sizeof(GMatchState),
              "the controllers come last");

// An object's record as far as its kind has fields: the ship's own come
// last and a shot has none of them; the backdrop is no movable.
static_assert(offsetof(Saved, up) > offsetof(Saved, slot) && offsetof(Saved, up) > offsetof(Saved, flags),
              "the movable's fields follow the timed object's");
static_assert(offsetof(Saved, cooldown) > offsetof(Saved, previousPosition) &&
                  offsetof(Saved, cooldown) > offsetof(Saved, mass),
              "the ship's fields come last");

size_t recordBytes(GObject::Kind kind) {
    switch (kind) {
    case GObject::SHOT: return offsetof(Saved, cooldown);
    case GObject::BACKGROUND: return offsetof(Saved, up);
    case GObject::SHIP:
    case GObject::OTHER: break;
    }
    return sizeof(Saved);
}

size_t packedBytes(const GMatchState& s) {
    size_t n = WORLD_TAIL + MIDDLE + 2 * sizeof(uint32_t);
    for (int32_t i = 0; i < s.world.objectCount; i++) n += recordBytes(s.world.objects[i].kind);
    for (const GControllerState& c : s.controllers) n += c.size;
    return n;
}

void put(unsigned char*& at, const void* from, size_t n) {
    memcpy(at, from, n);
    at += n;
}

void take(const unsigned char*& at, void* to, size_t n) {
    memcpy(to, at, n);
    at += n;
}

void pack(const GMatchState& s, unsigned char* at) {
    const unsigned char* whole = reinterpret_cast<const unsigned char*>(&s);
    put(at, whole + WORLD_TAIL_AT, WORLD_TAIL);
    put(at, whole + MIDDLE_AT, MIDDLE);
    for (int32_t i = 0; i < s.world.objectCount; i++) put(at, &s.world.objects[i], recordBytes(s.world.objects[i].kind));
    for (const GControllerState& c : s.controllers) {
        put(at, &c.size, sizeof c.size);
        put(at, c.bytes, c.size);
    }
}

// Into `s`, whose other objects' records and controllers' spare bytes keep
// whatever they held: nobody reads them.
void unpack(const unsigned char* at, GMatchState& s) {
    unsigned char* whole = reinterpret_cast<unsigned char*>(&s);
    take(at, whole + WORLD_TAIL_AT, WORLD_TAIL);
    take(at, whole + MIDDLE_AT, MIDDLE);
    for (int32_t i = 0; i < s.world.objectCount; i++) {
        GObject::Kind kind;
        memcpy(&kind, at + offsetof(Saved, kind), sizeof kind);
        take(at, &s.world.objects[i], recordBytes(kind));
    }
    for (GControllerState& c : s.controllers) {
        take(at, &c.size, sizeof c.size);
        take(at, c.bytes, c.size);
    }
}

}  // namespace

GSeeker::GSeeker(GMatch* match, uint32_t lastMs, size_t memoryLimit)
    : match(match), last(lastMs), memoryLimit(memoryLimit), scratch(new (std::nothrow) GMatchState) {
    offsets.reserve(lastMs / SAVE_EVERY_MS + 1);
    saveSecond();
}

GSeeker::~GSeeker() {}

size_t GSeeker::memoryBytes() const { return blocks.size() * BLOCK_BYTES + offsets.capacity() * sizeof(uint32_t); }

void GSeeker::saveSecond() {
    const uint32_t at = match->world.elapsedMs;
    if (full || at != savedCount() * SAVE_EVERY_MS) return;
    if (!scratch || !match->save(*scratch)) {
        broken = true;
        return;
    }
    const size_t bytes = packedBytes(*scratch);
    if (blocks.empty() || blockUsed + bytes > BLOCK_BYTES) {
        // Each state lies whole in one block: at most a state's worth is
        // left unused at the end of each.
        if ((blocks.size() + 1) * BLOCK_BYTES + offsets.capacity() * sizeof(uint32_t) > memoryLimit) {
            full = true;
            return;
        }
        unsigned char* block = new (std::nothrow) unsigned char[BLOCK_BYTES];
        if (block == nullptr) {
            full = true;
            return;
        }
        blocks.emplace_back(block);
        blockUsed = 0;
    }
    offsets.push_back(static_cast<uint32_t>((blocks.size() - 1) * BLOCK_BYTES + blockUsed));
    pack(*scratch, blocks.back().get() + blockUsed);
    blockUsed += bytes;
}

bool GSeeker::restoreSecond(uint32_t second) {
    const uint32_t offset = offsets[second];
    unpack(blocks[offset / BLOCK_BYTES].get() + offset % BLOCK_BYTES, *scratch);
    if (match->restore(*scratch)) return true;
    broken = true;
    return false;
}

bool GSeeker::mayStep(GMatch& m) { return m.world.elapsedMs < last; }

bool GSeeker::stepped(GMatch& m) {
    if (m.world.elapsedMs % SAVE_EVERY_MS == 0) saveSecond();
    return true;
}

int32_t GSeeker::advance(int32_t ms) { return match->advance(ms, this); }

bool GSeeker::seek(uint32_t targetMs, GEventListener* heard) {
    if (offsets.empty()) return false;
    const uint32_t target = targetMs < last ? targetMs : last;
    const uint32_t now = match->world.elapsedMs;
    uint32_t second = target / SAVE_EVERY_MS;
    if (second >= savedCount()) second = savedCount() - 1;
    steps = 0;
    if ((now > target || now < second * SAVE_EVERY_MS) && !restoreSecond(second)) return false;
    // A second at a time, so that no list of events overflows on the way.
    while (match->world.elapsedMs < target && !match->ended()) {
        const uint32_t at = match->world.elapsedMs;
        const uint32_t toSecond = SAVE_EVERY_MS - at % SAVE_EVERY_MS;
        const uint32_t chunk = target - at < toSecond ? target - at : toSecond;
        // No gate: the chunk ends at the target or at the next second, and
        // asking one at every step cost two hours' seek 426 ms of CPU
        // against 393 (bench_seek).
        const int32_t taken = match->advance(static_cast<int32_t>(chunk));
        if (taken == 0) break;
        steps += static_cast<uint32_t>(taken);
        stepped(*match);
        if (heard != nullptr) heard->hear(match->world.events, match->world);
    }
    return !broken;
}
