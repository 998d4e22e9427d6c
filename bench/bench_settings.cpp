// bench_settings.cpp: opening the settings screen from the menu (`s`) and
// going back (Escape), each up to its first frame drawn and finished.
//
// The real screens in a real OpenGL window (SDL 1.2; needs DISPLAY, Xvfb
// with Mesa's software renderer will do), with the baked files of
// build/data as the working directory, as the game runs. The goal: under
// 50 ms each. Going back builds the whole menu anew (its pictures, the
// font and three models), which is the larger of the two.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <GL/gl.h>
#include <SDL.h>

#include <cstdio>

#include "app/happlication.h"
#include "app/shell.h"

namespace {

HApplication* application = nullptr;

// The key as the event pump hands it on, then the frame that shows it.
void press(uint32_t sym, uint8_t key) {
    application->symbolDown(sym, key, 0);
    application->draw();
    glFinish();
}

void BM_OpenSettings(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        application->showMenu();
        application->draw();
        glFinish();
        state.ResumeTiming();
        press(SDLK_s, 's');
    }
}
BENCHMARK(BM_OpenSettings)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BackToTheMenu(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        application->showSettings();
        application->draw();
        glFinish();
        state.ResumeTiming();
        press(SDLK_ESCAPE, 27);
    }
}
BENCHMARK(BM_BackToTheMenu)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    if (chdir(VEKTORAK_BAKED_DIR) != 0 || SDL_Init(SDL_INIT_VIDEO) < 0 ||
        SDL_SetVideoMode(640, 480, 0, SDL_OPENGL) == nullptr) {
        fprintf(stderr, "bench_settings: no window (DISPLAY?) or no %s\n", VEKTORAK_BAKED_DIR);
        return 1;
    }
    initGl(640, 480);
    application = new HApplication();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete application;
    SDL_Quit();
    return 0;
}
