// hlimiter.h: holds a mix of 16-bit samples at or under a ceiling.
//
// Why: the channels' shares (HSound::channelShare) are set so that a match
// is loud enough to hear (about -20 dBFS RMS), and then three or more
// sounds peaking in the same instant add up past -1 dBFS. Measured over a
// whole match that is a handful of samples in a million; bounding every
// channel by the worst case instead kept the mix 11 dB quieter. The
// limiter takes those instants down and leaves everything else alone.
//
// How: one gain for all channels of a frame, so a sound keeps its place
// between the sides. A frame whose loudest sample is over the ceiling
// lowers the gain at once to what brings it to the ceiling (no look-ahead:
// the sample itself is the first one turned down); the gain then returns
// towards 1 with a time constant of RELEASE_SECONDS, and is exactly 1 again
// once within 1/32768 of it, so a mix under the ceiling passes bit for bit.
// SDL_mixer clips its sum at full scale before the limiter sees it, so the
// deepest cut is to 0.891, and the way back from it takes 0.41 s.
//
// Guarantee: no output sample exceeds the ceiling in magnitude, whatever
// the input (-32768 included): each is the input times a gain that is at
// most ceiling / |input| whenever |input| is over the ceiling, rounded
// towards zero, and clamped to the ceiling besides.
#pragma once

#include <cstdint>

class HLimiter {
public:
    static constexpr double RELEASE_SECONDS = 0.05;

    // ceiling: the largest magnitude let through (29,203 is -1 dBFS);
    // rate: frames a second; channels: samples a frame (1 or more).
    HLimiter(int32_t ceiling, int32_t rate, int32_t channels);

    // Limits `frames` interleaved frames in place.
    void process(int16_t* samples, int32_t frames);

    // The gain the next frame starts from: 1 when nothing has been turned
    // down lately.
    float gain() const { return 1.0f - cut; }
    int32_t frameSamples() const { return channels; }

private:
    int32_t ceiling;
    int32_t channels;
    float keep;  // the share of the cut left after each frame
    float cut;   // 1 - gain
};
