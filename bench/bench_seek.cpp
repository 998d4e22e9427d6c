// bench_seek.cpp: seeking in a watched replay (game/gseeker.h), over the
// longest replay there can be, and what its saved states take.
//
// The replay: two hours (vkr::MAX_END_MS) of two computer players, seed 1,
// each held to its own edge (the left ship at the top, the right one at
// the bottom) and otherwise flying and firing as the computer does. Their
// shots pass 38 units apart, so nobody is ever struck and the match lasts
// the whole two hours with both ships firing every 250 ms throughout: the
// table is as full as firing can keep it, which is the most a saved state
// takes. The match is recorded as any match is, and the seeker plays the
// recording (GMatch::setUpReplay), as a player watching it would.
//
// - BM_SeekWatched: seeks to targets spread over the two hours (a fixed
//   pseudo-random walk, forth and back), once the replay has been stepped
//   through to its end. Goal: each within 100 ms. Counters max_ms and
//   max_cpu_ms: the slowest seek of the run, in wall and in CPU time.
// - BM_SeekAhead: from the start of a fresh seeker (only second 0 saved)
//   straight to the end: the most a seek into what was not watched can
//   cost, and what the replay screen's set-up costs for its hits. Goal:
//   within 1 s. Counters: saved states, their memory (goal: at most 16 MB)
//   and bytes a state.
// - BM_SeekAheadMinute: the same over a plain computer match of 58.8 s
//   (seed 4): what opening a replay usually costs.
#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>

#include "game/gcontrollerkinds.h"
#include "game/gseeker.h"
#include "game/gship.h"

namespace {

// A computer player held to one edge: its up and down are replaced.
class EdgeHolder : public GController {
public:
    EdgeHolder(GController* inner, uint8_t edge) : inner(inner), edge(edge) {}
    ~EdgeHolder() override { delete inner; }
    uint8_t flags(GWorld& world, GSide side, uint32_t tick) override {
        const uint8_t flags = inner != nullptr ? inner->flags(world, side, tick) : 0;
        return static_cast<uint8_t>((flags & ~(vkr::FLAG_UP | vkr::FLAG_DOWN)) | edge);
    }

private:
    GController* inner;
    uint8_t edge;
};

double cpuMs() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

const GReplay& twoHours() {
    static GReplay replay;
    if (replay.endMs != 0) return replay;
    GMatch match;
    match.setUp(1, CHOICE_COMPUTER, CHOICE_COMPUTER);
    match.setController(SIDE_LEFT, new EdgeHolder(match.takeController(SIDE_LEFT), vkr::FLAG_UP));
    match.setController(SIDE_RIGHT, new EdgeHolder(match.takeController(SIDE_RIGHT), vkr::FLAG_DOWN));
    while (!match.ended()) match.advance(60000);
    replay = match.replay(vkr::END_LEFT);
    return replay;
}

const GReplay& aMinute() {
    static GReplay replay;
    if (replay.endMs != 0) return replay;
    GMatch match;
    match.setUp(4, CHOICE_COMPUTER, CHOICE_COMPUTER);
    while (!match.ended()) match.advance(60000);
    replay = match.replay(vkr::END_FINISHED);
    return replay;
}

void BM_SeekWatched(benchmark::State& state) {
    const GReplay& replay = twoHours();
    GMatch match;
    match.setUpReplay(replay);
    GSeeker seeker(&match, replay.endMs);
    seeker.seek(replay.endMs);
    uint64_t walk = 12345;
    double slowest = 0.0, slowestCpu = 0.0;
    for (auto _ : state) {
        walk = walk * 6364136223846793005ull + 1442695040888963407ull;
        const uint32_t target = static_cast<uint32_t>((walk >> 33) % (replay.endMs + 1));
        const double cpu = cpuMs();
        const auto start = std::chrono::steady_clock::now();
        seeker.seek(target);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        slowest = std::max(slowest, ms);
        slowestCpu = std::max(slowestCpu, cpuMs() - cpu);
        if (match.world.elapsedMs != target) state.SkipWithError("a seek missed its target");
    }
    // The wall time's worst is the machine's (another process ran), the
    // CPU time's the seek's.
    state.counters["max_ms"] = slowest;
    state.counters["max_cpu_ms"] = slowestCpu;
}
BENCHMARK(BM_SeekWatched);

void seekAhead(benchmark::State& state, const GReplay& replay) {
    double memory = 0.0, saved = 0.0, perState = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<GMatch> match(new GMatch);
        match->setUpReplay(replay);
        std::unique_ptr<GSeeker> seeker(new GSeeker(match.get(), replay.endMs));
        state.ResumeTiming();
        seeker->seek(replay.endMs);
        state.PauseTiming();
        if (match->world.stateHash() != replay.hash) state.SkipWithError("the seek did not reach the recorded end");
        memory = static_cast<double>(seeker->memoryBytes());
        saved = seeker->savedCount();
        perState = memory / saved;
        seeker.reset();
        match.reset();
        state.ResumeTiming();
    }
    state.counters["states"] = saved;
    state.counters["memory_MB"] = memory / (1024.0 * 1024.0);
    state.counters["bytes_per_state"] = perState;
}

void BM_SeekAhead(benchmark::State& state) { seekAhead(state, twoHours()); }
BENCHMARK(BM_SeekAhead)->Unit(benchmark::kMillisecond);

void BM_SeekAheadMinute(benchmark::State& state) { seekAhead(state, aMinute()); }
BENCHMARK(BM_SeekAheadMinute)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
