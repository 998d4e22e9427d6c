// htimedobject.cpp: construction, destruction and the period of a timed object.
#include "sched/htimedobject.h"

#include "sched/htimernode.h"

namespace {

int32_t wholePeriod(uint32_t ms) {
    return ms > static_cast<uint32_t>(HTimedObject::MAX_PERIOD) ? HTimedObject::MAX_PERIOD
                                                                : static_cast<int32_t>(ms);
}

// Halves with rounding to nearest; never overflows and keeps 1 at 1.
uint32_t halve(uint32_t v) { return (v >> 1) + (v & 1u); }

} // namespace

HTimedObject::HTimedObject()
    : delay(0),
      everyFrame(0),
      active(0),
      period(1),
      tickCount(1),
      timeSpan(1),
      fixedPoint(0),
      fractional(0),
      longPeriod(0),
      accumulator(0),
      accumulatorStep(0),
      slot(-1),
      node(nullptr) {}

HTimedObject::~HTimedObject() {
    if (node != nullptr) {
        node->unlink();
        delete node;
        node = nullptr;
    }
}

void HTimedObject::onFrame(int32_t) {}

void HTimedObject::tick() {}

void HTimedObject::setTiming(uint32_t a, uint32_t b, bool fixed) {
    // A call that sets no period (fixed-point 0.0, ratio 0/b) changes nothing,
    // not even the mode: switching the mode alone would make the wheel read
    // the old fields with the other mode's rule (a ratio rule over fixed-point
    // fields with timeSpan 0 never catches up and would spin).
    if (fixed) {
        if (a == 0 && b == 0) {
            return;
        }
        fixedPoint = 1;
        fractional = 1;
        accumulator = 0;
        timeSpan = a;
        tickCount = b;
        longPeriod = a != 0 ? 1 : 0;
        period = a != 0 ? wholePeriod(a) : 1;
        return;
    }

    if (a == 0) {
        return;
    }
    fixedPoint = 0;
    if (b < 2) {
        period = wholePeriod(a);
        timeSpan = a;
        fractional = 0;
        tickCount = 1;
        return;
    }

    // The rules work with 2 * tickCount (and, under a millisecond, with
    // 2 * timeSpan - 2 * tickCount as a signed value): keep both in 31 bits.
    while (b > MAX_RATIO_TERM) {
        a = halve(a);
        b = halve(b);
    }
    timeSpan = a;
    tickCount = b;
    fractional = 1;
    if (b >= a) {
        // At most a millisecond per tick: due every millisecond, ticked b/a
        // times there on average. The start value a (half of the 2a the
        // counter is scaled by) rounds the pattern to the nearest tick.
        accumulator = a;
        longPeriod = 0;
        period = 1;
    } else {
        // Over a millisecond: period a/b, one more now and then. Starting at
        // half the step spreads the longer intervals evenly.
        longPeriod = 1;
        period = wholePeriod(a / b);
        accumulator = a % b;
        accumulatorStep = 2 * (a % b);
    }
}
