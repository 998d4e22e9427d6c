// The real mixer on SDL's dummy driver: what reaches SDL's audio callback.
// Every sound here is one hand-written file, a full-scale square wave, so
// the mix shows the gains alone.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>

#include <SDL.h>
#include <SDL_mixer.h>

#include "sound/hmixer.h"
#include "sound/hsound.h"
#include "support/tempdir.h"

namespace {

// 44-byte header: PCM, mono, 22,050 Hz, 16 bits, 8,820 samples; then the
// samples, 20 at +32,767 and 20 at -32,767 in turn: 0.4 s.
std::string squareWav() {
    const unsigned char header[44] = {'R', 'I', 'F', 'F', 0x0c, 0x45, 0, 0,   'W', 'A', 'V', 'E', 'f', 'm', 't',
                                      ' ', 16,   0,    0, 0,   1,    0,   1,   0,   0x22, 0x56, 0,  0,   0x44, 0xac,
                                      0,   0,    2,    0, 16,  0,    'd', 'a', 't', 'a', 0xe8, 0x44, 0, 0};
    std::string bytes(reinterpret_cast<const char*>(header), sizeof header);
    for (int i = 0; i < 8820; ++i) bytes += (i / 20) % 2 == 0 ? std::string("\xff\x7f", 2) : std::string("\x01\x80", 2);
    return bytes;
}

std::atomic<int> leftPeak{0}, rightPeak{0}, callbacks{0};

void measure(void*, Uint8* stream, int len) {
    const Sint16* samples = reinterpret_cast<const Sint16*>(stream);
    int left = leftPeak.load(), right = rightPeak.load();
    for (int i = 0; i + 1 < len / 2; i += 2) {
        left = std::max(left, std::abs(static_cast<int>(samples[i])));
        right = std::max(right, std::abs(static_cast<int>(samples[i + 1])));
    }
    leftPeak = left;
    rightPeak = right;
    callbacks++;
}

// Waits for `count` more callbacks, with the peaks measured afresh; after
// a change, first lets a callback under way end.
void listen(int count, bool settle = true) {
    if (settle) SDL_Delay(30);
    leftPeak = rightPeak = 0;
    const int until = callbacks + count;
    for (int waited = 0; callbacks < until && waited < 5000; waited += 5) SDL_Delay(5);
}

class MixerTest : public testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        for (int32_t s = 0; s < HSound::SOUNDS; ++s) dir.write(HSound::fileName(static_cast<HSound::Sound>(s)), squareWav());
        ASSERT_TRUE(mixer.open(HSound::CHANNELS));
        Mix_SetPostMix(measure, nullptr);
    }
    void TearDown() override {
        Mix_SetPostMix(nullptr, nullptr);
        mixer.close();
        EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    }

    ScopedTempDir dir;
    HMixer mixer;
};

// Every channel at once, at the loudest settings, each placed hard left:
// the left side carries the sum of all the gains, three times full scale,
// and the limiter holds it under -1 dBFS.
TEST_F(MixerTest, EveryChannelAtOnceStaysUnderMinusOneDecibel) {
    HSound sound(&mixer, 100, 100);
    ASSERT_EQ(sound.loadSounds(), HSound::SOUNDS);
    GEventList events;
    const float edge = -HSound::FIELD_HALF_WIDTH;
    for (GEvent::Kind kind : {GEvent::SHOT_FIRED, GEvent::SHIP_HIT, GEvent::SHIPS_BOUNCED, GEvent::LOW_HEALTH,
                              GEvent::MATCH_WON}) {
        events.push({kind, SIDE_LEFT, edge, 1});
        events.push({kind, SIDE_RIGHT, edge, 1});
    }
    SDL_LockAudio();  // all start in the same callback, in phase
    sound.matchStarted();
    sound.matchEvents(events);
    SDL_UnlockAudio();
    listen(2, false);
    EXPECT_LE(leftPeak.load(), 29203);
    EXPECT_GE(leftPeak.load(), 25000);
    // Only the music's right half, in the middle at 0.7 of its share, is on
    // the right, turned down by the same gain as the left.
    const int musicHalf = sound.channelVolume(HSound::CHANNEL_MUSIC) * 180 / 255 * 32767 / 128;
    EXPECT_LT(rightPeak.load(), musicHalf * 0.95);
    EXPECT_GT(rightPeak.load(), musicHalf * 0.8);

    // Once they have rung out (0.4 s from the start) and the gain is back
    // to 1 (0.41 s after the deepest cut), a shot alone is as loud as its
    // volume makes it, to the sample. The time is the mix's: 100 buffers.
    sound.matchEnded();
    listen(100);
    GEventList shot;
    shot.push({GEvent::SHOT_FIRED, SIDE_LEFT, edge, 1});
    sound.matchEvents(shot);
    listen(2);
    EXPECT_EQ(leftPeak.load(), 32767 * sound.channelVolume(HSound::CHANNEL_SHOT_LEFT) / 128);
}

TEST_F(MixerTest, PauseAndMuteSilenceTheMixAndGiveItBack) {
    HSound sound(&mixer, 100, 60);
    ASSERT_EQ(sound.loadSounds(), HSound::SOUNDS);
    // The music is streamed from its file: past the start's sound and its
    // own 0.4 s it is all that is heard, so it looped, and the pause and
    // mute below reach the stream.
    sound.matchStarted();
    SDL_Delay(600);
    listen(2);
    EXPECT_GT(leftPeak.load(), 1000);
    sound.matchPaused(true);
    listen(4);
    EXPECT_EQ(leftPeak.load() + rightPeak.load(), 0);
    sound.matchPaused(false);
    listen(2);
    EXPECT_GT(leftPeak.load(), 1000);
    sound.toggleMute();
    listen(4);
    EXPECT_EQ(leftPeak.load() + rightPeak.load(), 0);
    sound.toggleMute();
    listen(2);
    EXPECT_GT(leftPeak.load(), 1000);
}

TEST_F(MixerTest, AMissingSoundIsNamedOnceAndPlaysNothing) {
    std::remove(HSound::fileName(HSound::SOUND_BOUNCE));
    testing::internal::CaptureStderr();
    HSound sound(&mixer, 100, 60);
    EXPECT_EQ(sound.loadSounds(), HSound::SOUNDS - 1);
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(errors.rfind("Unable to load sound bounce.wav: ", 0), 0u) << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    GEventList events;
    events.push({GEvent::SHIPS_BOUNCED, SIDE_NONE, 0.0f, 1});
    sound.matchEvents(events);
    listen(2);
    EXPECT_EQ(leftPeak.load() + rightPeak.load(), 0);
}

TEST(MixerWithoutDevice, SaysWhyInOneLineAndLeavesNothingRunning) {
    setenv("SDL_AUDIODRIVER", "nosuchdriver", 1);
    HMixer mixer;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(mixer.open(HSound::CHANNELS));
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(errors.rfind("No sound: ", 0), 0u) << errors;
    EXPECT_GT(errors.size(), std::string("No sound: \n").size()) << "SDL's reason is missing";
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    EXPECT_EQ(mixer.load("bounce.wav"), -1);
    mixer.close();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
}

}  // namespace
