// htimerwheel.cpp: see htimerwheel.h for the design.
#include "sched/htimerwheel.h"

#include <cassert>
#include <new>

namespace {

// The walks below are bound by memory latency once objects and nodes outgrow
// the caches (a node, then its object, then the next node: each a likely
// miss). Asking for the next node's object while handling this one overlaps
// two of those misses; measured in bench/bench_timerwheel.cpp.
inline void prefetchAhead(const HTimerNode* node) {
    if (node != nullptr) {
        __builtin_prefetch(node->object);
        __builtin_prefetch(node->next);
    }
}

// Whether an object's period is under a millisecond, in either mode: the two
// loops below tick such an object several times in one millisecond. A tick
// that gives its object another kind of period ends that millisecond's
// ticks; the object is due again in the next millisecond, under its new
// period from there on.
inline bool shortFixedPoint(const HTimedObject* o) { return o->fractional && !o->longPeriod && o->fixedPoint; }
inline bool shortRatio(const HTimedObject* o) { return o->fractional && !o->longPeriod && !o->fixedPoint; }

// Frees every node of one list, leaving its objects unscheduled.
void freeList(HTimerNode& header) {
    HTimerNode* node = header.next;
    while (node != nullptr) {
        HTimerNode* next = node->next;
        assert(node->object != nullptr && node->object->node == node);
        node->object->node = nullptr;
        delete node;
        node = next;
    }
    header.next = nullptr;
}

} // namespace

HTimerWheel::HTimerWheel() : cursor(nullptr), cursorKept(true), advancing(false), current(FIRST_BUCKET) {}

HTimerWheel::~HTimerWheel() {
    assert(!advancing && "a wheel must not be destroyed from its own callbacks");
    for (HTimerNode& bucket : buckets) {
        freeList(bucket);
    }
    freeList(everyFrameList);
}

bool HTimerWheel::insert(HTimedObject* object) {
    // A second node for a scheduled object would leave the first one
    // dangling in its list when the object is removed or destroyed.
    if (object == nullptr || object->node != nullptr) {
        return false;
    }
    if (!object->everyFrame && object->delay < 0) {
        return false;
    }
    // Allocated before any field changes, so that a failure changes nothing.
    HTimerNode* node = new (std::nothrow) HTimerNode;
    if (node == nullptr) {
        return false;
    }

    HTimerNode* target;
    if (object->everyFrame) {
        target = &everyFrameList;
    } else if (object->delay >= PARK_DELAY) {
        // The remainder counts from the end of this revolution, after bucket
        // LAST_BUCKET; `current` may be LAST_BUCKET + 1 while that bucket runs.
        int64_t remainder = int64_t{object->delay} - REVOLUTION_MS + current;
        object->delay = remainder > INT32_MAX ? INT32_MAX : static_cast<int32_t>(remainder);
        object->slot = PARKED_BUCKET;
        target = &buckets[PARKED_BUCKET];
    } else {
        int32_t slot = current + object->delay;
        if (slot > LAST_BUCKET) {
            slot -= REVOLUTION_MS;
        }
        assert(slot >= FIRST_BUCKET && slot <= LAST_BUCKET);
        object->delay = 0;
        object->slot = slot;
        target = &buckets[slot];
    }

    node->object = object;
    node->linkAfter(target);
    object->node = node;
    return true;
}

bool HTimerWheel::remove(HTimedObject* object) {
    if (object == nullptr || object->node == nullptr) {
        return false;
    }
    HTimerNode* node = object->node;
    assert(node->object == object);
    if (advancing && node == cursor) {
        // advance sees cursorKept cleared and neither reads this node nor
        // touches the object again.
        cursorKept = false;
        cursor = node->next;
    }
    object->slot = -1;
    object->active = 0;
    node->unlink();
    delete node;
    object->node = nullptr;
    return true;
}

void HTimerWheel::advance(int32_t elapsedMs) {
    // A nested advance would move the cursor under the outer one.
    if (advancing) {
        return;
    }
    assert(cursorKept);
    assert(current >= FIRST_BUCKET && current <= LAST_BUCKET);
    advancing = true;

    runEveryFrame(elapsedMs);

    int64_t remaining = elapsedMs;
    while (remaining > 0) {
        // One pass runs up to the end of the revolution at most.
        int64_t end = current + remaining;
        int32_t last;
        if (end > LAST_BUCKET + 1) {
            last = LAST_BUCKET;
            remaining = end - (LAST_BUCKET + 1);
        } else {
            last = static_cast<int32_t>(end - 1);
            remaining = 0;
        }
        for (int32_t bucket = current; bucket <= last; ++bucket) {
            // `current` moves first: what a tick inserts counts from the
            // next bucket, never lands in this one.
            current = bucket + 1;
            if (buckets[bucket].next != nullptr) {
                processBucket(bucket);
            }
        }
        if (last == LAST_BUCKET) {
            current = FIRST_BUCKET;
            rearmParked();
        }
    }

    cursor = nullptr;
    advancing = false;
}

void HTimerWheel::runEveryFrame(int32_t elapsedMs) {
    cursor = everyFrameList.next;
    while (cursor != nullptr) {
        HTimerNode* node = cursor;
        HTimedObject* object = node->object;
        assert(object->node == node);
        if (!object->active) {
            cursor = node->next;
            continue;
        }
        object->onFrame(elapsedMs);
        if (!cursorKept) {
            // Removed during the call: remove has already stepped the cursor.
            cursorKept = true;
            continue;
        }
        cursor = node->next;
    }
}

void HTimerWheel::processBucket(int32_t bucket) {
    cursor = buckets[bucket].next;
    while (cursor != nullptr) {
        HTimerNode* node = cursor;
        HTimedObject* object = node->object;
        prefetchAhead(node->next);
        assert(object->node == node);
        assert(object->slot == bucket || object->everyFrame);

        // Inactive: the node stays here and is looked at again a revolution
        // later.
        if (!object->active) {
            cursor = node->next;
            continue;
        }
        object->tick();
        if (!cursorKept) {
            cursorKept = true;
            continue;
        }
        if (!object->active) {
            cursor = node->next;
            continue;
        }

        // A period written directly below 1 ms would re-link the node into
        // this very bucket or outside the wheel.
        int64_t delayMs = object->period < 1 ? 1 : object->period;
        if (object->fractional) {
            if (object->longPeriod) {
                if (object->fixedPoint) {
                    // 32.32: carry out of the fraction adds a millisecond.
                    uint32_t before = object->accumulator;
                    object->accumulator += object->tickCount;
                    if (object->accumulator < before) {
                        ++delayMs;
                    }
                } else {
                    object->accumulator += object->accumulatorStep;
                    uint32_t twice = 2u * object->tickCount;
                    if (object->accumulator >= twice) {
                        object->accumulator -= twice;
                        ++delayMs;
                    }
                }
            } else {
                if (!tickRestOfMillisecond(object)) {
                    continue;
                }
                delayMs = 1;
            }
        }
        reschedule(object, bucket, delayMs);
    }
}

bool HTimerWheel::tickRestOfMillisecond(HTimedObject* object) {
    HTimerNode* node = object->node;
    uint32_t ticks = 1; // the one processBucket has made
    if (object->fixedPoint) {
        // `accumulator` is where in its millisecond the latest tick fell, in
        // 2^-32 ms; the next one is tickCount later, in this millisecond as
        // long as the addition does not carry.
        for (;;) {
            uint32_t next = object->accumulator + object->tickCount;
            if (next < object->accumulator) {
                object->accumulator = next; // carried: first tick of the next ms
                break;
            }
            if (ticks >= HTimedObject::MAX_TICKS_PER_MS) {
                object->accumulator = 0; // drop the rest, start afresh
                break;
            }
            object->accumulator = next;
            object->tick();
            ++ticks;
            if (!cursorKept) {
                cursorKept = true;
                return false;
            }
            if (!object->active || !shortFixedPoint(object)) {
                break;
            }
        }
    } else {
        // Ratio b/a ticks per ms, counted in halves: each millisecond owes
        // 2b and each tick pays 2a; a negative balance is ticks still owed.
        // The balance is read from the object after every tick, never kept
        // aside: a tick may call setTiming on its own object, which starts
        // a fresh balance (and maybe a new ratio) from that tick on.
        // setTiming keeps both terms within MAX_RATIO_TERM, so every value
        // here, 3 * timeSpan after such a restart included, fits in int32.
        object->accumulator = static_cast<uint32_t>(static_cast<int32_t>(object->accumulator) +
                                                    2 * static_cast<int32_t>(object->timeSpan) -
                                                    2 * static_cast<int32_t>(object->tickCount));
        while (static_cast<int32_t>(object->accumulator) < 0) {
            if (ticks >= HTimedObject::MAX_TICKS_PER_MS) {
                object->accumulator = object->timeSpan; // as after setTiming
                break;
            }
            object->tick();
            ++ticks;
            if (!cursorKept) {
                cursorKept = true;
                return false;
            }
            if (!object->active || !shortRatio(object)) {
                break;
            }
            object->accumulator = static_cast<uint32_t>(static_cast<int32_t>(object->accumulator) +
                                                        2 * static_cast<int32_t>(object->timeSpan));
        }
    }
    if (!object->active) {
        cursor = node->next;
        return false;
    }
    return true;
}

void HTimerWheel::reschedule(HTimedObject* object, int32_t bucket, int64_t delayMs) {
    HTimerNode* node = object->node;
    assert(node == cursor);
    assert(delayMs >= 1);
    int32_t slot;
    if (delayMs < REVOLUTION_MS) {
        slot = bucket + static_cast<int32_t>(delayMs);
        if (slot > LAST_BUCKET) {
            slot -= REVOLUTION_MS;
        }
        assert(slot != bucket);
    } else {
        // Re-armed at the end of the revolution with the remainder past it:
        // bucket + delayMs - (LAST_BUCKET + 1) ms.
        int64_t remainder = bucket + delayMs - (LAST_BUCKET + 1);
        object->delay = remainder > INT32_MAX ? INT32_MAX : static_cast<int32_t>(remainder);
        slot = PARKED_BUCKET;
    }
    object->slot = slot;
    // Read the next node before this one moves.
    cursor = node->next;
    node->unlink();
    node->linkAfter(&buckets[slot]);
}

void HTimerWheel::rearmParked() {
    // No object is called here, so a local walk is enough.
    HTimerNode* node = buckets[PARKED_BUCKET].next;
    while (node != nullptr) {
        HTimerNode* next = node->next;
        HTimedObject* object = node->object;
        prefetchAhead(next);
        assert(object->node == node);
        if (object->active) {
            if (object->delay >= REVOLUTION_MS) {
                object->delay -= REVOLUTION_MS;
            } else if (object->delay >= 0) {
                // delay 0 is due in the first millisecond of the revolution.
                int32_t slot = object->delay + FIRST_BUCKET;
                assert(slot <= LAST_BUCKET);
                object->delay = 0;
                object->slot = slot;
                node->unlink();
                node->linkAfter(&buckets[slot]);
            }
            // A negative remainder (written by hand) keeps the object parked.
        }
        node = next;
    }
}
