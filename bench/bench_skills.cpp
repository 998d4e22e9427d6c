// bench_skills.cpp: the cost of one tick of a skilled computer player.
//
// A pilot-against-ace match is played, seeded, for 20 s so that shots are in
// flight and both players have something to watch; then the timed player's
// control() is called again and again on that world, each call a tick of
// its own (an observation into its ring, a decision on an old one, the
// shots it tracks carried on). Run with --benchmark_repetitions=N for the
// median.
#include <benchmark/benchmark.h>

#include "game/gcontroller.h"
#include "game/gcontrollerkinds.h"
#include "game/gship.h"
#include "game/gworld.h"

namespace {

void controlTick(benchmark::State& state, ControllerChoice timed) {
    GWorld world;
    world.setUpMatch(20261208u, GWorld::Models(), false);
    GShip* left = world.leftShip();
    GShip* right = world.rightShip();
    left->setController(makeController(timed, &world, left));
    right->setController(makeController(timed == CHOICE_ACE ? CHOICE_PILOT : CHOICE_ACE, &world, right));
    auto play = [&](int32_t ms) {
        world.advance(ms);
        world.events.clear();
        left->health = GShip::FULL_HEALTH;
        right->health = GShip::FULL_HEALTH;
    };
    play(20000);
    // The timed controller runs outside its ship's tick here: it only looks
    // and sets flags.
    GController* controller = left->controller;
    for (auto _ : state) {
        controller->control();
        benchmark::ClobberMemory();
    }
}

void BM_PilotTick(benchmark::State& state) { controlTick(state, CHOICE_PILOT); }
void BM_AceTick(benchmark::State& state) { controlTick(state, CHOICE_ACE); }

}  // namespace

BENCHMARK(BM_PilotTick);
BENCHMARK(BM_AceTick);

BENCHMARK_MAIN();
