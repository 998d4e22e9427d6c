// Focused cases for HTimerWheel and HTimedObject: when each object ticks,
// parking, fractional periods, re-entrant calls and teardown. The randomized
// comparison with a reference model is in test_htimerwheel_random.cpp.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "sched/htimerwheel.h"

namespace {

struct Event {
    int id;
    int32_t bucket; // the bucket being processed, or 0 for onFrame
    bool operator==(const Event& o) const { return id == o.id && bucket == o.bucket; }
};

std::ostream& operator<<(std::ostream& out, const Event& e) {
    return out << "{" << e.id << " @" << e.bucket << "}";
}

class Probe : public HTimedObject {
public:
    Probe(int id, HTimerWheel* wheel, std::vector<Event>* log) : id(id), wheel(wheel), log(log) {}
    void tick() override {
        ++ticks;
        log->push_back({id, wheel->current - 1});
        if (onTick) {
            onTick(*this);
        }
    }
    void onFrame(int32_t elapsedMs) override {
        ++frames;
        lastElapsed = elapsedMs;
        log->push_back({id, 0});
        if (onFrameHook) {
            onFrameHook(*this);
        }
    }
    int id;
    HTimerWheel* wheel;
    std::vector<Event>* log;
    int ticks = 0;
    int frames = 0;
    int32_t lastElapsed = 0;
    std::function<void(Probe&)> onTick;
    std::function<void(Probe&)> onFrameHook;
};

class TimerWheelTest : public ::testing::Test {
protected:
    Probe& make(int32_t delay, int32_t period = 1) {
        probes.push_back(std::make_unique<Probe>(static_cast<int>(probes.size()), &wheel, &log));
        Probe& p = *probes.back();
        p.delay = delay;
        p.setTiming(static_cast<uint32_t>(period), 0, false);
        return p;
    }
    // Inserts and activates, as the game's owner does.
    Probe& add(int32_t delay, int32_t period = 1) {
        Probe& p = make(delay, period);
        EXPECT_TRUE(wheel.insert(&p));
        p.active = 1;
        return p;
    }
    // Advances one millisecond at a time and returns the milliseconds (1 =
    // the first one of this call) in which `p` ticked.
    std::vector<int> stepAndCollect(const Probe& p, int ms) {
        std::vector<int> when;
        for (int i = 1; i <= ms; ++i) {
            int before = p.ticks;
            wheel.advance(1);
            for (int k = before; k < p.ticks; ++k) {
                when.push_back(i);
            }
        }
        return when;
    }
    std::vector<int> intervals(const Probe& p, int ms) {
        std::vector<int> at = stepAndCollect(p, ms);
        std::vector<int> gaps;
        for (size_t i = 1; i < at.size(); ++i) {
            gaps.push_back(at[i] - at[i - 1]);
        }
        return gaps;
    }
    std::vector<Event> ticksOf(int id) const {
        std::vector<Event> out;
        for (const Event& e : log) {
            if (e.id == id) {
                out.push_back(e);
            }
        }
        return out;
    }

    // Declared before the wheel so that the wheel goes first, as in the game.
    std::vector<Event> log;
    std::vector<std::unique_ptr<Probe>> probes;
    HTimerWheel wheel;
};

// --- construction and plain scheduling --------------------------------------

TEST_F(TimerWheelTest, StartsEmptyAtBucketOne) {
    EXPECT_EQ(wheel.current, 1);
    EXPECT_TRUE(wheel.cursorKept);
    EXPECT_FALSE(wheel.advancing);
    EXPECT_EQ(wheel.cursor, nullptr);
    for (const HTimerNode& b : wheel.buckets) {
        EXPECT_EQ(b.next, nullptr);
        EXPECT_EQ(b.object, nullptr);
    }
    EXPECT_EQ(wheel.everyFrameList.next, nullptr);
    HTimedObject o;
    EXPECT_EQ(o.slot, -1);
    EXPECT_EQ(o.node, nullptr);
    EXPECT_EQ(o.period, 1);
    EXPECT_EQ(o.active, 0);
}

TEST_F(TimerWheelTest, DelayZeroTicksInTheFirstMillisecond) {
    Probe& p = add(0, 10);
    EXPECT_EQ(p.slot, 1);
    wheel.advance(1);
    EXPECT_EQ(p.ticks, 1);
    EXPECT_EQ(p.slot, 11);
}

TEST_F(TimerWheelTest, DelayFiveTicksInTheSixthMillisecond) {
    Probe& p = add(5, 100);
    EXPECT_EQ(p.slot, 6);
    EXPECT_EQ(p.delay, 0) << "on the wheel the slot holds the delay";
    EXPECT_EQ(stepAndCollect(p, 50), std::vector<int>({6}));
}

TEST_F(TimerWheelTest, InsertLeavesActiveAsItWas) {
    Probe& p = make(0, 5);
    ASSERT_TRUE(wheel.insert(&p));
    EXPECT_EQ(p.active, 0);
    wheel.advance(20);
    EXPECT_EQ(p.ticks, 0) << "inactive objects are passed over";
    EXPECT_NE(p.node, nullptr);
}

TEST_F(TimerWheelTest, SlowFrameIsCaughtUpTickByTick) {
    // 25 ms object first due after 25 ms, one 100 ms advance: ticks in the
    // 26th, 51st and 76th millisecond, next one due in the 101st.
    Probe& p = add(25, 25);
    wheel.advance(100);
    EXPECT_EQ(ticksOf(p.id), std::vector<Event>({{p.id, 26}, {p.id, 51}, {p.id, 76}}));
    EXPECT_EQ(wheel.current, 101);
    EXPECT_EQ(p.slot, 101);
    wheel.advance(1);
    EXPECT_EQ(p.ticks, 4);
}

TEST_F(TimerWheelTest, OneBigAdvanceEqualsManySmallOnes) {
    std::vector<Event> stepped;
    {
        std::vector<Event> bigLog;
        HTimerWheel big;
        HTimerWheel small;
        std::vector<std::unique_ptr<Probe>> a, b;
        const int periods[] = {1, 3, 15, 25, 999, 1000, 1001, 1500, 2500};
        for (int i = 0; i < 9; ++i) {
            for (auto [list, w, l] : {std::tuple(&a, &big, &bigLog), std::tuple(&b, &small, &stepped)}) {
                list->push_back(std::make_unique<Probe>(i, w, l));
                Probe& p = *list->back();
                p.delay = i * 97;
                p.setTiming(static_cast<uint32_t>(periods[i]), 0, false);
                ASSERT_TRUE(w->insert(&p));
                p.active = 1;
            }
        }
        big.advance(3777);
        for (int i = 0; i < 3777; ++i) {
            small.advance(1);
        }
        EXPECT_EQ(big.current, small.current);
        EXPECT_EQ(bigLog, stepped);
        for (int i = 0; i < 9; ++i) {
            EXPECT_EQ(a[i]->ticks, b[i]->ticks) << "period " << periods[i];
            EXPECT_EQ(a[i]->slot, b[i]->slot);
            EXPECT_EQ(a[i]->delay, b[i]->delay);
        }
    }
}

TEST_F(TimerWheelTest, NewestLinkedIsTickedFirstWithinABucket) {
    Probe& a = add(3, 50);
    Probe& b = add(3, 50);
    Probe& c = add(3, 50);
    wheel.advance(4);
    EXPECT_EQ(log, std::vector<Event>({{c.id, 4}, {b.id, 4}, {a.id, 4}}));
}

// --- zero, negative and every-frame advances ----------------------------------

TEST_F(TimerWheelTest, ZeroAndNegativeAdvancesRunOnlyTheEveryFramePass) {
    Probe& t = add(0, 1);
    Probe& f = make(0);
    f.everyFrame = 1;
    ASSERT_TRUE(wheel.insert(&f));
    f.active = 1;
    Probe& idle = make(0);
    idle.everyFrame = 1;
    ASSERT_TRUE(wheel.insert(&idle)); // left inactive

    wheel.advance(0);
    EXPECT_EQ(f.frames, 1);
    EXPECT_EQ(f.lastElapsed, 0);
    EXPECT_EQ(t.ticks, 0);
    EXPECT_EQ(wheel.current, 1);

    wheel.advance(-40);
    EXPECT_EQ(f.frames, 2);
    EXPECT_EQ(f.lastElapsed, -40);
    EXPECT_EQ(t.ticks, 0);
    EXPECT_EQ(wheel.current, 1);

    wheel.advance(7);
    EXPECT_EQ(f.frames, 3) << "once per advance, not per millisecond";
    EXPECT_EQ(f.lastElapsed, 7);
    EXPECT_EQ(f.ticks, 0) << "every-frame objects never tick";
    EXPECT_EQ(t.ticks, 7);
    EXPECT_EQ(idle.frames, 0);
    EXPECT_FALSE(wheel.advancing);
}

TEST_F(TimerWheelTest, EveryFrameObjectsKeepDelayAndSlot) {
    Probe& f = make(-5);
    f.everyFrame = 1;
    f.slot = -1;
    ASSERT_TRUE(wheel.insert(&f)) << "the delay of an every-frame object is not looked at";
    EXPECT_EQ(f.delay, -5);
    EXPECT_EQ(f.slot, -1);
    EXPECT_TRUE(wheel.remove(&f));
}

// --- parking ------------------------------------------------------------------

TEST_F(TimerWheelTest, DelayOf1000IsParkedAndTickedIn1002ndMillisecond) {
    Probe& p = add(1000, 5000);
    EXPECT_EQ(p.slot, 0);
    EXPECT_EQ(p.delay, 1);
    wheel.advance(1000);
    EXPECT_EQ(wheel.current, 1);
    EXPECT_EQ(p.slot, 2) << "re-armed at the end of the revolution";
    EXPECT_EQ(p.delay, 0);
    EXPECT_EQ(p.ticks, 0);
    wheel.advance(1);
    EXPECT_EQ(p.ticks, 0);
    wheel.advance(1);
    EXPECT_EQ(p.ticks, 1);
}

TEST_F(TimerWheelTest, DelayOf999IsParkedToo) {
    Probe& p = add(999, 5000);
    EXPECT_EQ(p.slot, 0);
    EXPECT_EQ(stepAndCollect(p, 1100), std::vector<int>({1001}));
}

TEST_F(TimerWheelTest, DelayOf998GoesStraightOntoTheWheel) {
    wheel.advance(5); // current 6: 6 + 998 wraps to bucket 4
    Probe& p = add(998, 5000);
    EXPECT_EQ(p.slot, 4);
    EXPECT_EQ(stepAndCollect(p, 1100), std::vector<int>({999}));
}

TEST_F(TimerWheelTest, LongDelaysWaitSeveralRevolutions) {
    wheel.advance(300);
    Probe& p = add(3456, 100000);
    EXPECT_EQ(stepAndCollect(p, 4000), std::vector<int>({3458}));
}

TEST_F(TimerWheelTest, Period1500IsParkedWithTheExactRemainder) {
    Probe& p = add(499, 1500); // ticked while bucket 500 is processed
    wheel.advance(500);
    ASSERT_EQ(ticksOf(p.id), std::vector<Event>({{p.id, 500}}));
    EXPECT_EQ(p.slot, 0);
    EXPECT_EQ(p.delay, 999);
    wheel.advance(500);
    EXPECT_EQ(p.slot, 1000) << "moved onto the wheel at the start of the next revolution";
    EXPECT_EQ(p.delay, 0);
    std::vector<int> at = stepAndCollect(p, 3000);
    EXPECT_EQ(at, std::vector<int>({1000, 2500}));
}

TEST_F(TimerWheelTest, Period1000KeepsItsBucket) {
    Probe& p = add(0, 1000);
    EXPECT_EQ(stepAndCollect(p, 3500), std::vector<int>({1, 1001, 2001, 3001}));
}

TEST_F(TimerWheelTest, AdvanceOfTwoAndAHalfRevolutionsReArmsTwice) {
    Probe& second = add(0, 1000);
    Probe& far = add(1700, 100000); // parked, remainder 700
    Probe& fast = add(0, 250);
    wheel.advance(2500);
    EXPECT_EQ(wheel.current, 501);
    EXPECT_EQ(ticksOf(second.id), std::vector<Event>({{second.id, 1}, {second.id, 1}, {second.id, 1}}));
    EXPECT_EQ(fast.ticks, 10);
    // Re-armed at the first revolution end into bucket 702, ticked there in
    // the second revolution: 1702nd millisecond.
    EXPECT_EQ(ticksOf(far.id), std::vector<Event>({{far.id, 702}}));
    EXPECT_EQ(far.slot, 0) << "parked again for its next 100 s";
}

TEST_F(TimerWheelTest, InactiveParkedObjectDoesNotCountDown) {
    Probe& p = add(1500, 100000); // remainder 501
    p.active = 0;
    wheel.advance(1000); // revolution end passes while inactive
    EXPECT_EQ(p.slot, 0);
    EXPECT_EQ(p.delay, 501);
    p.active = 1;
    EXPECT_EQ(stepAndCollect(p, 2000), std::vector<int>({1502}));
}

// --- activity -----------------------------------------------------------------

TEST_F(TimerWheelTest, ObjectDeactivatedInItsTickKeepsItsBucket) {
    Probe& p = add(9, 20);
    p.onTick = [](Probe& self) { self.active = 0; };
    wheel.advance(10);
    EXPECT_EQ(p.ticks, 1);
    EXPECT_EQ(p.slot, 10) << "not re-scheduled";
    EXPECT_NE(p.node, nullptr);
    p.onTick = nullptr;
    wheel.advance(500);
    EXPECT_EQ(p.ticks, 1);
    p.active = 1;
    // Next considered when bucket 10 comes up again: 1000 ms after the tick.
    std::vector<int> at = stepAndCollect(p, 600);
    ASSERT_FALSE(at.empty());
    EXPECT_EQ(at[0] + 510, 1010);
    EXPECT_EQ(at[1] - at[0], 20);
}

// --- removal and insertion ----------------------------------------------------

TEST_F(TimerWheelTest, RemoveOfAnUnscheduledObjectChangesNothing) {
    Probe& p = make(3, 5);
    p.active = 1;
    EXPECT_FALSE(wheel.remove(&p));
    EXPECT_FALSE(wheel.remove(nullptr));
    EXPECT_EQ(p.active, 1);
    EXPECT_EQ(p.delay, 3);
    EXPECT_EQ(p.slot, -1);
}

TEST_F(TimerWheelTest, RemoveUnschedulesAndDeactivates) {
    Probe& p = add(3, 5);
    Probe& q = add(3, 5);
    EXPECT_TRUE(wheel.remove(&p));
    EXPECT_EQ(p.node, nullptr);
    EXPECT_EQ(p.slot, -1);
    EXPECT_EQ(p.active, 0);
    EXPECT_FALSE(wheel.remove(&p));
    wheel.advance(10);
    EXPECT_EQ(p.ticks, 0);
    EXPECT_EQ(q.ticks, 2);
}

TEST_F(TimerWheelTest, InsertingAScheduledObjectIsRefused) {
    Probe& p = add(3, 5);
    HTimerNode* node = p.node;
    p.delay = 7;
    EXPECT_FALSE(wheel.insert(&p));
    EXPECT_EQ(p.node, node);
    EXPECT_EQ(p.slot, 4);
    EXPECT_EQ(p.delay, 7);
    wheel.advance(4);
    EXPECT_EQ(p.ticks, 1) << "ticked once, from its one node";
    EXPECT_FALSE(wheel.insert(nullptr));
}

TEST_F(TimerWheelTest, NegativeDelayIsRefused) {
    Probe& p = make(-1, 5);
    EXPECT_FALSE(wheel.insert(&p));
    EXPECT_EQ(p.node, nullptr);
    EXPECT_EQ(p.slot, -1);
    EXPECT_EQ(p.delay, -1);
}

TEST_F(TimerWheelTest, HugeDelayDoesNotOverflow) {
    wheel.advance(999); // current 1000
    Probe& p = add(INT32_MAX, 5);
    EXPECT_EQ(p.slot, 0);
    EXPECT_EQ(p.delay, INT32_MAX - 1000 + 1000);
    wheel.advance(5000);
    EXPECT_EQ(p.ticks, 0);
}

TEST_F(TimerWheelTest, ObjectThatRemovesItselfIsNotTouchedAgain) {
    Probe& later = add(2, 7);
    Probe& self = add(2, 7); // newest: handled first in bucket 3
    self.onTick = [this](Probe& me) { EXPECT_TRUE(wheel.remove(&me)); };
    wheel.advance(30);
    EXPECT_EQ(self.ticks, 1);
    EXPECT_EQ(self.node, nullptr);
    EXPECT_EQ(self.slot, -1);
    EXPECT_EQ(later.ticks, 4) << "the next object of the bucket is still ticked";
}

TEST_F(TimerWheelTest, ObjectThatRemovesTheNextOneSkipsIt) {
    Probe& next = add(2, 7);
    Probe& first = add(2, 7);
    first.onTick = [this, &next](Probe&) { wheel.remove(&next); };
    wheel.advance(3);
    EXPECT_EQ(first.ticks, 1);
    EXPECT_EQ(next.ticks, 0);
    EXPECT_EQ(next.node, nullptr);
}

TEST_F(TimerWheelTest, ObjectThatRemovesAndReinsertsItself) {
    Probe& other = add(2, 7);
    Probe& p = add(2, 7);
    p.onTick = [this](Probe& me) {
        if (me.ticks == 1) {
            wheel.remove(&me);
            me.delay = 0;
            ASSERT_TRUE(wheel.insert(&me));
            me.active = 1;
        }
    };
    wheel.advance(3);
    EXPECT_EQ(p.ticks, 1);
    EXPECT_EQ(other.ticks, 1);
    EXPECT_EQ(p.slot, 4) << "delay 0 counted from the next bucket";
    wheel.advance(1);
    EXPECT_EQ(p.ticks, 2);
    EXPECT_EQ(p.slot, 11);
}

TEST_F(TimerWheelTest, ObjectInsertedFromATickCountsFromTheNextBucket) {
    Probe& child = make(0, 100);
    Probe& parent = add(9, 1000);
    parent.onTick = [this, &child](Probe&) {
        ASSERT_TRUE(wheel.insert(&child));
        child.active = 1;
    };
    wheel.advance(10);
    EXPECT_EQ(parent.ticks, 1);
    EXPECT_EQ(child.ticks, 0) << "never in the bucket being processed";
    EXPECT_EQ(child.slot, 11);
    wheel.advance(1);
    EXPECT_EQ(child.ticks, 1);
}

TEST_F(TimerWheelTest, InsertionsDuringTheLastBucketWrapToTheNextRevolution) {
    Probe& shortOne = make(0, 5000);
    Probe& parked = make(999, 5000);
    Probe& parent = add(999, 100000); // parked: remainder 0, re-armed to bucket 1
    wheel.advance(1000);
    ASSERT_EQ(parent.slot, 1);
    parent.onTick = nullptr;
    wheel.advance(999); // current 1000
    parent.onTick = [&](Probe&) {};
    Probe& trigger = add(0, 100000); // in bucket 1000
    trigger.onTick = [&](Probe&) {
        ASSERT_EQ(wheel.current, 1001);
        ASSERT_TRUE(wheel.insert(&shortOne));
        shortOne.active = 1;
        ASSERT_TRUE(wheel.insert(&parked));
        parked.active = 1;
    };
    std::vector<int> s = stepAndCollect(shortOne, 1);
    EXPECT_EQ(trigger.ticks, 1);
    EXPECT_EQ(shortOne.slot, 1);
    EXPECT_EQ(parked.slot, 0);
    trigger.onTick = nullptr;
    EXPECT_EQ(stepAndCollect(shortOne, 5), std::vector<int>({1}));
    // Delay 999 from inside the last bucket: 1001 ms later, as for any parked
    // insertion (the (d+2)-th millisecond counting the current one as 0).
    EXPECT_EQ(parked.ticks, 0);
    std::vector<int> p = stepAndCollect(parked, 1100);
    EXPECT_EQ(p, std::vector<int>({1001 - 5}));
}

TEST_F(TimerWheelTest, RemovalOfAnObjectInAnotherBucketDuringATick) {
    Probe& victim = add(5, 10);
    Probe& killer = add(2, 100);
    killer.onTick = [&](Probe&) { EXPECT_TRUE(wheel.remove(&victim)); };
    wheel.advance(50);
    EXPECT_EQ(killer.ticks, 1);
    EXPECT_EQ(victim.ticks, 0);
}

TEST_F(TimerWheelTest, EveryFrameObjectsMayRemoveThemselvesAndTheirNeighbours) {
    auto everyFrame = [&]() -> Probe& {
        Probe& p = make(0);
        p.everyFrame = 1;
        EXPECT_TRUE(wheel.insert(&p));
        p.active = 1;
        return p;
    };
    Probe& c = everyFrame();
    Probe& b = everyFrame();
    Probe& a = everyFrame(); // list order: a, b, c
    Probe& late = make(0);
    late.everyFrame = 1;
    a.onFrameHook = [&](Probe& me) {
        wheel.remove(&me);
        wheel.remove(&b);
        EXPECT_TRUE(wheel.insert(&late));
        late.active = 1;
    };
    wheel.advance(1);
    EXPECT_EQ(a.frames, 1);
    EXPECT_EQ(b.frames, 0);
    EXPECT_EQ(c.frames, 1);
    EXPECT_EQ(late.frames, 0) << "linked at the head, behind the cursor";
    wheel.advance(1);
    EXPECT_EQ(late.frames, 1);
    EXPECT_EQ(c.frames, 2);
    EXPECT_EQ(a.frames, 1);
}

TEST_F(TimerWheelTest, NestedAdvanceIsIgnored) {
    Probe& p = add(0, 1);
    Probe& q = add(0, 1);
    p.onTick = [this](Probe&) { wheel.advance(50); };
    wheel.advance(3);
    EXPECT_EQ(p.ticks, 3);
    EXPECT_EQ(q.ticks, 3);
    EXPECT_EQ(wheel.current, 4);
    EXPECT_FALSE(wheel.advancing);
}

// --- teardown -----------------------------------------------------------------

TEST(TimerWheelTeardown, DestroyingTheWheelLeavesObjectsUnscheduled) {
    std::vector<Event> log;
    auto wheel = std::make_unique<HTimerWheel>();
    Probe onWheel(0, wheel.get(), &log), parked(1, wheel.get(), &log), frame(2, wheel.get(), &log);
    onWheel.delay = 40;
    parked.delay = 4000;
    frame.everyFrame = 1;
    ASSERT_TRUE(wheel->insert(&onWheel));
    ASSERT_TRUE(wheel->insert(&parked));
    ASSERT_TRUE(wheel->insert(&frame));
    onWheel.active = parked.active = frame.active = 1;
    wheel.reset();
    for (Probe* p : {&onWheel, &parked, &frame}) {
        EXPECT_EQ(p->node, nullptr);
        EXPECT_EQ(p->active, 1) << "objects are otherwise left as they were";
    }
    EXPECT_EQ(onWheel.slot, 41);
    EXPECT_EQ(parked.slot, 0);
    // The probes' destructors run next and must touch no freed node (ASan).
}

TEST_F(TimerWheelTest, DestroyedObjectLeavesTheBucketIntact) {
    Probe& first = add(4, 10);
    auto doomed = std::make_unique<Probe>(99, &wheel, &log);
    doomed->delay = 4;
    ASSERT_TRUE(wheel.insert(doomed.get()));
    doomed->active = 1;
    Probe& last = add(4, 10);
    doomed.reset();
    wheel.advance(5);
    EXPECT_EQ(first.ticks, 1);
    EXPECT_EQ(last.ticks, 1);
    EXPECT_TRUE(wheel.remove(&first));
    EXPECT_TRUE(wheel.remove(&last));
    EXPECT_EQ(wheel.buckets[15].next, nullptr);
}

// --- periods --------------------------------------------------------------------

TEST_F(TimerWheelTest, WholePeriods) {
    for (uint32_t b : {0u, 1u}) {
        Probe& p = make(0);
        p.setTiming(7, b, false);
        EXPECT_EQ(p.period, 7);
        EXPECT_EQ(p.fractional, 0);
        ASSERT_TRUE(wheel.insert(&p));
        p.active = 1;
        EXPECT_EQ(intervals(p, 40), std::vector<int>({7, 7, 7, 7, 7})) << "b = " << b;
        wheel.remove(&p);
    }
}

TEST_F(TimerWheelTest, FiveOverTwoAlternatesTwoAndThree) {
    Probe& p = add(0);
    p.setTiming(5, 2, false);
    EXPECT_EQ(intervals(p, 26), std::vector<int>({2, 3, 2, 3, 2, 3, 2, 3, 2, 3}));
}

TEST_F(TimerWheelTest, RatioOverAMillisecondAveragesExactly) {
    Probe& p = add(0);
    p.setTiming(1000, 7, false); // 142.857 ms
    std::vector<int> gaps = intervals(p, 3001);
    ASSERT_EQ(gaps.size(), 21u);
    int sum = 0;
    for (int g : gaps) {
        EXPECT_TRUE(g == 142 || g == 143) << g;
        sum += g;
    }
    EXPECT_EQ(sum, 3000);
}

TEST_F(TimerWheelTest, OneOverThreeTicksThreeTimesEveryMillisecond) {
    Probe& p = add(0);
    p.setTiming(1, 3, false);
    std::vector<int> at = stepAndCollect(p, 5);
    EXPECT_EQ(at, std::vector<int>({1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5}));
}

TEST_F(TimerWheelTest, TwoOverThreeTicksOneTwoOneTwo) {
    Probe& p = add(0);
    p.setTiming(2, 3, false);
    std::vector<int> at = stepAndCollect(p, 6);
    EXPECT_EQ(at, std::vector<int>({1, 2, 2, 3, 4, 4, 5, 6, 6}));
}

TEST_F(TimerWheelTest, EqualRatioTicksOncePerMillisecond) {
    Probe& p = add(0);
    p.setTiming(4, 4, false);
    EXPECT_EQ(stepAndCollect(p, 4), std::vector<int>({1, 2, 3, 4}));
}

TEST_F(TimerWheelTest, MultiTickObjectRemovedMidwayIsLeftAlone) {
    Probe& p = add(0);
    p.setTiming(1, 4, false);
    Probe& other = add(0, 1);
    p.onTick = [this](Probe& me) {
        if (me.ticks == 2) {
            wheel.remove(&me);
        }
    };
    wheel.advance(3);
    EXPECT_EQ(p.ticks, 2);
    EXPECT_EQ(other.ticks, 3);
}

TEST_F(TimerWheelTest, MultiTickObjectDeactivatedMidwayKeepsItsBucket) {
    Probe& p = add(0);
    p.setTiming(1, 4, false);
    p.onTick = [](Probe& me) {
        if (me.ticks == 2) {
            me.active = 0;
        }
    };
    wheel.advance(3);
    EXPECT_EQ(p.ticks, 2);
    EXPECT_EQ(p.slot, 1);
    EXPECT_NE(p.node, nullptr);
}

TEST_F(TimerWheelTest, TicksPerMillisecondAreBounded) {
    Probe& p = add(0);
    p.setTiming(1, 100000000, false);
    wheel.advance(3);
    EXPECT_EQ(p.ticks, 3 * static_cast<int>(HTimedObject::MAX_TICKS_PER_MS));
    Probe& q = add(0);
    q.setTiming(1, HTimedObject::MAX_TICKS_PER_MS, false);
    wheel.advance(5);
    EXPECT_EQ(q.ticks, 5 * static_cast<int>(HTimedObject::MAX_TICKS_PER_MS)) << "the bound itself is reachable";
}

TEST_F(TimerWheelTest, HugeRatioTermsKeepTheirRatio) {
    Probe& once = add(0);
    once.setTiming(3000000000u, 3000000000u, false); // 1 ms per tick
    EXPECT_EQ(stepAndCollect(once, 50).size(), 50u);
    Probe& longOne = add(0);
    longOne.setTiming(0xFFFFFFFFu, 0x7FFFFFFFu, false); // 2.0000000005 ms
    EXPECT_EQ(intervals(longOne, 41), std::vector<int>(20, 2));
    Probe& half = add(0);
    half.setTiming(0x80000001u, 0xFFFFFFFFu, false); // ~2 ticks per ms
    EXPECT_EQ(stepAndCollect(half, 10).size(), 20u);
}

TEST_F(TimerWheelTest, HugeWholePeriodStaysPositive) {
    Probe& p = add(0);
    p.setTiming(0xF0000000u, 0, false);
    EXPECT_EQ(p.period, HTimedObject::MAX_PERIOD);
    wheel.advance(2);
    EXPECT_EQ(p.ticks, 1);
    EXPECT_EQ(p.slot, 0);
    EXPECT_EQ(p.delay, INT32_MAX - 1000);
    wheel.advance(10000);
    EXPECT_EQ(p.ticks, 1);
}

TEST_F(TimerWheelTest, FixedPointOverAMillisecond) {
    Probe& p = add(0);
    p.setTiming(1, 0x80000000u, true); // 1.5 ms
    EXPECT_EQ(p.period, 1);
    EXPECT_EQ(p.longPeriod, 1);
    EXPECT_EQ(intervals(p, 16), std::vector<int>({1, 2, 1, 2, 1, 2, 1, 2, 1, 2}));
    Probe& q = add(0);
    q.setTiming(25, 0x40000000u, true); // 25.25 ms: every fourth step is 26
    EXPECT_EQ(intervals(q, 203), std::vector<int>({25, 25, 25, 26, 25, 25, 25, 26}));
}

TEST_F(TimerWheelTest, FixedPointWithoutFractionIsAWholePeriod) {
    Probe& p = add(0);
    p.setTiming(25, 0, true);
    EXPECT_EQ(intervals(p, 101), std::vector<int>({25, 25, 25, 25}));
}

TEST_F(TimerWheelTest, FixedPointUnderAMillisecondTicksAtItsPeriod) {
    Probe& quarter = add(0);
    quarter.setTiming(0, 0x40000000u, true); // 0.25 ms
    EXPECT_EQ(quarter.period, 1);
    EXPECT_EQ(quarter.longPeriod, 0);
    wheel.advance(10);
    EXPECT_EQ(quarter.ticks, 40);
    Probe& twoThirds = add(0);
    twoThirds.setTiming(0, 0xAAAAAAABu, true); // 0.6667 ms: 3 ticks per 2 ms
    std::vector<int> at = stepAndCollect(twoThirds, 6);
    EXPECT_EQ(at, std::vector<int>({1, 1, 2, 3, 3, 4, 5, 5, 6}));
}

TEST_F(TimerWheelTest, FixedPointFractionNearOneMillisecondCannotHang) {
    // 0.99999999977 ms: a little over one tick per millisecond, not billions.
    Probe& p = add(0);
    p.setTiming(0, 0xFFFFFFFFu, true);
    wheel.advance(10000);
    EXPECT_EQ(p.ticks, 10001);
}

TEST_F(TimerWheelTest, FixedPointTinyFractionIsBounded) {
    Probe& p = add(0);
    p.setTiming(0, 1, true); // 2^-32 ms
    wheel.advance(7);
    EXPECT_EQ(p.ticks, 7 * static_cast<int>(HTimedObject::MAX_TICKS_PER_MS));
}

TEST_F(TimerWheelTest, SetTimingTakesEffectAtTheNextReschedule) {
    Probe& p = add(4, 10);
    p.setTiming(3, 0, false);
    EXPECT_EQ(p.slot, 5) << "the place on the wheel does not move";
    EXPECT_EQ(stepAndCollect(p, 12), std::vector<int>({5, 8, 11}));
}

TEST_F(TimerWheelTest, RejectedSetTimingChangesNothing) {
    Probe& p = make(0);
    p.setTiming(0, 0x20000000u, true); // 0.125 ms: 8 per ms
    p.setTiming(0, 5, false);          // ratio 0/5: no period
    EXPECT_EQ(p.fixedPoint, 1);
    p.setTiming(0, 0, true);
    EXPECT_EQ(p.fixedPoint, 1);
    EXPECT_EQ(p.tickCount, 0x20000000u);
    ASSERT_TRUE(wheel.insert(&p));
    p.active = 1;
    wheel.advance(2);
    EXPECT_EQ(p.ticks, 16);

    Probe& q = make(0);
    q.setTiming(5, 2, false);
    q.setTiming(0, 0, true);
    EXPECT_EQ(q.fixedPoint, 0);
    EXPECT_EQ(q.period, 2);
    EXPECT_EQ(q.timeSpan, 5u);
    EXPECT_EQ(q.tickCount, 2u);
}

TEST(TimedObjectTiming, FieldsOfEachMode) {
    HTimedObject o;
    o.setTiming(5, 2, false);
    EXPECT_EQ(o.period, 2);
    EXPECT_EQ(o.accumulator, 1u);
    EXPECT_EQ(o.accumulatorStep, 2u);
    EXPECT_EQ(o.longPeriod, 1);
    EXPECT_EQ(o.fractional, 1);
    o.setTiming(2, 3, false);
    EXPECT_EQ(o.period, 1);
    EXPECT_EQ(o.accumulator, 2u);
    EXPECT_EQ(o.longPeriod, 0);
    EXPECT_EQ(o.fractional, 1);
    o.setTiming(1000, 65536, false);
    EXPECT_EQ(o.period, 1);
    o.setTiming(200000, 65536, false);
    EXPECT_EQ(o.period, 3) << "65536 is an ordinary divisor";
    EXPECT_EQ(o.accumulator, 200000u % 65536u);
    o.setTiming(15, 0, false);
    EXPECT_EQ(o.period, 15);
    EXPECT_EQ(o.fractional, 0);
    EXPECT_EQ(o.tickCount, 1u);
    EXPECT_EQ(o.timeSpan, 15u);
    o.setTiming(3, 7, true);
    EXPECT_EQ(o.period, 3);
    EXPECT_EQ(o.timeSpan, 3u);
    EXPECT_EQ(o.tickCount, 7u);
    EXPECT_EQ(o.fixedPoint, 1);
    EXPECT_EQ(o.longPeriod, 1);
    EXPECT_EQ(o.accumulator, 0u);
    // Terms up to MAX_RATIO_TERM are kept; above it both are halved, each
    // rounded to nearest, until tickCount fits.
    o.setTiming(HTimedObject::MAX_RATIO_TERM - 1, HTimedObject::MAX_RATIO_TERM, false);
    EXPECT_EQ(o.timeSpan, HTimedObject::MAX_RATIO_TERM - 1);
    EXPECT_EQ(o.tickCount, HTimedObject::MAX_RATIO_TERM);
    o.setTiming(1002, 4 * HTimedObject::MAX_RATIO_TERM - 1, false);
    EXPECT_EQ(o.timeSpan, 251u);  // 1002, 501, 251
    EXPECT_EQ(o.tickCount, HTimedObject::MAX_RATIO_TERM);
}

} // namespace
