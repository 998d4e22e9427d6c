// hmixer.h: the sink that plays through SDL_mixer 1.2.
//
// One device, opened after the video start-up. Effects are loaded into
// memory as a whole, converted by SDL_mixer to the device's format (two
// channels, so twice the file's size). The music loops are streamed from
// their files instead (Mix_LoadMUS): held whole they took about 5.8 MB and
// 3.5 ms of start-up, streamed they take a buffer and the file's header.
// SDL_mixer plays one stream at a time, on its music channel, not on one of
// the mixing channels: whichever channel a stream is played on stands for
// it in setVolume, pause, resume and halt until another stream is played.
// A stream loops without a gap (SDL_mixer fills the rest of a buffer from
// the file's start).
//
// Whatever the volumes, the mix reaches the device through an HLimiter at
// HSound::PEAK_LIMIT, run as SDL_mixer's last effect (MIX_CHANNEL_POST),
// after the channels and the stream are mixed and before a post-mix hook.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "sound/hlimiter.h"
#include "sound/hsoundsink.h"

struct Mix_Chunk;
struct _Mix_Music;

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
    int32_t loadStream(const char* name) override;
    void play(int32_t channel, int32_t sound, bool loop, int32_t volume, uint8_t left, uint8_t right) override;
    void setVolume(int32_t channel, int32_t volume) override;
    void pause(int32_t channel) override;
    void resume(int32_t channel) override;
    void halt(int32_t channel) override;

private:
    HMixer(const HMixer&) = delete;
    HMixer& operator=(const HMixer&) = delete;

    // One of the two is set.
    struct Sound {
        Mix_Chunk* chunk;
        _Mix_Music* stream;
    };
    // The handle of a sound just loaded, or -1 after the line naming it
    // when SDL_mixer could not load it.
    int32_t keep(const char* name, const Sound& sound);
    // SDL_mixer pans no stream: its side gains go into its volume (a
    // stream is played in the middle, where both sides are equal).
    void setStreamVolume(int32_t volume);

    // Null while closed, or when the device took a format other than
    // 16-bit samples (SDL_mixer then converts, and clips at its own full
    // scale).
    std::unique_ptr<HLimiter> limiter;
    std::vector<Sound> sounds;
    int32_t streamChannel = -1;  // the channel the last stream was played on
    uint8_t streamPan = MAX_PAN;  // the louder side's gain of that play
    bool opened = false;
};
