// hsoundsink.h: where HSound sends what it wants heard.
//
// The game's sink is HMixer (SDL_mixer); tests put a recording one in its
// place, so the choice of sound, channel, volume and side is checked without
// an audio device.
#pragma once

#include <cstdint>

class HSoundSink {
public:
    virtual ~HSoundSink() {}

    // Loads the 16-bit PCM WAV file `name` from the working directory.
    // Returns a handle of 0 or more, or -1 (after one line on standard error
    // naming the file) when it cannot be read; playing -1 plays nothing.
    virtual int32_t load(const char* name) = 0;
    // The same for a long sound that plays on one channel only (the music):
    // a sink may read it from its file while it plays instead of holding
    // it whole. A sink that does not stream loads it as any other.
    virtual int32_t loadStream(const char* name) { return load(name); }

    // Starts `sound` on `channel` from its beginning, cutting off whatever
    // that channel played; `loop` repeats it without end. `volume` is 0 to
    // MAX_VOLUME, `left` and `right` the gain of each side, 0 to MAX_PAN.
    virtual void play(int32_t channel, int32_t sound, bool loop, int32_t volume, uint8_t left, uint8_t right) = 0;
    virtual void setVolume(int32_t channel, int32_t volume) = 0;
    // A paused channel keeps its place; resume goes on from there.
    virtual void pause(int32_t channel) = 0;
    virtual void resume(int32_t channel) = 0;
    virtual void halt(int32_t channel) = 0;

    // SDL_mixer's scales: MIX_MAX_VOLUME and Mix_SetPanning's 255.
    static constexpr int32_t MAX_VOLUME = 128;
    static constexpr uint8_t MAX_PAN = 255;
};
