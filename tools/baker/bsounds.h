// bsounds.h: every sound the game plays, made by code.
//
// Each sound is synthesised from oscillators, envelopes and a seeded noise
// generator of our own, so the same build makes the same samples. Output:
// 16-bit mono samples at SOUND_RATE, normalised to a peak of PEAK_SAMPLE
// (just under -1 dBFS), written as PCM WAV files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int32_t SOUND_RATE = 22050;
// 29,200 of 32,767 is -1.001 dBFS.
constexpr int16_t PEAK_SAMPLE = 29200;

struct BSound {
    std::string name;  // the file name the game loads (HSound::fileName)
    std::vector<int16_t> samples;
    bool loop;  // music: the last sample runs on into the first
};

// Every sound, effects first, then the two music loops.
std::vector<BSound> buildSounds();

// Writes a mono 16-bit PCM WAV file at SOUND_RATE; false after a message on
// standard error naming the file.
bool writeWav(const char* path, const std::vector<int16_t>& samples);
