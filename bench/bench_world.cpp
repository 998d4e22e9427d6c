// bench_world.cpp: how fast a match runs without a window, and what saving
// and restoring it costs.
//
// Whole matches between two computer players, from set-up to the end (or
// ten minutes of match time), stepped 1 ms at a time through GMatch, as the
// game, vk-replay and the tools run them. The counter match_ms_per_s is
// simulated milliseconds per second of CPU: 1000 is real time.
//
// Playback: the same matches played again from their recordings (flags
// handed back by GReplayController), as vk-replay does. Counting: the same
// recordings played back and their events counted (countMatch), which the
// result screen waits for once a match has ended.
//
// Save and restore: a world with a full table (the two ships, the
// background and 27 shots) saved into a GWorldState and restored, each
// pair timed together; once with the world as it was saved (everything
// written over in place), once after it has stepped on four ship ticks (the
// shots moved, some gone and some new, as a rollback finds it). And the same
// for a whole match of two skilled players, whose controllers keep a ring
// of observations each.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "game/gmatch.h"
#include "game/gmatchstats.h"
#include "game/gplayback.h"
#include "game/gprojectile.h"
#include "game/gship.h"

namespace {

constexpr uint32_t LIMIT_MS = 10u * 60u * 1000u;

// One match to its end; returns the milliseconds it lasted.
uint32_t playMatch(uint32_t seed, GReplay* record) {
    GMatch match;
    match.setUp(seed, CHOICE_COMPUTER, CHOICE_COMPUTER);
    match.advance(LIMIT_MS);
    if (record != nullptr) *record = match.replay(match.world.over ? vkr::END_FINISHED : vkr::END_LEFT);
    return match.world.elapsedMs;
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

void BM_CountMatch(benchmark::State& state) {
    std::vector<GReplay> replays(32);
    for (uint32_t i = 0; i < replays.size(); i++) playMatch(i + 1, &replays[i]);
    size_t next = 0;
    int64_t simulated = 0;
    for (auto _ : state) {
        GMatchStats counted = countMatch(replays[next]);
        benchmark::DoNotOptimize(counted);
        simulated += replays[next].endMs;
        next = (next + 1) % replays.size();
    }
    state.counters["match_ms_per_s"] = benchmark::Counter(static_cast<double>(simulated), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CountMatch)->Unit(benchmark::kMillisecond);

// A match whose table is full: shots spread along the field, three of every
// four the left ship's, which the ships cannot reach. Shots never tick into
// each other, so the table stays full for a while.
void fillTable(GMatch& match) {
    GWorld& world = match.world;
    world.rightShip()->position = Vec3(20.0f, 15.0f, -50.0f);
    world.leftShip()->position = Vec3(-20.0f, 15.0f, -50.0f);
    for (int32_t i = 0; world.objectCount < GWorld::MAX_OBJECTS; i++) {
        GProjectile* shot = new GProjectile(&world, i % 4 == 0 ? world.rightShip() : world.leftShip());
        shot->position = Vec3(-25.0f + 1.8f * static_cast<float>(i), -10.0f, -50.0f);
        shot->right = true;
        if (!world.addObject(shot)) delete shot;
    }
}

void saveRestore(benchmark::State& state, ControllerChoice players, bool steppedOn) {
    GMatch match;
    match.setUp(7, players, players);
    match.advance(5000);
    fillTable(match);
    // The full table, restored in every iteration; `scratch` takes the
    // save, as a rollback saves the present before it goes back.
    GMatchState saved, scratch;
    bool ok = match.save(saved);
    int64_t objects = 0;
    for (auto _ : state) {
        if (steppedOn) {
            state.PauseTiming();
            match.advance(4 * GShip::PERIOD_MS);
            state.ResumeTiming();
        }
        ok = ok && match.save(scratch) && match.restore(saved);
        objects += match.world.objectCount;
        benchmark::ClobberMemory();
    }
    if (!ok) state.SkipWithError("the match could not be saved or restored");
    state.counters["objects"] = benchmark::Counter(static_cast<double>(objects), benchmark::Counter::kAvgIterations);
}

void BM_SaveRestoreWorld(benchmark::State& state) { saveRestore(state, -1, false); }
void BM_SaveRestoreWorldSteppedOn(benchmark::State& state) { saveRestore(state, -1, true); }
void BM_SaveRestoreAces(benchmark::State& state) { saveRestore(state, CHOICE_ACE, false); }
BENCHMARK(BM_SaveRestoreWorld);
BENCHMARK(BM_SaveRestoreWorldSteppedOn);
BENCHMARK(BM_SaveRestoreAces);

}  // namespace

BENCHMARK_MAIN();
