// htimedobject.cpp: construction, destruction and the period of a timed object.
#include "sched/htimedobject.h"

#include "sched/htimernode.h"

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
    (void)a;
    (void)b;
    fixedPoint = fixed ? 1 : 0;
}
