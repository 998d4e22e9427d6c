// bench_skills.cpp: the cost of one tick of a skilled computer player.
//
// A pilot-against-ace match is played, seeded, for 20 s so that shots are in
// flight and both players have something to watch; then the timed player is
// asked for its flags again and again on that world, each call a tick of
// its own (an observation into its ring, a decision on an old one, the
// shots it tracks carried on). Run with --benchmark_repetitions=N for the
// median.
#include <benchmark/benchmark.h>

#include "game/gmatch.h"
#include "game/gship.h"

namespace {

void controlTick(benchmark::State& state, ControllerChoice timed) {
    GMatch match;
    match.setUp(20261208u, timed, timed == CHOICE_ACE ? CHOICE_PILOT : CHOICE_ACE);
    GShip* left = match.world.leftShip();
    GShip* right = match.world.rightShip();
    for (int32_t ms = 0; ms < 20000; ms += 1000) {
        match.advance(1000);
        left->health = GShip::FULL_HEALTH;
        right->health = GShip::FULL_HEALTH;
    }
    // The timed controller runs outside its ship's tick here: it only looks
    // and answers.
    GController* controller = match.controller(SIDE_LEFT);
    uint32_t tick = match.ticks[SIDE_LEFT];
    for (auto _ : state) {
        benchmark::DoNotOptimize(controller->flags(match.world, SIDE_LEFT, ++tick));
        benchmark::ClobberMemory();
    }
}

void BM_PilotTick(benchmark::State& state) { controlTick(state, CHOICE_PILOT); }
void BM_AceTick(benchmark::State& state) { controlTick(state, CHOICE_ACE); }

}  // namespace

BENCHMARK(BM_PilotTick);
BENCHMARK(BM_AceTick);

BENCHMARK_MAIN();
