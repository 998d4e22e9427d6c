// htimerwheel.h: the timing wheel that drives every timed object of a match.
//
// Design
// ------
// Time is counted in whole milliseconds. One revolution of the wheel is
// REVOLUTION_MS = 1000 ms, one bucket per millisecond (buckets 1..1000);
// `current` is the next bucket to process. Advancing by n ms processes the
// next n buckets in order, wrapping from 1000 back to 1, so a slow frame is
// caught up bucket by bucket and an object is ticked once per period that
// fell inside the elapsed time (several revolutions if need be).
//
//   bucket 0        the parked list: delays too long for one revolution
//   buckets 1..1000 the wheel, one per millisecond
//   every-frame     objects that get onFrame once per advance (not per ms)
//
// Range. A delay of 0..998 ms (PARK_DELAY - 1) goes straight into a bucket
// and the object is first ticked in the (delay+1)-th millisecond processed.
// Longer delays, up to INT32_MAX, are parked with their remainder counted
// from the end of the current revolution; at the end of every revolution the
// parked list is walked once and each object whose remainder now fits in one
// revolution is moved onto the wheel (no level hierarchy, no cascading: one
// walk of the parked list per second). A parked insertion is first ticked in
// the (delay+2)-th millisecond, one later than a direct one: the remainder is
// measured from the revolution end, not from the insertion. Re-scheduling by
// a period of 1000 ms or more parks too, but there the remainder is exact:
// the next tick comes exactly one period after the last. An inactive parked
// object does not count down: each revolution end it spends inactive adds a
// second to its wait.
//
// Periods. Whole periods of 1..MAX_PERIOD ms. Fractional periods (see
// HTimedObject::setTiming) are spread over whole-millisecond steps by an
// accumulator: over a millisecond, each step is the whole part or one more;
// under a millisecond, the object is re-scheduled every millisecond and ticked
// there as many times as its period fits (ratio a/b: b/a times on average;
// fixed-point 0.f: 2^32/f times, the period being f/2^32 ms as in every other
// 32.32 period), at most MAX_TICKS_PER_MS times: an object asking for more
// runs slow and starts its pattern afresh the next millisecond, so a fraction
// near 0 (or a ratio like 1/4e9) costs at most that many calls per
// millisecond instead of stalling the frame.
//
// Order. Each advance first runs the every-frame pass, also when the elapsed
// time is 0 or negative, and then the buckets in increasing time. Within a
// bucket, objects go from the most recently linked to the oldest; an object
// ticked several times in one millisecond gets them back to back. Every
// period is at least 1 ms, so a re-scheduled object never lands back in the
// bucket being processed.
//
// Callbacks. tick and onFrame may remove themselves or any other object and
// may insert new ones: `cursor` always names the node being handled, remove
// steps it past a removed node and clears `cursorKept`, and advance then
// touches neither the removed object nor its node again. An object removed
// before its turn is not ticked. An object inserted while bucket i is being
// processed counts its delay from bucket i+1 (a delay of 0 is ticked in the
// next millisecond, never in the current one). A callback may clear `active`:
// the object keeps its place and is passed over until it is active again.
// What a callback must not do: destroy an object without removing it first
// (the wheel may be holding its node), destroy the wheel, or call advance on
// the same wheel (the nested call is ignored).
//
// Cost. insert and remove are O(1) with one node allocation or release. An
// advance costs one empty-list test per idle millisecond, plus one step per
// due object and per every-frame object, plus one walk of the parked list per
// revolution. The wheel does not own the objects, only their nodes.
//
// Measured (bench/bench_timerwheel.cpp, against a binary heap): an idle
// millisecond is about 1 ns; a tick costs 7-27 ns at the game's periods
// (15, 25, 1000 ms) with up to 100,000 objects, a twentieth to a fifth of
// the heap's. The trade-off of having a single parked list and no second
// level shows with many long periods: 100,000 objects of random 1..5000 ms
// periods keep about 80,000 of them parked, and walking them once a second
// costs about a third of the time. A tick then costs about 150 ns, two
// thirds of the heap's. The game has a background at 1000 ms and nothing
// longer, so a second level would cost more code than it saves.
#pragma once

#include <cstdint>

#include "sched/htimedobject.h"
#include "sched/htimernode.h"

class HTimerWheel {
public:
    static constexpr int32_t REVOLUTION_MS = 1000;
    static constexpr int32_t PARKED_BUCKET = 0;
    static constexpr int32_t FIRST_BUCKET = PARKED_BUCKET + 1;
    static constexpr int32_t LAST_BUCKET = FIRST_BUCKET + REVOLUTION_MS - 1;
    static constexpr int32_t BUCKET_COUNT = LAST_BUCKET + 1;
    // Delays from this up are parked: a delay of PARK_DELAY from `current` 1
    // would need bucket 1000 + 1, one past the wheel.
    static constexpr int32_t PARK_DELAY = REVOLUTION_MS - 1;

    HTimerWheel();
    // Frees every node, first setting its object's `node` to null; the
    // objects are not otherwise touched. Not to be called from a callback of
    // this wheel.
    ~HTimerWheel();

    HTimerWheel(const HTimerWheel&) = delete;
    HTimerWheel& operator=(const HTimerWheel&) = delete;

    // Schedules `object` by its `delay`, or in the every-frame list if
    // `everyFrame` is set. Leaves `active` as it is: the caller sets it.
    // Returns true when scheduled; false, linking nothing, when `object` is
    // null or already scheduled (its `node` not null; nothing changes), when
    // the delay is negative, or when no node could be allocated.
    bool insert(HTimedObject* object);

    // Unschedules `object` (of this wheel): frees its node, sets `node` to
    // null, `slot` to -1 and `active` to 0. Safe from inside a callback for
    // any object, the one being called included. Returns false, changing
    // nothing, for a null or unscheduled object; true otherwise.
    bool remove(HTimedObject* object);

    // Moves time on by `elapsedMs`: the every-frame pass, then `elapsedMs`
    // buckets (none when 0 or negative). Ignored when called from a callback
    // of this same wheel.
    void advance(int32_t elapsedMs);

    // List headers: bucket PARKED_BUCKET is the parked list.
    HTimerNode buckets[BUCKET_COUNT];
    HTimerNode everyFrameList;
    // The node being handled by advance; meaningful only while `advancing`.
    HTimerNode* cursor;
    // Cleared by remove when it steps the cursor past a removed node; advance
    // sets it back after seeing it.
    bool cursorKept;
    bool advancing;
    // The next bucket to process, FIRST_BUCKET..LAST_BUCKET; LAST_BUCKET + 1
    // while the last bucket itself is being processed.
    int32_t current;

private:
    void runEveryFrame(int32_t elapsedMs);
    void processBucket(int32_t bucket);
    // The extra ticks of an object whose period is under a millisecond, after
    // its first tick of this millisecond. False when the handling of the
    // object has ended (it was removed or made inactive).
    bool tickRestOfMillisecond(HTimedObject* object);
    void rearmParked();
    // Moves the cursor's node to the bucket `delayMs` after `bucket`
    // (parking it when that is a revolution or more away), stepping the
    // cursor on first.
    void reschedule(HTimedObject* object, int32_t bucket, int64_t delayMs);
};
