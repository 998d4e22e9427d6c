// bench_sound.cpp: what the sound costs and how soon a shot is heard.
// A program that prints its figures (no Google Benchmark timings).
//
// Latency: a shot's event handed to HSound, as the match hands it right
// after the update whose tick fired it, until the first callback of SDL's
// audio thread that carries a sample of it, seen by a post-mix hook
// (Mix_SetPostMix) that stamps each callback with the time. The dummy
// driver runs that callback once a buffer, as a sound card would; the
// music is off, so the first non-zero sample is the shot's. 300 shots, each
// after a wait of its own so that shots fall at every point of a buffer.
//
// Start-up: opening the device (HMixer::open) and loading every sound
// (HSound::loadSounds), with the dummy and with the disk driver, 15 times
// each: the median.
//
// Frame cost: one pass of the main loop as a computer match has it (a
// 16 ms update, the draw and the swap, in a 640 x 480 window) with the
// sound on (device open, theSound set, every event played) and off (no
// device), in alternating blocks of 300 passes in one run: the medians of
// each block. Needs DISPLAY.
//
// Sounds are read from VEKTORAK_BAKED_DIR (the build's data folder).
#include <GL/gl.h>
#include <SDL.h>
#include <SDL_mixer.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/shell.h"
#include "app/hmatchowner.h"
#include "game/grandom.h"
#include "screens/gengine.h"
#include "game/gship.h"
#include "sound/hmixer.h"
#include "sound/hsound.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[std::min(v.size() - 1, static_cast<size_t>(p * v.size()))];
}

// The waits between shots: a generator of the bench's own.
uint32_t lcg = 12345u;
uint32_t nextWait(uint32_t range) {
    lcg = lcg * 1664525u + 1013904223u;
    return (lcg >> 8) % range;
}

std::atomic<int64_t> lastCallbackNs{0}, firstSoundNs{0};
std::atomic<int> callbackCount{0};

void stamp(void*, Uint8* stream, int len) {
    const int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
    const Sint16* samples = reinterpret_cast<const Sint16*>(stream);
    bool sound = false;
    for (int i = 0; i < len / 2 && !sound; ++i) sound = samples[i] != 0;
    if (sound && firstSoundNs.load() == 0) firstSoundNs = now;
    lastCallbackNs = now;
    callbackCount++;
}

void latency() {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    HMixer mixer;
    if (!mixer.open(HSound::CHANNELS)) return;
    HSound sound(&mixer, 100, 0);
    sound.loadSounds();
    Mix_SetPostMix(stamp, nullptr);
    // The callbacks' own pace first.
    SDL_Delay(200);
    const int before = callbackCount;
    const Clock::time_point t0 = Clock::now();
    SDL_Delay(1000);
    const double perCallback = msSince(t0, Clock::now()) / (callbackCount - before);

    std::vector<double> delays;
    GEventList shot;
    shot.push({GEvent::SHOT_FIRED, SIDE_LEFT, -10.0f, 1});
    for (int i = 0; i < 300; ++i) {
        usleep(20000 + nextWait(12000));
        firstSoundNs = 0;
        const Clock::time_point fired = Clock::now();
        sound.matchEvents(shot);
        while (firstSoundNs.load() == 0 && msSince(fired, Clock::now()) < 500) usleep(100);
        const int64_t heard = firstSoundNs.load();
        const int64_t firedNs =
            std::chrono::duration_cast<std::chrono::nanoseconds>(fired.time_since_epoch()).count();
        delays.push_back(heard ? (heard - firedNs) / 1e6 : 500.0);
        mixer.halt(HSound::CHANNEL_SHOT_LEFT);
        usleep(30000);  // a silent callback between shots
    }
    Mix_SetPostMix(nullptr, nullptr);
    mixer.close();
    printf("latency, dummy driver, %d frames at %d Hz (%.1f ms a buffer; a callback every %.2f ms):\n",
           HMixer::BUFFER_FRAMES, HMixer::RATE, 1000.0 * HMixer::BUFFER_FRAMES / HMixer::RATE, perCallback);
    printf("  event to first sample in the callback: median %.2f ms, 95%% %.2f ms, worst %.2f ms (%zu shots)\n",
           median(delays), percentile(delays, 0.95), *std::max_element(delays.begin(), delays.end()),
           delays.size());
}

void startUp(const char* driver) {
    setenv("SDL_AUDIODRIVER", driver, 1);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    std::vector<double> open, load;
    for (int i = 0; i < 15; ++i) {
        HMixer mixer;
        const Clock::time_point t0 = Clock::now();
        if (!mixer.open(HSound::CHANNELS)) return;
        const Clock::time_point t1 = Clock::now();
        HSound sound(&mixer, 100, 60);
        sound.loadSounds();
        const Clock::time_point t2 = Clock::now();
        open.push_back(msSince(t0, t1));
        load.push_back(msSince(t1, t2));
        mixer.close();
    }
    printf("start-up, %s driver: opening %.2f ms, loading the %d sounds %.2f ms, together %.2f ms (medians of 15)\n",
           driver, median(open), static_cast<int>(HSound::SOUNDS), median(load), median(open) + median(load));
}

void frameCost() {
    if (SDL_Init(SDL_INIT_VIDEO) < 0 || (SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1), false) ||
        !SDL_SetVideoMode(640, 480, 0, SDL_OPENGL)) {
        fprintf(stderr, "frame cost: no OpenGL window (is DISPLAY set?): %s\n", SDL_GetError());
        return;
    }
    initGl(640, 480);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    HMatchOwner owner(nullptr);
    owner.setUpLocal(CHOICE_COMPUTER, CHOICE_COMPUTER, 7u);
    GEngine engine(nullptr, &owner);
    auto pass = [&engine]() {
        const Clock::time_point t0 = Clock::now();
        engine.update(16);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        engine.draw();
        SDL_GL_SwapBuffers();
        for (GShip* ship : {engine.rightShip(), engine.leftShip()})
            if (ship->health < 50) ship->health = GShip::FULL_HEALTH;
        return msSince(t0, Clock::now());
    };
    for (int i = 0; i < 200; ++i) pass();  // shots in flight, renderer warmed up
    std::vector<double> on, off;
    printf("frame cost, 640 x 480, 16 ms updates of a computer match, blocks of 300 passes (medians):\n ");
    for (int block = 0; block < 8; ++block) {
        const bool sounding = block % 2 == 0;
        HMixer mixer;
        HSound sound(&mixer, 100, 60);
        if (sounding) {
            if (!mixer.open(HSound::CHANNELS)) return;
            sound.loadSounds();
            sound.matchStarted();
            theSound = &sound;
        }
        std::vector<double> times;
        for (int i = 0; i < 300; ++i) times.push_back(pass());
        theSound = nullptr;
        mixer.close();
        printf(" %s %.3f", sounding ? "on" : "off", median(times));
        (sounding ? on : off).insert((sounding ? on : off).end(), times.begin(), times.end());
    }
    printf(" ms\n  all passes: on %.3f ms, off %.3f ms (medians of %zu each)\n", median(on), median(off), on.size());
}

}  // namespace

int main() {
#ifdef VEKTORAK_BAKED_DIR
    if (chdir(VEKTORAK_BAKED_DIR) != 0) perror(VEKTORAK_BAKED_DIR);
#endif
    if (SDL_Init(0) < 0) return 1;
    startUp("dummy");
    startUp("disk");
    latency();
    frameCost();
    SDL_Quit();
    return 0;
}
