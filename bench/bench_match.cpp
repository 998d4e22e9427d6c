// bench_match.cpp: the cost of running and showing a match.
//
// Update: one GEngine::update (timing wheel, ship and shot ticks, collision
// passes, end test, deletions) of a computer-against-computer match at the
// game's own 1 ms pace and at a 16 ms frame pace. The ships' health is
// topped up between updates so that the match never ends and both keep
// firing: the table holds the two ships, the background and their shots
// (7 to 11 objects in steady play).
//
// Frame: one draw of the same match (camera, background, ships, shots,
// health bars) and the buffer swap, in an SDL OpenGL window of 640 by 480
// and of 1920 by 1080, with the game's artwork. Pass: what the main loop
// does once per pass at 640 by 480, a 1 ms update and a frame. Needs an X
// server in DISPLAY (Xvfb with Mesa's software renderer here).
//
// The artwork is read from VEKTORAK_DATA_DIR, or else from data/ beside the
// directory of this executable (build/data for build/bench/bench_match).
#include <benchmark/benchmark.h>

#include <initializer_list>

#include <GL/gl.h>
#include <SDL.h>
#include <limits.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <memory>

#include "app/hmatchowner.h"
#include "app/shell.h"
#include "assets/htexturestore.h"
#include "screens/texturedquad.h"
#include "screens/gengine.h"
#include "game/grandom.h"
#include "game/gship.h"

namespace {

std::string dataDir() {
    if (const char* env = getenv("VEKTORAK_DATA_DIR")) return env;
    char exe[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return "data";
    std::string path(exe, static_cast<size_t>(n));
    path = path.substr(0, path.rfind('/'));   // .../build/bench
    path = path.substr(0, path.rfind('/'));   // .../build
    return path + "/data";
}

// A match between two computer players, brought to steady play.
class Match {
public:
    // The match's seed is drawn after srand(seed), as the menu's Return
    // draws it.
    explicit Match(unsigned seed)
        : owner(nullptr),
          engine((srand(seed), owner.setUpLocal(CHOICE_COMPUTER, CHOICE_COMPUTER, drawMatchSeed()), nullptr), &owner) {
        for (int i = 0; i < 200; i++) step(16);  // 3.2 s: shots in flight
    }
    void step(int32_t ms) {
        engine.update(ms);
        // No application to hand a result to: keep both ships in play.
        for (GShip* ship : {engine.rightShip(), engine.leftShip()}) {
            if (ship->health < 50) ship->health = GShip::FULL_HEALTH;
        }
    }
    HMatchOwner owner;
    GEngine engine;
};

void BM_MatchUpdate(benchmark::State& state) {
    const int32_t stepMs = static_cast<int32_t>(state.range(0));
    Match match(1);
    int64_t objects = 0;
    for (auto _ : state) {
        match.step(stepMs);
        objects += match.engine.match.world.objectCount;
    }
    state.counters["objects"] =
        benchmark::Counter(static_cast<double>(objects), benchmark::Counter::kAvgIterations);
    state.counters["match_ms_per_s"] =
        benchmark::Counter(static_cast<double>(stepMs), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_MatchUpdate)->Arg(1)->Arg(16)->Unit(benchmark::kMicrosecond);

// One window for the whole run, opened by main before anything loads its
// textures; its size is set per benchmark.
bool openWindow(int32_t width, int32_t height) {
    static bool started = false;
    if (!started) {
        if (SDL_Init(SDL_INIT_VIDEO) < 0) {
            fprintf(stderr, "Unable to initialize SDL: %s\n", SDL_GetError());
            return false;
        }
        started = true;
    }
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    if (!SDL_SetVideoMode(width, height, 0, SDL_OPENGL)) {
        fprintf(stderr, "Unable to create OpenGL screen: %s\n", SDL_GetError());
        return false;
    }
    initGl(width, height);
    return true;
}

void frame(GEngine& engine) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    engine.draw();
    SDL_GL_SwapBuffers();
}

// Every SDL_SetVideoMode makes a new OpenGL context, and Mesa's software
// renderer compiles its code for each combination of state on first use:
// some tens of milliseconds that a game pays once. Frames are drawn until
// that is over before anything is timed.
void warmUp(Match& match) {
    for (int i = 0; i < 60; i++) {
        match.step(16);
        frame(match.engine);
    }
    glFinish();
}

void BM_MatchFrame(benchmark::State& state) {
    if (!openWindow(static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)))) {
        state.SkipWithError("no OpenGL window (is DISPLAY set?)");
        return;
    }
    Match match(2);
    warmUp(match);
    int i = 0;
    for (auto _ : state) {
        // The scene moves on as it would between frames: 16 ms every 16
        // frames keeps the timed part of this loop almost all drawing.
        if (++i % 16 == 0) match.step(16);
        frame(match.engine);
    }
    glFinish();
}
BENCHMARK(BM_MatchFrame)->Args({640, 480})->Args({1920, 1080})->Unit(benchmark::kMicrosecond);

// The floor under every frame: clearing and presenting an empty one. Under
// Xvfb the swap copies the whole back buffer into the X server.
void BM_EmptyFrame(benchmark::State& state) {
    if (!openWindow(static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)))) {
        state.SkipWithError("no OpenGL window (is DISPLAY set?)");
        return;
    }
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        SDL_GL_SwapBuffers();
    }
    glFinish();
}
BENCHMARK(BM_EmptyFrame)->Args({640, 480})->Args({1920, 1080})->Unit(benchmark::kMicrosecond);

// The textured-quad floor: clearing, one window-sized quad of the match's
// own backdrop picture, and presenting. What any picture of the field costs.
void BM_QuadFrame(benchmark::State& state) {
    if (!openWindow(static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)))) {
        state.SkipWithError("no OpenGL window (is DISPLAY set?)");
        return;
    }
    const int32_t picture = theTextureStore.load(GView::BACKDROP_PICTURE);
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
        theTextureStore.bind(picture);
        drawTexturedQuad(-55.0f, 43.0f, 55.0f, -43.0f, -100.0f);
        SDL_GL_SwapBuffers();
    }
    glFinish();
    theTextureStore.release(picture);
}
BENCHMARK(BM_QuadFrame)->Args({640, 480})->Args({1920, 1080})->Unit(benchmark::kMicrosecond);

// A match frame with a wreck on screen: the right ship's health run out,
// its bursts, glow and pieces in flight; the wreck starts again in a new
// match whenever it has played out, so every frame has one.
void BM_WreckFrame(benchmark::State& state) {
    if (!openWindow(static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)))) {
        state.SkipWithError("no OpenGL window (is DISPLAY set?)");
        return;
    }
    std::unique_ptr<Match> match;
    int64_t sparks = 0;
    int i = 0;
    for (auto _ : state) {
        if (!match || !match->engine.wrecking()) {
            state.PauseTiming();
            match.reset(new Match(3));
            match->engine.rightShip()->health = 0;
            match->engine.update(1);
            state.ResumeTiming();
        }
        if (++i % 4 == 0) match->engine.update(16);
        sparks += match->engine.view.effects.sparkCount();
        frame(match->engine);
    }
    glFinish();
    state.counters["sparks"] = benchmark::Counter(static_cast<double>(sparks), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_WreckFrame)->Args({640, 480})->Args({1920, 1080})->Unit(benchmark::kMicrosecond);

// Drawing alone, finished but not presented: what the match itself asks of
// the renderer.
void BM_MatchDrawOnly(benchmark::State& state) {
    if (!openWindow(static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)))) {
        state.SkipWithError("no OpenGL window (is DISPLAY set?)");
        return;
    }
    Match match(2);
    warmUp(match);
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        match.engine.draw();
        glFinish();
    }
}
BENCHMARK(BM_MatchDrawOnly)->Args({640, 480})->Args({1920, 1080})->Unit(benchmark::kMicrosecond);

void BM_MatchPass(benchmark::State& state) {
    if (!openWindow(640, 480)) {
        state.SkipWithError("no OpenGL window (is DISPLAY set?)");
        return;
    }
    Match match(3);
    warmUp(match);
    for (auto _ : state) {
        match.step(1);
        frame(match.engine);
    }
    glFinish();
}
BENCHMARK(BM_MatchPass)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    const std::string dir = dataDir();
    if (chdir(dir.c_str()) != 0) {
        fprintf(stderr, "Unable to enter the data directory %s\n", dir.c_str());
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    // The match's models load their textures into OpenGL, so the window
    // comes first, also for the update figures.
    if (!openWindow(640, 480)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    SDL_Quit();
    return 0;
}
