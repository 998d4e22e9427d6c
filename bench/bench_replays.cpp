// bench_replays.cpp: opening the replay screen from the menu (`l`) with a
// full library, GReplayLibrary::KEEP (200) replays, timed from the key to
// the screen's first frame drawn and finished. The screen lists the folder
// and reads every file whole (CRC and all) before that frame; the menu's
// sky behind the list follows a frame later, timed apart.
//
// The real screens in a real OpenGL window (SDL 1.2; needs DISPLAY, Xvfb
// with Mesa's software renderer will do), with the baked files of
// build/data as the working directory, as the game runs. The replays are
// made at start-up in a scratch folder that VEKTORAK_REPLAY_FOLDER names,
// as the launcher names the player's: each a 66 s match between computers
// as the recorder would keep it, about 264 runs a ship of 1 to 19 ticks
// (greplay.h measured a median of 264 runs a ship per 66 s), some 1.2 KB.
// The goal: under 100 ms.
#include <benchmark/benchmark.h>

#include <sys/stat.h>  // Required for: mkdir
#include <unistd.h>

#include <GL/gl.h>
#include <SDL.h>

#include <cstdio>
#include <cstdlib>  // Required for: setenv, mkdtemp
#include <ctime>
#include <filesystem>
#include <random>
#include <string>

#include "app/happlication.h"
#include "app/shell.h"
#include "game/greplay.h"
#include "game/greplaylibrary.h"
#include "screens/mreplays.h"

namespace {

HApplication* application = nullptr;

// One ship's flags for `ticks` ticks, in runs of 1 to 19 ticks, each run's
// flags unlike the one before.
void steer(GFlagStream& stream, uint32_t ticks, std::mt19937& random) {
    uint8_t flags = 0;
    while (stream.tickCount() < ticks) {
        uint8_t next = static_cast<uint8_t>(random() & vkr::FLAG_MASK);
        if (next == flags) next ^= vkr::FLAG_FIRE;
        flags = next;
        const uint32_t run = 1 + random() % 19;
        for (uint32_t i = 0; i < run && stream.tickCount() < ticks; i++) stream.append(flags);
    }
}

// Fills `folder` with `count` replays, a second apart, and returns their bytes.
size_t makeLibrary(const std::string& folder, size_t count) {
    mkdir(folder.c_str(), 0777);
    std::mt19937 random(2026);
    size_t bytes = 0;
    for (size_t i = 0; i < count; i++) {
        GReplay replay;
        replay.leftChoice = static_cast<ControllerChoice>(2 + i % 3);
        replay.rightChoice = static_cast<ControllerChoice>(2 + i / 3 % 3);
        replay.seed = static_cast<uint32_t>(i);
        replay.endMs = 66000;
        steer(replay.left, replay.endMs / vkr::TICK_MS, random);
        steer(replay.right, replay.endMs / vkr::TICK_MS, random);
        replay.end = vkr::END_FINISHED;
        replay.leftHealth = 35;
        replay.rightHealth = -5;
        const std::tm when = {static_cast<int>(i % 60), static_cast<int>(i / 60), 20, 9, 11, 126, 0, 0, 0, 0, nullptr};
        const std::string path =
            folder + "/" +
            GReplayLibrary::fileName(when, 1, GReplayLibrary::sideName(replay.leftChoice, false),
                                     GReplayLibrary::sideName(replay.rightChoice, false));
        if (!saveReplay(path.c_str(), replay)) return 0;
        bytes += std::filesystem::file_size(path);
    }
    return bytes;
}

void press(uint32_t sym, uint8_t key) {
    application->symbolDown(sym, key, 0);
    application->draw();
    glFinish();
}

// Untimed: the menu, drawn, as the player sees it when pressing `l`; then
// timed: the key and the replay screen's first frame.
void openFromTheMenu(benchmark::State& state) {
    state.PauseTiming();
    application->showMenu();
    application->draw();
    glFinish();
    state.ResumeTiming();
    press(SDLK_l, 'l');
}

void BM_OpenReplays(benchmark::State& state) {
    for (auto _ : state) {
        openFromTheMenu(state);
    }
    auto* screen = dynamic_cast<MReplays*>(application->currentScreen);
    state.counters["replays"] = screen != nullptr ? static_cast<double>(screen->entries.size()) : -1.0;
}
BENCHMARK(BM_OpenReplays)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same, on to the frame that has the menu's sky behind the list: the
// dropped update after the switch, the one that loads the sky, its frame.
void BM_OpenReplaysWithTheSky(benchmark::State& state) {
    for (auto _ : state) {
        openFromTheMenu(state);
        application->update(1);
        application->update(1);
        application->draw();
        glFinish();
    }
}
BENCHMARK(BM_OpenReplaysWithTheSky)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    char pattern[] = "/tmp/vektorak-bench-XXXXXX";
    const char* scratch = mkdtemp(pattern);
    const std::string folder = std::string(scratch != nullptr ? scratch : "/tmp") + "/replays";
    const size_t bytes = scratch != nullptr ? makeLibrary(folder, GReplayLibrary::KEEP) : 0;
    if (bytes == 0) {
        fprintf(stderr, "bench_replays: cannot make the replays in %s\n", folder.c_str());
        return 1;
    }
    printf("%zu replays, %zu bytes in all, in %s\n", static_cast<size_t>(GReplayLibrary::KEEP), bytes, folder.c_str());
    setenv(GReplayLibrary::FOLDER_VARIABLE, folder.c_str(), 1);
    if (chdir(VEKTORAK_BAKED_DIR) != 0 || SDL_Init(SDL_INIT_VIDEO) < 0 ||
        SDL_SetVideoMode(640, 480, 0, SDL_OPENGL) == nullptr) {
        fprintf(stderr, "bench_replays: no window (DISPLAY?) or no %s\n", VEKTORAK_BAKED_DIR);
        return 1;
    }
    initGl(640, 480);
    application = new HApplication();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete application;
    SDL_Quit();
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
    return 0;
}
