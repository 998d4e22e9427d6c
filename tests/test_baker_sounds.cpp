// The baker's sounds: the same bytes every time, in the format SDL_mixer
// reads, as long as they are meant to be, loud but under -1 dBFS, and loops
// that run on from their end into their start without a step.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "baker/bakeall.h"
#include "sound/hsound.h"
#include "support/tempdir.h"

namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t le(const std::string& bytes, size_t at, int size) {
    uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(bytes[at + i]);
    return v;
}

// A canonical 44-byte header is all the baker writes; anything else fails.
struct Wav {
    bool ok = false;
    std::vector<int16_t> samples;
};

Wav parse(const std::string& bytes) {
    Wav wav;
    if (bytes.size() < 44 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 8, "WAVEfmt ") != 0 ||
        bytes.compare(36, 4, "data") != 0)
        return wav;
    if (le(bytes, 4, 4) != bytes.size() - 8 || le(bytes, 16, 4) != 16) return wav;
    // PCM, mono, 22,050 Hz, 44,100 bytes a second, 2 bytes a frame, 16 bits.
    if (le(bytes, 20, 2) != 1 || le(bytes, 22, 2) != 1 || le(bytes, 24, 4) != 22050 || le(bytes, 28, 4) != 44100 ||
        le(bytes, 32, 2) != 2 || le(bytes, 34, 2) != 16)
        return wav;
    const uint32_t data = le(bytes, 40, 4);
    if (data != bytes.size() - 44 || data % 2 != 0) return wav;
    for (size_t at = 44; at < bytes.size(); at += 2) wav.samples.push_back(static_cast<int16_t>(le(bytes, at, 2)));
    wav.ok = true;
    return wav;
}

class BakerSoundsTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        first = new ScopedTempDir();
        baked = bakeSounds(first->path().c_str());
    }
    static void TearDownTestSuite() {
        delete first;
        first = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(baked); }

    static std::string file(HSound::Sound sound) { return readAll(first->path() + "/" + HSound::fileName(sound)); }

    static ScopedTempDir* first;
    static bool baked;
};
ScopedTempDir* BakerSoundsTest::first = nullptr;
bool BakerSoundsTest::baked = false;

bool isMusic(int32_t sound) { return sound == HSound::SOUND_MUSIC_MENU || sound == HSound::SOUND_MUSIC_MATCH; }

TEST_F(BakerSoundsTest, EverySoundIsBakedAndListed) {
    const std::vector<std::string>& names = bakedFileNames();
    for (int32_t s = 0; s < HSound::SOUNDS; ++s) {
        const char* name = HSound::fileName(static_cast<HSound::Sound>(s));
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
        EXPECT_TRUE(std::filesystem::exists(first->path() + "/" + name)) << name;
    }
}

TEST_F(BakerSoundsTest, TheSameBytesEveryTime) {
    const std::string again = first->path() + "/again";
    std::filesystem::create_directory(again);
    ASSERT_TRUE(bakeSounds(again.c_str()));
    for (int32_t s = 0; s < HSound::SOUNDS; ++s) {
        const char* name = HSound::fileName(static_cast<HSound::Sound>(s));
        EXPECT_EQ(readAll(again + "/" + name), file(static_cast<HSound::Sound>(s))) << name;
    }
}

TEST_F(BakerSoundsTest, FormatLengthAndLoudness) {
    for (int32_t s = 0; s < HSound::SOUNDS; ++s) {
        const char* name = HSound::fileName(static_cast<HSound::Sound>(s));
        const Wav wav = parse(file(static_cast<HSound::Sound>(s)));
        ASSERT_TRUE(wav.ok) << name;
        const double seconds = wav.samples.size() / 22050.0;
        if (isMusic(s)) {
            EXPECT_GE(seconds, 30.0) << name;
            EXPECT_LE(seconds, 40.0) << name;
        } else {
            // Long enough to hear, short enough not to blur into the next.
            EXPECT_GE(seconds, 0.05) << name;
            EXPECT_LE(seconds, 1.5) << name;
        }
        int peak = 0;
        double energy = 0.0;
        for (int16_t v : wav.samples) {
            peak = std::max(peak, std::abs(static_cast<int>(v)));
            energy += static_cast<double>(v) * v;
        }
        // -1 dBFS of 32,767 is 29,203.4.
        EXPECT_LE(peak, 29203) << name;
        EXPECT_GE(peak, 29000) << name << ": not brought up to the common peak";
        const double rms = std::sqrt(energy / wav.samples.size());
        EXPECT_GT(rms, 1500.0) << name << " is all but silent";
    }
}

TEST_F(BakerSoundsTest, EachSideHasItsOwnShotAndHitAndNeitherSoundsLikeTheOther) {
    const HSound::Sound distinct[] = {HSound::SOUND_SHOT_LEFT, HSound::SOUND_SHOT_RIGHT, HSound::SOUND_HIT_LEFT,
                                      HSound::SOUND_HIT_RIGHT};
    for (HSound::Sound a : distinct)
        for (HSound::Sound b : distinct)
            if (a < b) {
                EXPECT_NE(file(a), file(b)) << HSound::fileName(a) << " " << HSound::fileName(b);
            }
}

// The step from the last sample into the first is no larger than the steps
// the loop takes within itself almost everywhere.
TEST_F(BakerSoundsTest, LoopsJoinWithoutAStep) {
    for (HSound::Sound s : {HSound::SOUND_MUSIC_MENU, HSound::SOUND_MUSIC_MATCH}) {
        const Wav wav = parse(file(s));
        ASSERT_TRUE(wav.ok);
        std::vector<int> steps;
        for (size_t i = 1; i < wav.samples.size(); ++i) steps.push_back(std::abs(wav.samples[i] - wav.samples[i - 1]));
        std::sort(steps.begin(), steps.end());
        const int typical = steps[steps.size() * 99 / 100];
        const int join = std::abs(wav.samples.front() - wav.samples.back());
        EXPECT_LE(join, typical) << HSound::fileName(s) << ": the loop's end and start are " << join
                                 << " apart; 99% of its steps are at most " << typical;
        // And the loop does not start or end in silence, where a join would
        // hide: the first and last 50 ms carry sound.
        for (size_t from : {size_t(0), wav.samples.size() - 1103}) {
            int peak = 0;
            for (size_t i = from; i < from + 1103; ++i) peak = std::max(peak, std::abs(int(wav.samples[i])));
            EXPECT_GT(peak, 1000) << HSound::fileName(s) << " at sample " << from;
        }
    }
}

}  // namespace
