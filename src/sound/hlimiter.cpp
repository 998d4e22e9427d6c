// hlimiter.cpp: a peak limiter with instant attack and exponential release.
#include "sound/hlimiter.h"

#include <cmath>
#include <cstdlib>

HLimiter::HLimiter(int32_t ceiling, int32_t rate, int32_t channels)
    : ceiling(ceiling < 1 ? 1 : ceiling > 32767 ? 32767 : ceiling),
      channels(channels < 1 ? 1 : channels),
      keep(static_cast<float>(std::exp(-1.0 / (RELEASE_SECONDS * (rate < 1 ? 1 : rate))))),
      cut(0.0f) {}

void HLimiter::process(int16_t* samples, int32_t frames) {
    for (int32_t f = 0; f < frames; ++f) {
        int16_t* frame = samples + f * channels;
        int32_t loudest = 0;
        for (int32_t c = 0; c < channels; ++c) {
            const int32_t magnitude = std::abs(static_cast<int32_t>(frame[c]));
            if (magnitude > loudest) loudest = magnitude;
        }
        // The cut, not the gain, decays: a gain stepped towards 1 in floats
        // stalls short of it once each step is under half a float's step.
        cut *= keep;
        if (cut < 1.0f / 32768.0f) cut = 0.0f;
        if (loudest > ceiling) {
            const float needed = 1.0f - static_cast<float>(ceiling) / static_cast<float>(loudest);
            if (needed > cut) cut = needed;
        }
        if (cut == 0.0f) continue;
        const float gain = 1.0f - cut;
        for (int32_t c = 0; c < channels; ++c) {
            // Truncated towards zero, then clamped: float rounding in the
            // gain can never carry a sample past the ceiling.
            int32_t value = static_cast<int32_t>(static_cast<float>(frame[c]) * gain);
            if (value > ceiling) value = ceiling;
            if (value < -ceiling) value = -ceiling;
            frame[c] = static_cast<int16_t>(value);
        }
    }
}
