// hmixer.cpp: HSoundSink on SDL_mixer.
#include "sound/hmixer.h"

#include <cstdio>

#include <SDL.h>
#include <SDL_mixer.h>

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
    opened = true;
    return true;
}

void HMixer::close() {
    if (!opened) return;
    Mix_HaltChannel(-1);
    for (Mix_Chunk* chunk : chunks) Mix_FreeChunk(chunk);
    chunks.clear();
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    opened = false;
}

int32_t HMixer::load(const char* name) {
    if (!opened) return -1;
    Mix_Chunk* chunk = Mix_LoadWAV(name);
    if (!chunk) {
        fprintf(stderr, "Unable to load sound %s: %s\n", name, Mix_GetError());
        return -1;
    }
    chunks.push_back(chunk);
    return static_cast<int32_t>(chunks.size() - 1);
}

void HMixer::play(int32_t channel, int32_t sound, bool loop, int32_t volume, uint8_t left, uint8_t right) {
    if (!opened || sound < 0 || sound >= static_cast<int32_t>(chunks.size())) return;
    // Starting a channel drops the effects of what it played, its panning
    // among them: the new panning goes on after, before the callback can
    // mix a sample of it.
    SDL_LockAudio();
    Mix_Volume(channel, volume);
    Mix_PlayChannel(channel, chunks[sound], loop ? -1 : 0);
    Mix_SetPanning(channel, left, right);
    SDL_UnlockAudio();
}

void HMixer::setVolume(int32_t channel, int32_t volume) {
    if (opened) Mix_Volume(channel, volume);
}

void HMixer::pause(int32_t channel) {
    if (opened) Mix_Pause(channel);
}

void HMixer::resume(int32_t channel) {
    if (opened) Mix_Resume(channel);
}

void HMixer::halt(int32_t channel) {
    if (opened) Mix_HaltChannel(channel);
}
