// bench_timerwheel.cpp: HTimerWheel against a plain binary-heap scheduler.
//
// Both drive the same objects (HTimedObject subclasses whose tick counts
// itself) at the same periods and advance by the same steps; the heap keeps
// one (due millisecond, object) entry per object in a std::priority_queue and
// pops every entry that falls due, ticking and pushing it back one period
// later. Counters:
//   ns/tick   time per tick made (includes the idle milliseconds in between)
//   ticks/ms  how busy the configuration is
//   ns/ms     time per simulated millisecond (for the idle benchmarks: the
//             cost of a millisecond in which nothing is due)
// Periods: "15", "25", "1000" (every object alike, phases spread evenly),
// "rand" (1..5000 ms, uniform, fixed seed). Steps: 1 ms and 100 ms advances.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <queue>
#include <random>
#include <vector>

#include "sched/htimerwheel.h"

namespace {

uint64_t ticksMade = 0;

class Counted : public HTimedObject {
public:
    void tick() override { ++ticksMade; }
};

// Period of object i: a fixed one, or 1..5000 ms when `fixed` is 0.
std::vector<int32_t> periodsFor(int count, int32_t fixed) {
    std::vector<int32_t> periods(count, fixed);
    if (fixed == 0) {
        std::mt19937 rng(12345);
        std::uniform_int_distribution<int32_t> pick(1, 5000);
        for (int32_t& p : periods) p = pick(rng);
    }
    return periods;
}

// The first delay of object i, spreading the phases over one period.
int32_t firstDelay(int i, int count, int32_t period) {
    return static_cast<int32_t>((int64_t{i} * period) / count);
}

// --- the binary-heap scheduler the wheel is measured against ---------------------

class HeapScheduler {
public:
    void insert(HTimedObject* object, int32_t delay) { queue.push({now + delay + 1, object}); }
    void advance(int32_t elapsedMs) {
        const int64_t end = now + elapsedMs;
        while (!queue.empty() && queue.top().due <= end) {
            Entry e = queue.top();
            queue.pop();
            e.object->tick();
            queue.push({e.due + e.object->period, e.object});
        }
        now = end;
    }

private:
    struct Entry {
        int64_t due;
        HTimedObject* object;
        bool operator>(const Entry& o) const { return due > o.due; }
    };
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> queue;
    int64_t now = 0;
};

struct Config {
    int count;
    int32_t period; // 0: random
    int32_t step;
};

Config configOf(const benchmark::State& state) {
    return {static_cast<int>(state.range(0)), static_cast<int32_t>(state.range(1)), static_cast<int32_t>(state.range(2))};
}

// Inverted rates: seconds of CPU time per tick and per simulated
// millisecond, printed with SI prefixes ("12.3ns").
void report(benchmark::State& state, uint64_t ticks, int64_t ms) {
    const auto perUnit = benchmark::Counter::kIsRate | benchmark::Counter::kInvert;
    state.counters["ns/ms"] = benchmark::Counter(static_cast<double>(ms), perUnit);
    if (ticks > 0) {
        state.counters["ns/tick"] = benchmark::Counter(static_cast<double>(ticks), perUnit);
        state.counters["ticks/ms"] = static_cast<double>(ticks) / static_cast<double>(ms);
    }
}

// One revolution before timing, so that both schedulers are in their steady
// state (the wheel's parked objects re-armed, the heap's phases mixed).
constexpr int32_t WARM_UP_MS = 5000;

void BM_Wheel(benchmark::State& state) {
    const Config c = configOf(state);
    const std::vector<int32_t> periods = periodsFor(c.count, c.period);
    std::unique_ptr<Counted[]> objects(new Counted[c.count]);
    HTimerWheel wheel;
    for (int i = 0; i < c.count; ++i) {
        objects[i].setTiming(static_cast<uint32_t>(periods[i]), 0, false);
        objects[i].delay = firstDelay(i, c.count, periods[i]);
        wheel.insert(&objects[i]);
        objects[i].active = 1;
    }
    wheel.advance(WARM_UP_MS);
    const uint64_t before = ticksMade;
    int64_t ms = 0;
    for (auto _ : state) {
        wheel.advance(c.step);
        ms += c.step;
    }
    report(state, ticksMade - before, ms);
}

void BM_Heap(benchmark::State& state) {
    const Config c = configOf(state);
    const std::vector<int32_t> periods = periodsFor(c.count, c.period);
    std::unique_ptr<Counted[]> objects(new Counted[c.count]);
    HeapScheduler heap;
    for (int i = 0; i < c.count; ++i) {
        objects[i].setTiming(static_cast<uint32_t>(periods[i]), 0, false);
        heap.insert(&objects[i], firstDelay(i, c.count, periods[i]));
    }
    heap.advance(WARM_UP_MS);
    const uint64_t before = ticksMade;
    int64_t ms = 0;
    for (auto _ : state) {
        heap.advance(c.step);
        ms += c.step;
    }
    report(state, ticksMade - before, ms);
}

void scheduleArgs(benchmark::internal::Benchmark* b) {
    b->ArgNames({"objects", "period", "step"});
    for (int64_t count : {30, 1000, 100000}) {
        for (int64_t period : {15, 25, 1000, 0}) {
            for (int64_t step : {1, 100}) {
                b->Args({count, period, step});
            }
        }
    }
}

BENCHMARK(BM_Wheel)->Apply(scheduleArgs);
BENCHMARK(BM_Heap)->Apply(scheduleArgs);

// --- idle milliseconds ------------------------------------------------------------------

// A wheel with nothing due: empty, or holding objects parked as far away as
// a delay goes (24.8 days, more than a run's iterations reach), which cost
// one walk of the parked list per revolution.
void BM_WheelIdle(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const int32_t step = static_cast<int32_t>(state.range(1));
    std::unique_ptr<Counted[]> objects(new Counted[count]);
    HTimerWheel wheel;
    for (int i = 0; i < count; ++i) {
        objects[i].setTiming(HTimedObject::MAX_PERIOD, 0, false);
        objects[i].delay = INT32_MAX;
        wheel.insert(&objects[i]);
        objects[i].active = 1;
    }
    const uint64_t before = ticksMade;
    int64_t ms = 0;
    for (auto _ : state) {
        wheel.advance(step);
        ms += step;
    }
    if (ticksMade != before) state.SkipWithError("an idle wheel ticked");
    report(state, 0, ms);
}
BENCHMARK(BM_WheelIdle)->ArgNames({"parked", "step"})->Args({0, 1})->Args({0, 100})->Args({0, 1000})->Args({1000, 100});

void BM_HeapIdle(benchmark::State& state) {
    const int32_t step = static_cast<int32_t>(state.range(0));
    Counted far;
    far.setTiming(100000, 0, false);
    HeapScheduler heap;
    heap.insert(&far, INT32_MAX);
    int64_t ms = 0;
    for (auto _ : state) {
        heap.advance(step);
        ms += step;
    }
    report(state, 0, ms);
}
BENCHMARK(BM_HeapIdle)->ArgNames({"step"})->Arg(1)->Arg(100)->Arg(1000);

} // namespace

BENCHMARK_MAIN();
