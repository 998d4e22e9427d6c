// bsounds.cpp: the effects and the two music loops.
//
// Everything is built in doubles at SOUND_RATE and scaled to PEAK_SAMPLE at
// the end. The music is written into a ring: a note that rings on past the
// end of the loop wraps round to its beginning, so the join is as smooth as
// any other moment of it.
#include "baker/bsounds.h"

#include <cmath>
#include <cstdio>

#include "sound/hsound.h"

namespace {

constexpr double TWO_PI = 6.283185307179586;

// xorshift32: the noise of every sound, the same on every build.
class Noise {
public:
    explicit Noise(uint32_t seed) : state(seed ? seed : 1u) {}
    // -1 .. 1
    double next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<double>(state) / 2147483647.5 - 1.0;
    }

private:
    uint32_t state;
};

using Buffer = std::vector<double>;

int32_t samplesFor(double seconds) { return static_cast<int32_t>(std::lround(seconds * SOUND_RATE)); }

double noteFrequency(int midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12.0); }

// A soft square: the first three odd harmonics.
double softSquare(double phase) {
    return std::sin(phase) + std::sin(3.0 * phase) / 3.0 + std::sin(5.0 * phase) / 5.0;
}

// Attack of `attack` seconds, then an exponential fall to 1/e in `decay`.
double percussive(double t, double attack, double decay) {
    if (t < attack) return t / attack;
    return std::exp(-(t - attack) / decay);
}

std::vector<int16_t> normalised(const Buffer& buffer) {
    double peak = 0.0;
    for (double v : buffer) peak = std::fmax(peak, std::fabs(v));
    const double scale = peak > 0.0 ? PEAK_SAMPLE / peak : 0.0;
    std::vector<int16_t> out(buffer.size());
    for (size_t i = 0; i < buffer.size(); ++i) out[i] = static_cast<int16_t>(std::lround(buffer[i] * scale));
    return out;
}

// --- effects ----------------------------------------------------------------

// The left ship's shot: a soft square that falls from 1400 to 350 Hz.
Buffer shotLeft() {
    Buffer b(samplesFor(0.17));
    double phase = 0.0;
    for (size_t i = 0; i < b.size(); ++i) {
        const double t = static_cast<double>(i) / SOUND_RATE;
        phase += TWO_PI * 1400.0 * std::pow(0.25, t / 0.17) / SOUND_RATE;
        b[i] = softSquare(phase) * percussive(t, 0.002, 0.05);
    }
    return b;
}

// The right ship's: a frequency-modulated voice, lower and rounder, with
// a click of noise as it leaves.
Buffer shotRight() {
    Buffer b(samplesFor(0.2));
    Noise noise(0x5eed0001u);
    double carrier = 0.0, modulator = 0.0;
    for (size_t i = 0; i < b.size(); ++i) {
        const double t = static_cast<double>(i) / SOUND_RATE;
        const double f = 750.0 * std::pow(0.24, t / 0.2);
        carrier += TWO_PI * f / SOUND_RATE;
        modulator += TWO_PI * f * 1.5 / SOUND_RATE;
        const double index = 3.0 * std::exp(-t / 0.06);
        b[i] = std::sin(carrier + index * std::sin(modulator)) * percussive(t, 0.003, 0.06) +
               0.5 * noise.next() * std::exp(-t / 0.006);
    }
    return b;
}

// A hit: a thump that falls in pitch under a burst of filtered noise;
// `thump` sets the thump's pitch and `bright` the noise's colour, so each
// ship's hit has its own.
Buffer hit(double thump, double bright, uint32_t seed) {
    Buffer b(samplesFor(0.38));
    Noise noise(seed);
    double phase = 0.0, low = 0.0;
    for (size_t i = 0; i < b.size(); ++i) {
        const double t = static_cast<double>(i) / SOUND_RATE;
        phase += TWO_PI * thump * std::pow(0.45, t / 0.38) / SOUND_RATE;
        low += bright * (noise.next() - low);
        b[i] = std::sin(phase) * percussive(t, 0.002, 0.1) + 1.4 * low * percussive(t, 0.001, 0.07);
    }
    return b;
}

// Two ships meeting: two inharmonic partials that wobble as they ring.
Buffer bounce() {
    Buffer b(samplesFor(0.42));
    double a = 0.0, c = 0.0;
    for (size_t i = 0; i < b.size(); ++i) {
        const double t = static_cast<double>(i) / SOUND_RATE;
        const double wobble = 1.0 + 0.08 * std::sin(TWO_PI * 11.0 * t) * std::exp(-t / 0.15);
        a += TWO_PI * 190.0 * wobble / SOUND_RATE;
        c += TWO_PI * 301.0 * wobble / SOUND_RATE;
        b[i] = (std::sin(a) + 0.6 * std::sin(c)) * percussive(t, 0.004, 0.12);
    }
    return b;
}

// Beeps: `notes` midi notes of `length` seconds with `gap` between them.
Buffer beeps(const std::vector<int>& notes, double length, double gap, double last) {
    const double step = length + gap;
    Buffer b(samplesFor(step * (notes.size() - 1) + last + 0.05));
    for (size_t n = 0; n < notes.size(); ++n) {
        const double hold = n + 1 == notes.size() ? last : length;
        const int32_t start = samplesFor(step * n), count = samplesFor(hold);
        const double f = noteFrequency(notes[n]);
        for (int32_t i = 0; i < count && start + i < static_cast<int32_t>(b.size()); ++i) {
            const double t = static_cast<double>(i) / SOUND_RATE;
            const double release = std::fmin(1.0, (hold - t) / 0.01);
            b[start + i] += (std::sin(TWO_PI * f * t) + 0.3 * std::sin(TWO_PI * 2.0 * f * t)) *
                            std::fmin(1.0, t / 0.004) * release * std::exp(-t / (hold * 0.8));
        }
    }
    return b;
}

// A match starting: a rising sweep into a bright fifth.
Buffer matchStart() {
    Buffer b(samplesFor(0.85));
    double phase = 0.0;
    const int32_t sweep = samplesFor(0.4);
    for (int32_t i = 0; i < static_cast<int32_t>(b.size()); ++i) {
        const double t = static_cast<double>(i) / SOUND_RATE;
        if (i < sweep) {
            phase += TWO_PI * (200.0 * std::pow(4.0, t / 0.4)) / SOUND_RATE;
            b[i] = 0.6 * softSquare(phase) * std::fmin(1.0, t / 0.02);
        } else {
            const double u = t - 0.4;
            b[i] = (std::sin(TWO_PI * noteFrequency(72) * u) + std::sin(TWO_PI * noteFrequency(79) * u) +
                    0.5 * std::sin(TWO_PI * noteFrequency(84) * u)) *
                   std::fmin(1.0, u / 0.005) * std::exp(-u / 0.18);
        }
    }
    return b;
}

// --- music -------------------------------------------------------------------

class Ring {
public:
    explicit Ring(int32_t length) : b(length, 0.0) {}

    // A note from sample `start` for `hold` seconds, then a release of
    // `release` seconds, wrapping round the end of the loop.
    template <typename Voice>
    void note(int32_t start, double hold, double release, double amplitude, Voice voice) {
        const int32_t count = samplesFor(hold + release);
        for (int32_t i = 0; i < count; ++i) {
            const double t = static_cast<double>(i) / SOUND_RATE;
            double envelope = std::fmin(1.0, t / 0.01);
            if (t > hold) envelope *= 1.0 - (t - hold) / release;
            b[(start + i) % b.size()] += amplitude * envelope * voice(t);
        }
    }
    const Buffer& buffer() const { return b; }

private:
    Buffer b;
};

// Four chords (midi roots and their thirds and fifths), each held
// `beatsEach` beats, `rounds` times over.
struct Progression {
    int chords[4][3];
};

// The menu: 120 beats a minute, 64 beats (32 s). A slow pad, an arpeggio in
// eighths and a bass note on each half bar, over A minor, F, C and G.
Buffer menuMusic() {
    const int32_t beat = SOUND_RATE * 60 / 120;
    const int32_t beats = 64;
    Ring ring(beat * beats);
    const Progression p = {{{57, 60, 64}, {53, 57, 60}, {48, 52, 55}, {55, 59, 62}}};
    for (int32_t bar = 0; bar < beats / 4; ++bar) {
        const int* chord = p.chords[(bar / 2) % 4];
        const int32_t barStart = bar * 4 * beat;
        if (bar % 2 == 0) {
            for (int k = 0; k < 3; ++k) {
                const double f = noteFrequency(chord[k]);
                ring.note(barStart, 3.6, 0.6, 0.16, [f](double t) {
                    return std::sin(TWO_PI * f * t) + 0.5 * std::sin(TWO_PI * f * 1.003 * t + 1.0);
                });
            }
        }
        for (int32_t half = 0; half < 2; ++half) {
            const double f = noteFrequency(chord[0] - 12);
            ring.note(barStart + half * 2 * beat, 0.8, 0.2, 0.35,
                      [f](double t) { return std::sin(TWO_PI * f * t) * std::exp(-t / 0.6); });
        }
        for (int32_t eighth = 0; eighth < 8; ++eighth) {
            static const int order[8] = {0, 1, 2, 1, 0, 2, 1, 2};
            const double f = noteFrequency(chord[order[eighth]] + 12 + (eighth == 7 ? 12 : 0));
            ring.note(barStart + eighth * beat / 2, 0.18, 0.08, 0.12, [f](double t) {
                return (std::sin(TWO_PI * f * t) + 0.25 * std::sin(TWO_PI * 3.0 * f * t)) * std::exp(-t / 0.15);
            });
        }
    }
    return ring.buffer();
}

// The match: 140 beats a minute, 80 beats (about 34 s). A bass in
// eighths, an arpeggio in sixteenths, a kick on each beat and a hiss on
// the off-beats, over D minor, B flat, C and A.
Buffer matchMusic() {
    const int32_t beat = SOUND_RATE * 60 / 140;
    const int32_t beats = 80;
    Ring ring(beat * beats);
    const Progression p = {{{50, 53, 57}, {46, 50, 53}, {48, 52, 55}, {45, 49, 52}}};
    uint32_t seed = 0x6a7c0001u;
    for (int32_t bar = 0; bar < beats / 4; ++bar) {
        const int* chord = p.chords[bar % 4];
        const int32_t barStart = bar * 4 * beat;
        for (int32_t eighth = 0; eighth < 8; ++eighth) {
            const double f = noteFrequency(chord[0] - 12 + (eighth % 4 == 3 ? 12 : 0));
            ring.note(barStart + eighth * beat / 2, 0.15, 0.04, 0.3,
                      [f](double t) { return softSquare(TWO_PI * f * t) * std::exp(-t / 0.12); });
        }
        for (int32_t sixteenth = 0; sixteenth < 16; ++sixteenth) {
            const int step = sixteenth % 4;
            const double f = noteFrequency(chord[step == 3 ? 1 : step] + 24);
            const double loud = bar % 8 < 4 ? 0.07 : 0.1;
            ring.note(barStart + sixteenth * beat / 4, 0.08, 0.03, loud,
                      [f](double t) { return std::sin(TWO_PI * f * t) * std::exp(-t / 0.05); });
        }
        for (int32_t b = 0; b < 4; ++b) {
            ring.note(barStart + b * beat, 0.12, 0.03, 0.45, [](double t) {
                return std::sin(TWO_PI * 55.0 * t * (1.0 + 2.0 * std::exp(-t / 0.02))) * std::exp(-t / 0.06);
            });
            Noise noise(seed++);
            double previous = 0.0;
            ring.note(barStart + b * beat + beat / 2, 0.04, 0.02, 0.12, [noise, previous](double t) mutable {
                const double white = noise.next();
                const double high = white - previous;  // a first difference: only the hiss
                previous = white;
                return high * std::exp(-t / 0.015);
            });
        }
    }
    return ring.buffer();
}

}  // namespace

std::vector<BSound> buildSounds() {
    std::vector<BSound> sounds;
    auto add = [&sounds](HSound::Sound sound, const Buffer& buffer, bool loop) {
        sounds.push_back({HSound::fileName(sound), normalised(buffer), loop});
    };
    add(HSound::SOUND_SHOT_LEFT, shotLeft(), false);
    add(HSound::SOUND_SHOT_RIGHT, shotRight(), false);
    add(HSound::SOUND_HIT_LEFT, hit(120.0, 0.25, 0x5eed0002u), false);
    add(HSound::SOUND_HIT_RIGHT, hit(170.0, 0.55, 0x5eed0003u), false);
    add(HSound::SOUND_BOUNCE, bounce(), false);
    add(HSound::SOUND_LOW_HEALTH, beeps({83, 78, 83, 78}, 0.09, 0.05, 0.09), false);
    add(HSound::SOUND_WON, beeps({72, 76, 79, 84}, 0.13, 0.02, 0.6), false);
    add(HSound::SOUND_DRAW, beeps({67, 66, 65, 60}, 0.16, 0.03, 0.5), false);
    add(HSound::SOUND_MENU_CHOICE, beeps({88}, 0.05, 0.0, 0.05), false);
    add(HSound::SOUND_MATCH_START, matchStart(), false);
    add(HSound::SOUND_MUSIC_MENU, menuMusic(), true);
    add(HSound::SOUND_MUSIC_MATCH, matchMusic(), true);
    return sounds;
}

namespace {

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xffff);
    put16(out, v >> 16);
}

}  // namespace

bool writeWav(const char* path, const std::vector<int16_t>& samples) {
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    std::vector<uint8_t> out;
    out.reserve(44 + dataBytes);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put32(out, 36 + dataBytes);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(out, 16);
    put16(out, 1);  // PCM
    put16(out, 1);  // mono
    put32(out, SOUND_RATE);
    put32(out, SOUND_RATE * 2);  // bytes a second
    put16(out, 2);               // bytes a frame
    put16(out, 16);              // bits a sample
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put32(out, dataBytes);
    for (int16_t s : samples) put16(out, static_cast<uint16_t>(s));

    FILE* file = fopen(path, "wb");
    bool written = file && fwrite(out.data(), 1, out.size(), file) == out.size();
    if (file && fclose(file) != 0) written = false;
    if (!written) fprintf(stderr, "Unable to write %s\n", path);
    return written;
}
