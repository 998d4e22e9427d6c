// bench_world.cpp: how fast a match runs without a window.
//
// Whole matches between two computer players, from set-up to the end (or
// ten minutes of match time), in a GWorld stepped 1 ms at a time, as the
// game, vk-replay and the tools run them. The counter match_ms_per_s is
// simulated milliseconds per second of CPU: 1000 is real time.
//
// Playback: the same matches played again from their recordings (flags
// handed back by GReplayController), as vk-replay does.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <new>
#include <vector>

#include "game/gcontrollerkinds.h"
#include "game/gengine.h"
#include "game/gplayback.h"
#include "game/greplaycontroller.h"
#include "game/gship.h"
#include "game/gworld.h"

namespace {

constexpr uint32_t LIMIT_MS = 10u * 60u * 1000u;

// One match to its end; returns the milliseconds it lasted.
uint32_t playMatch(uint32_t seed, GReplay* record) {
    GWorld world;
    world.setUpMatch(seed, GWorld::Models(), false);
    steerRecorded(world, CHOICE_COMPUTER, CHOICE_COMPUTER);
    while (!world.over && world.elapsedMs < LIMIT_MS) {
        world.step();
        world.events.clear();
    }
    if (record != nullptr) *record = recordingOf(world, CHOICE_COMPUTER, CHOICE_COMPUTER, world.over ? vkr::END_FINISHED : vkr::END_LEFT);
    return world.elapsedMs;
}

void BM_WholeMatch(benchmark::State& state) {
    uint32_t seed = 1;
    int64_t simulated = 0;
    for (auto _ : state) simulated += playMatch(seed++, nullptr);
    state.counters["match_ms_per_s"] = benchmark::Counter(static_cast<double>(simulated), benchmark::Counter::kIsRate);
    state.counters["mean_match_ms"] =
        benchmark::Counter(static_cast<double>(simulated), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_WholeMatch)->Unit(benchmark::kMillisecond);

void BM_Playback(benchmark::State& state) {
    std::vector<GReplay> replays(32);
    for (uint32_t i = 0; i < replays.size(); i++) playMatch(i + 1, &replays[i]);
    size_t next = 0;
    int64_t simulated = 0;
    bool allMatch = true;
    for (auto _ : state) {
        const GPlayback played = playBack(replays[next]);
        allMatch = allMatch && played.matches;
        simulated += played.endMs;
        next = (next + 1) % replays.size();
    }
    if (!allMatch) state.SkipWithError("a playback did not match its recording");
    state.counters["match_ms_per_s"] = benchmark::Counter(static_cast<double>(simulated), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Playback)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
