// What each moment of the game sounds like, heard through a sink that only
// writes down what it is asked: which sound, on which channel, how loud,
// from which side.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/hmatchowner.h"
#include "game/grandom.h"
#include "screens/gengine.h"
#include "game/gship.h"
#include "sound/hsound.h"

namespace {

struct Call {
    std::string what;  // play, volume, pause, resume, halt
    int32_t channel, sound, volume;
    bool loop;
    int left, right;
};

// Handles are not the sounds' positions: 100 + 7 x position.
class RecordingSink : public HSoundSink {
public:
    int32_t load(const char* name) override {
        names.push_back(name);
        return 100 + 7 * static_cast<int32_t>(names.size() - 1);
    }
    void play(int32_t channel, int32_t sound, bool loop, int32_t volume, uint8_t left, uint8_t right) override {
        calls.push_back({"play", channel, sound, volume, loop, left, right});
    }
    void setVolume(int32_t channel, int32_t volume) override { calls.push_back({"volume", channel, -1, volume, false, 0, 0}); }
    void pause(int32_t channel) override { calls.push_back({"pause", channel, -1, -1, false, 0, 0}); }
    void resume(int32_t channel) override { calls.push_back({"resume", channel, -1, -1, false, 0, 0}); }
    void halt(int32_t channel) override { calls.push_back({"halt", channel, -1, -1, false, 0, 0}); }

    int32_t handleOf(HSound::Sound sound) const { return 100 + 7 * sound; }
    std::vector<std::string> names;
    std::vector<Call> calls;
};

GEventList listOf(std::initializer_list<GEvent> events) {
    GEventList list;
    for (const GEvent& event : events) list.push(event);
    return list;
}

// Effects at 80, music at 40: a volume taken from the wrong setting shows.
class SoundTest : public testing::Test {
protected:
    SoundTest() : sound(&sink, 80, 40) { EXPECT_EQ(sound.loadSounds(), HSound::SOUNDS); }

    static int32_t expectedVolume(HSound::Channel channel, int32_t setting) {
        return static_cast<int32_t>(128 * HSound::channelShare(channel) * setting / 100.0);
    }

    RecordingSink sink;
    HSound sound;
};

TEST_F(SoundTest, EachEventPlaysItsSoundOnceOnItsChannelAndSide) {
    struct Case {
        GEvent event;
        HSound::Channel channel;
        HSound::Sound sound;
        int side;  // -1 louder left, +1 louder right, 0 even
    };
    const Case cases[] = {
        {{GEvent::SHOT_FIRED, SIDE_LEFT, -20.0f, 5}, HSound::CHANNEL_SHOT_LEFT, HSound::SOUND_SHOT_LEFT, -1},
        {{GEvent::SHOT_FIRED, SIDE_RIGHT, 18.0f, 5}, HSound::CHANNEL_SHOT_RIGHT, HSound::SOUND_SHOT_RIGHT, 1},
        // Placed by where it happened, not by whose it was: a left ship
        // that has crossed over is heard on the right.
        {{GEvent::SHOT_FIRED, SIDE_LEFT, 12.0f, 5}, HSound::CHANNEL_SHOT_LEFT, HSound::SOUND_SHOT_LEFT, 1},
        {{GEvent::SHIP_HIT, SIDE_LEFT, -15.0f, 9}, HSound::CHANNEL_HIT_LEFT, HSound::SOUND_HIT_LEFT, -1},
        {{GEvent::SHIP_HIT, SIDE_RIGHT, 15.0f, 9}, HSound::CHANNEL_HIT_RIGHT, HSound::SOUND_HIT_RIGHT, 1},
        {{GEvent::SHIPS_BOUNCED, SIDE_NONE, 3.0f, 9}, HSound::CHANNEL_BOUNCE, HSound::SOUND_BOUNCE, 1},
        {{GEvent::LOW_HEALTH, SIDE_RIGHT, 20.0f, 9}, HSound::CHANNEL_ALERT, HSound::SOUND_LOW_HEALTH, 1},
        {{GEvent::LOW_HEALTH, SIDE_LEFT, -20.0f, 9}, HSound::CHANNEL_ALERT, HSound::SOUND_LOW_HEALTH, -1},
        {{GEvent::MATCH_WON, SIDE_LEFT, -10.0f, 9}, HSound::CHANNEL_JINGLE, HSound::SOUND_WON, -1},
        {{GEvent::MATCH_DRAWN, SIDE_NONE, 0.0f, 9}, HSound::CHANNEL_JINGLE, HSound::SOUND_DRAW, 0},
    };
    for (const Case& c : cases) {
        sink.calls.clear();
        sound.matchEvents(listOf({c.event}));
        ASSERT_EQ(sink.calls.size(), 1u) << "event kind " << int(c.event.kind);
        const Call& call = sink.calls[0];
        EXPECT_EQ(call.what, "play");
        EXPECT_EQ(call.channel, c.channel) << "event kind " << int(c.event.kind);
        EXPECT_EQ(call.sound, sink.handleOf(c.sound)) << "event kind " << int(c.event.kind);
        EXPECT_FALSE(call.loop);
        EXPECT_EQ(call.volume, expectedVolume(c.channel, 80)) << "event kind " << int(c.event.kind);
        const int louder = call.left > call.right ? -1 : call.left < call.right ? 1 : 0;
        EXPECT_EQ(louder, c.side) << "x " << c.event.x;
    }
}

TEST_F(SoundTest, SeveralEventsInOneUpdatePlayInTheirOrder) {
    sound.matchEvents(listOf({{GEvent::SHOT_FIRED, SIDE_RIGHT, 10.0f, 1},
                              {GEvent::SHIP_HIT, SIDE_LEFT, -10.0f, 2},
                              {GEvent::SHOT_FIRED, SIDE_LEFT, -10.0f, 3}}));
    ASSERT_EQ(sink.calls.size(), 3u);
    EXPECT_EQ(sink.calls[0].sound, sink.handleOf(HSound::SOUND_SHOT_RIGHT));
    EXPECT_EQ(sink.calls[1].sound, sink.handleOf(HSound::SOUND_HIT_LEFT));
    EXPECT_EQ(sink.calls[2].sound, sink.handleOf(HSound::SOUND_SHOT_LEFT));
}

TEST(SoundPan, EdgesAreOneSideOnlyAndTheMiddleIsEven) {
    uint8_t left, right;
    HSound::panFor(-26.0f, left, right);
    EXPECT_EQ(int(left), 255);
    EXPECT_EQ(int(right), 0);
    HSound::panFor(26.0f, left, right);
    EXPECT_EQ(int(left), 0);
    EXPECT_EQ(int(right), 255);
    HSound::panFor(0.0f, left, right);
    EXPECT_EQ(int(left), int(right));
    EXPECT_EQ(int(left), 180);  // constant power: 255 cos 45 degrees
    HSound::panFor(-80.0f, left, right);  // beyond the field: the edge
    EXPECT_EQ(int(left), 255);
    int previousRight = -1;
    for (float x = -26.0f; x <= 26.0f; x += 1.0f) {
        HSound::panFor(x, left, right);
        EXPECT_GE(int(right), previousRight) << x;
        previousRight = right;
    }
}

TEST(SoundShares, AnyTwoChannelsAtOnceStayUnderMinusOneDecibel) {
    // The loudest settings; each side at most MAX_PAN, so the two largest
    // gains bound the peak of any two sounds at once (more are the
    // mixer's limiter's).
    RecordingSink sink;
    HSound sound(&sink, 100, 100);
    double loudest = 0.0, second = 0.0;
    for (int32_t c = 0; c < HSound::CHANNELS; ++c) {
        const double gain = sound.channelVolume(static_cast<HSound::Channel>(c)) / 128.0;
        second = std::max(second, std::min(loudest, gain));
        loudest = std::max(loudest, gain);
    }
    EXPECT_LE(loudest + second, HSound::PEAK_LIMIT);
    EXPECT_GT(loudest + second, 0.8);  // and not bought with near silence
    // Volumes beyond 100 are taken as 100.
    HSound loud(&sink, 400, 250);
    for (int32_t c = 0; c < HSound::CHANNELS; ++c)
        EXPECT_EQ(loud.channelVolume(static_cast<HSound::Channel>(c)),
                  sound.channelVolume(static_cast<HSound::Channel>(c)));
}

TEST_F(SoundTest, MuteSilencesEveryChannelAndGivesBackTheVolumes) {
    sound.toggleMute();
    ASSERT_EQ(sink.calls.size(), size_t(HSound::CHANNELS));
    for (int32_t c = 0; c < HSound::CHANNELS; ++c) {
        EXPECT_EQ(sink.calls[c].what, "volume");
        EXPECT_EQ(sink.calls[c].channel, c);
        EXPECT_EQ(sink.calls[c].volume, 0);
    }
    sink.calls.clear();
    sound.matchEvents(listOf({{GEvent::SHOT_FIRED, SIDE_LEFT, -5.0f, 1}}));
    ASSERT_EQ(sink.calls.size(), 1u);
    EXPECT_EQ(sink.calls[0].volume, 0);  // plays on, unheard

    sink.calls.clear();
    sound.toggleMute();
    ASSERT_EQ(sink.calls.size(), size_t(HSound::CHANNELS));
    EXPECT_EQ(sink.calls[HSound::CHANNEL_SHOT_LEFT].volume, expectedVolume(HSound::CHANNEL_SHOT_LEFT, 80));
    EXPECT_EQ(sink.calls[HSound::CHANNEL_MUSIC].volume, expectedVolume(HSound::CHANNEL_MUSIC, 40));
}

TEST_F(SoundTest, APausedMatchHoldsEveryChannelAndPlaysNoEvents) {
    sound.matchStarted();
    sink.calls.clear();
    sound.matchPaused(true);
    ASSERT_EQ(sink.calls.size(), size_t(HSound::CHANNELS));
    for (const Call& call : sink.calls) EXPECT_EQ(call.what, "pause");
    sink.calls.clear();
    sound.matchPaused(true);  // already paused: nothing more
    sound.matchEvents(listOf({{GEvent::SHOT_FIRED, SIDE_LEFT, -5.0f, 1}}));
    EXPECT_TRUE(sink.calls.empty());
    sound.matchPaused(false);
    ASSERT_EQ(sink.calls.size(), size_t(HSound::CHANNELS));
    for (const Call& call : sink.calls) EXPECT_EQ(call.what, "resume");
    sink.calls.clear();
    sound.matchEvents(listOf({{GEvent::SHOT_FIRED, SIDE_LEFT, -5.0f, 1}}));
    EXPECT_EQ(sink.calls.size(), 1u);
}

TEST_F(SoundTest, MenuMatchAndResultEachHaveTheirMusic) {
    sound.menuShown();
    ASSERT_EQ(sink.calls.size(), 1u);
    EXPECT_EQ(sink.calls[0].channel, HSound::CHANNEL_MUSIC);
    EXPECT_EQ(sink.calls[0].sound, sink.handleOf(HSound::SOUND_MUSIC_MENU));
    EXPECT_TRUE(sink.calls[0].loop);
    EXPECT_EQ(sink.calls[0].volume, expectedVolume(HSound::CHANNEL_MUSIC, 40));
    sink.calls.clear();
    sound.menuShown();  // the menu's music goes on, not from the start
    EXPECT_TRUE(sink.calls.empty());

    sound.matchStarted();
    ASSERT_EQ(sink.calls.size(), size_t(HSound::CHANNEL_MUSIC + 2));
    for (int32_t c = 0; c < HSound::CHANNEL_MUSIC; ++c) EXPECT_EQ(sink.calls[c].what, "halt");
    EXPECT_EQ(sink.calls[HSound::CHANNEL_MUSIC].sound, sink.handleOf(HSound::SOUND_MATCH_START));
    EXPECT_EQ(sink.calls[HSound::CHANNEL_MUSIC].channel, HSound::CHANNEL_JINGLE);
    EXPECT_EQ(sink.calls.back().sound, sink.handleOf(HSound::SOUND_MUSIC_MATCH));
    EXPECT_TRUE(sink.calls.back().loop);

    sink.calls.clear();
    sound.matchEnded();
    ASSERT_EQ(sink.calls.size(), 1u);
    EXPECT_EQ(sink.calls[0].what, "halt");
    EXPECT_EQ(sink.calls[0].channel, HSound::CHANNEL_MUSIC);
    sink.calls.clear();
    sound.menuShown();
    ASSERT_EQ(sink.calls.size(), 1u);
    EXPECT_EQ(sink.calls[0].sound, sink.handleOf(HSound::SOUND_MUSIC_MENU));
}

TEST_F(SoundTest, AMenuChoiceIsHeardOnItsPlayersSide) {
    sound.menuChoiceChanged(0);
    sound.menuChoiceChanged(1);
    ASSERT_EQ(sink.calls.size(), 2u);
    for (const Call& call : sink.calls) {
        EXPECT_EQ(call.sound, sink.handleOf(HSound::SOUND_MENU_CHOICE));
        EXPECT_EQ(call.volume, expectedVolume(HSound::CHANNEL_JINGLE, 80));
    }
    EXPECT_GT(sink.calls[0].left, sink.calls[0].right);
    EXPECT_LT(sink.calls[1].left, sink.calls[1].right);
}

TEST(SoundNames, EverySoundHasAFileOfItsOwn) {
    RecordingSink sink;
    HSound sound(&sink, 100, 60);
    sound.loadSounds();
    ASSERT_EQ(sink.names.size(), size_t(HSound::SOUNDS));
    for (size_t i = 0; i < sink.names.size(); ++i) {
        EXPECT_NE(sink.names[i].find(".wav"), std::string::npos) << sink.names[i];
        for (size_t j = 0; j < i; ++j) EXPECT_NE(sink.names[i], sink.names[j]);
    }
}

TEST(SoundWithoutSink, EverythingIsQuietlyNothing) {
    HSound sound(nullptr, 100, 60);
    EXPECT_EQ(sound.loadSounds(), 0);
    sound.menuShown();
    sound.matchStarted();
    sound.matchEvents(listOf({{GEvent::SHOT_FIRED, SIDE_LEFT, -5.0f, 1}}));
    sound.toggleMute();
    EXPECT_TRUE(sound.muted());
}

// A whole seeded match of two computers, heard, heard muted, and without
// sound: the same match to the last bit, and the one heard carried both
// sides' shots and its end.
TEST(SoundInAMatch, HearingAMatchChangesNothingInIt) {
    struct Outcome {
        uint64_t hash;
        uint32_t endMs;
        int32_t leftHealth, rightHealth;
    };
    auto play = [](HSound* sound) {
        theSound = sound;
        HMatchOwner owner(nullptr);
        owner.setUpLocal(CHOICE_COMPUTER, CHOICE_COMPUTER, 9u);
        GEngine engine(nullptr, &owner);
        if (sound) sound->matchStarted();
        for (int i = 0; i < 10000 && !engine.match.world.over; ++i) engine.update(16);
        theSound = nullptr;
        const GReplay r = owner.played.replay(0);
        return Outcome{r.hash, r.endMs, r.leftHealth, r.rightHealth};
    };
    RecordingSink sink, mutedSink;
    HSound heard(&sink, 100, 60), muted(&mutedSink, 100, 60);
    heard.loadSounds();
    muted.loadSounds();
    muted.toggleMute();
    const Outcome silent = play(nullptr), withSound = play(&heard), withMute = play(&muted);
    ASSERT_GT(silent.endMs, 0u);
    for (const Outcome& o : {withSound, withMute}) {
        EXPECT_EQ(o.hash, silent.hash);
        EXPECT_EQ(o.endMs, silent.endMs);
        EXPECT_EQ(o.leftHealth, silent.leftHealth);
        EXPECT_EQ(o.rightHealth, silent.rightHealth);
    }
    int shots[2] = {0, 0}, ends = 0;
    for (const Call& call : sink.calls) {
        if (call.sound == sink.handleOf(HSound::SOUND_SHOT_LEFT)) shots[0]++;
        if (call.sound == sink.handleOf(HSound::SOUND_SHOT_RIGHT)) shots[1]++;
        if (call.sound == sink.handleOf(HSound::SOUND_WON) || call.sound == sink.handleOf(HSound::SOUND_DRAW)) ends++;
    }
    // A shot every 250 ms while fire is held, which the computer always does.
    EXPECT_GT(shots[0], int(silent.endMs / 250 / 2));
    EXPECT_GT(shots[1], int(silent.endMs / 250 / 2));
    EXPECT_EQ(ends, 1);
}

}  // namespace
