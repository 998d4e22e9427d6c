// htimedobject.h: the base class of everything the timing wheel drives.
//
// A timed object is ticked by HTimerWheel every `period` milliseconds (or at a
// fractional period set with setTiming), or, with `everyFrame` set, gets
// onFrame on every advance instead. See htimerwheel.h for when exactly.
#pragma once

#include <cstdint>

class HTimerNode;

class HTimedObject {
public:
    // Periods longer than this are cut to it (about 24.8 days): the wheel's
    // arithmetic stays inside int32 and a period never turns negative.
    static constexpr int32_t MAX_PERIOD = INT32_MAX;

    // Bound on the ticks of one millisecond for the periods shorter than a
    // millisecond (ratio mode with tickCount >= timeSpan, fixed-point mode
    // with a whole part of 0): one per microsecond. An object asking for more
    // runs slower than asked instead of stalling the frame; see htimerwheel.h.
    static constexpr uint32_t MAX_TICKS_PER_MS = 1000;

    // A ratio-mode tickCount above this is halved, together with timeSpan,
    // until it is not, so that the balance the wheel keeps for periods under
    // a millisecond (up to 3 * timeSpan, see htimerwheel.cpp) fits in int32.
    // Only tickCount is compared: below a millisecond timeSpan is the
    // smaller term, and above it only timeSpan mod tickCount is doubled.
    // Each halving rounds both terms, so the ratio can move by a third
    // (timeSpan 3 becomes 2) or more for smaller timeSpans; at the rates the
    // wheel honours (MAX_TICKS_PER_MS) timeSpan is above 2^19 and the ratio
    // moves by less than 2^-19.
    static constexpr uint32_t MAX_RATIO_TERM = 1u << 29;

    HTimedObject();
    // Unlinks and frees `node` if the object is still scheduled. It does not
    // know the wheel: an object that may be under the cursor of a running
    // HTimerWheel::advance (the one being ticked, or any other during a tick)
    // must be taken out with HTimerWheel::remove before it is destroyed.
    virtual ~HTimedObject();

    // Copies would share one node; a world object is never copied.
    HTimedObject(const HTimedObject&) = delete;
    HTimedObject& operator=(const HTimedObject&) = delete;

    // Called on every HTimerWheel::advance, with the milliseconds of that
    // advance (possibly 0 or negative), while `everyFrame` and `active` are
    // set. May insert and remove any object, this one included.
    virtual void onFrame(int32_t elapsedMs);

    // Called once per period that falls inside an advance. May insert and
    // remove any object, this one included, and may clear `active`.
    virtual void tick();

    // Sets the period; neither `delay` nor the object's place on a wheel
    // changes, the new period takes effect at the next re-scheduling.
    //  - ratio mode (fixedPoint false): a period of timeSpan/tickCount ms.
    //    tickCount 0 or 1: a whole period of timeSpan ms. timeSpan 0: no
    //    change at all.
    //  - fixed-point mode: a 32.32 period of timeSpan + tickCount/2^32 ms.
    //    Both 0: no change at all.
    // Resets the accumulator, so a fractional period restarts its pattern.
    void setTiming(uint32_t timeSpan, uint32_t tickCount, bool fixedPoint);

    // Milliseconds from insertion to the first tick (0: the very next
    // millisecond the wheel processes; 999 and more: parked, one millisecond
    // later than that, see htimerwheel.h). Set before insertion. While parked:
    // the remainder still to wait past the end of the current revolution.
    int32_t delay;
    // Non-zero: kept in the every-frame list, gets onFrame, never tick.
    int32_t everyFrame;
    // Non-zero: the wheel calls the object. Inactive objects keep their node
    // and place and are passed over. The owner sets it after insert; remove
    // clears it.
    int32_t active;
    // Whole milliseconds from one tick to the next (1..MAX_PERIOD).
    int32_t period;
    // Ratio mode: ticks per `timeSpan` ms. Fixed-point: the fraction of the
    // period in units of 2^-32 ms.
    uint32_t tickCount;
    // Ratio mode: milliseconds per `tickCount` ticks. Fixed-point: the whole
    // milliseconds of the period.
    uint32_t timeSpan;
    // Non-zero: `timeSpan` and `tickCount` are a 32.32 fixed-point period.
    int32_t fixedPoint;
    // Non-zero: the period is not whole; the accumulator spreads it.
    int32_t fractional;
    // For a fractional period: 1 when it is a millisecond or longer (whole
    // part at least 1), 0 when the object may tick several times per ms.
    int32_t longPeriod;
    // Running remainder of the fraction (read as signed in the ratio rule for
    // periods under a millisecond).
    uint32_t accumulator;
    // 2 * (timeSpan mod tickCount): ratio mode, periods over a millisecond.
    uint32_t accumulatorStep;
    // Bucket holding the object: 1..1000 on the wheel, 0 parked, -1 not
    // scheduled. Not maintained for every-frame objects.
    int32_t slot;
    // The object's node in a wheel; null when not scheduled.
    HTimerNode* node;
};
