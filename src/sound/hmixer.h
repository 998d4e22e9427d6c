// hmixer.h: the sink that plays through SDL_mixer 1.2.
//
// One device, opened after the video start-up; every sound is loaded into
// memory as a whole (the longest, a music loop, is about a megabyte), so the
// music loops sample-exactly like any effect and is paused like one.
#pragma once

#include <cstdint>
#include <vector>

#include "sound/hsoundsink.h"

struct Mix_Chunk;

class HMixer : public HSoundSink {
public:
    // What the device is opened with. 256 frames at 22,050 Hz is 11.6 ms a
    // buffer: a sound started just after SDL's callback has run reaches the
    // next one within that, and the device's own buffer adds about as much,
    // so a shot is heard within one ship tick (25 ms) of firing.
    static constexpr int32_t RATE = 22050;
    static constexpr int32_t BUFFER_FRAMES = 256;

    HMixer() {}
    // Closes nothing: close() is the owner's, before SDL_Quit.
    ~HMixer() override {}

    // Starts SDL's audio and opens the device with `channels` mixing
    // channels. Without a device: one line on standard error naming SDL's
    // reason, false, and nothing left running.
    bool open(int32_t channels);
    // Frees every sound and closes the device; safe when open() failed, and
    // twice.
    void close();
    bool isOpen() const { return opened; }

    int32_t load(const char* name) override;
    void play(int32_t channel, int32_t sound, bool loop, int32_t volume, uint8_t left, uint8_t right) override;
    void setVolume(int32_t channel, int32_t volume) override;
    void pause(int32_t channel) override;
    void resume(int32_t channel) override;
    void halt(int32_t channel) override;

private:
    HMixer(const HMixer&) = delete;
    HMixer& operator=(const HMixer&) = delete;

    std::vector<Mix_Chunk*> chunks;
    bool opened = false;
};
