// hmixer.cpp: HSoundSink on SDL_mixer.
#include "sound/hmixer.h"

#include <cstdio>

#include <SDL.h>
#include <SDL_mixer.h>

#include "sound/hsound.h"

namespace {

// Runs in SDL's audio thread, with the audio locked.
void limitMix(int, void* stream, int bytes, void* data) {
    HLimiter* limiter = static_cast<HLimiter*>(data);
    limiter->process(static_cast<int16_t*>(stream), bytes / 2 / limiter->frameSamples());
}

}  // namespace

bool HMixer::open(int32_t channels) {
    if (opened) return true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) < 0) {
        fprintf(stderr, "No sound: %s\n", SDL_GetError());
        return false;
    }
    if (Mix_OpenAudio(RATE, AUDIO_S16SYS, 2, BUFFER_FRAMES) < 0) {
        fprintf(stderr, "No sound: %s\n", Mix_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    Mix_AllocateChannels(channels);
    int rate = 0, deviceChannels = 0;
    Uint16 format = 0;
    if (Mix_QuerySpec(&rate, &format, &deviceChannels) != 0 && format == AUDIO_S16SYS && deviceChannels > 0) {
        limiter.reset(new HLimiter(static_cast<int32_t>(HSound::PEAK_LIMIT * 32767.0), rate, deviceChannels));
        Mix_RegisterEffect(MIX_CHANNEL_POST, limitMix, nullptr, limiter.get());
    }
    opened = true;
    return true;
}

void HMixer::close() {
    if (!opened) return;
    Mix_HaltChannel(-1);
    Mix_HaltMusic();
    for (const Sound& sound : sounds) {
        if (sound.chunk) Mix_FreeChunk(sound.chunk);
        if (sound.stream) Mix_FreeMusic(sound.stream);
    }
    sounds.clear();
    streamChannel = -1;
    if (limiter) Mix_UnregisterEffect(MIX_CHANNEL_POST, limitMix);
    Mix_CloseAudio();
    limiter.reset();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    opened = false;
}

int32_t HMixer::load(const char* name) { return opened ? keep(name, {Mix_LoadWAV(name), nullptr}) : -1; }

int32_t HMixer::loadStream(const char* name) {
    // Reads the header only; a file that is no WAV fails here, as load()
    // would, and not later in the audio thread.
    return opened ? keep(name, {nullptr, Mix_LoadMUS(name)}) : -1;
}

int32_t HMixer::keep(const char* name, const Sound& sound) {
    if (!sound.chunk && !sound.stream) {
        fprintf(stderr, "Unable to load sound %s: %s\n", name, Mix_GetError());
        return -1;
    }
    sounds.push_back(sound);
    return static_cast<int32_t>(sounds.size() - 1);
}

void HMixer::play(int32_t channel, int32_t sound, bool loop, int32_t volume, uint8_t left, uint8_t right) {
    if (!opened || sound < 0 || sound >= static_cast<int32_t>(sounds.size())) return;
    if (Mix_Music* stream = sounds[sound].stream) {
        // The stream takes the channel's place: an effect it played stops.
        Mix_HaltChannel(channel);
        streamChannel = channel;
        streamPan = left > right ? left : right;
        setStreamVolume(volume);
        Mix_PlayMusic(stream, loop ? -1 : 1);
        return;
    }
    // An effect on the stream's channel ends the stream.
    if (channel == streamChannel) halt(channel);
    // Starting a channel drops the effects of what it played, its panning
    // among them: the new panning goes on after, before the callback can
    // mix a sample of it.
    SDL_LockAudio();
    Mix_Volume(channel, volume);
    Mix_PlayChannel(channel, sounds[sound].chunk, loop ? -1 : 0);
    Mix_SetPanning(channel, left, right);
    SDL_UnlockAudio();
}

void HMixer::setStreamVolume(int32_t volume) {
    // Rounded down, as HSound rounds its volumes, so that no gain grows.
    Mix_VolumeMusic(volume * streamPan / MAX_PAN);
}

void HMixer::setVolume(int32_t channel, int32_t volume) {
    if (!opened) return;
    if (channel == streamChannel) setStreamVolume(volume);
    Mix_Volume(channel, volume);
}

void HMixer::pause(int32_t channel) {
    if (!opened) return;
    if (channel == streamChannel) Mix_PauseMusic();
    Mix_Pause(channel);
}

void HMixer::resume(int32_t channel) {
    if (!opened) return;
    if (channel == streamChannel) Mix_ResumeMusic();
    Mix_Resume(channel);
}

void HMixer::halt(int32_t channel) {
    if (!opened) return;
    if (channel == streamChannel) {
        Mix_HaltMusic();
        streamChannel = -1;
    }
    Mix_HaltChannel(channel);
}
