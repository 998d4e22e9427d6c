// hsound.cpp: from the game's moments to channels, volumes and sides.
#include "sound/hsound.h"

#include "game/gworld.h"

#include <cmath>

HSound* theSound = nullptr;

namespace {

int32_t clampPercent(int32_t value) { return value < 0 ? 0 : value > 100 ? 100 : value; }

}  // namespace

const char* HSound::fileName(Sound sound) {
    static const char* const names[SOUNDS] = {
        "shot_left.wav",   "shot_right.wav", "hit_left.wav",    "hit_right.wav",
        "bounce.wav",      "low_health.wav", "won.wav",         "draw.wav",
        "menu_choice.wav", "match_start.wav", "music_menu.wav", "music_match.wav"};
    return sound >= 0 && sound < SOUNDS ? names[sound] : "";
}

double HSound::channelShare(Channel channel) {
    // Shots and hits carry the duel and get the most; the alert and the bounce
    // are short and stand out by their pitch. The music plays in the middle,
    // where each side gets 0.71 of it, so it sits about 10 dB under the duel.
    // Any two channels together stay under PEAK_LIMIT (0.44 + 0.44 = 0.88);
    // three or more peaking at once are the mixer's limiter's to hold.
    switch (channel) {
    case CHANNEL_SHOT_LEFT:
    case CHANNEL_SHOT_RIGHT:
    case CHANNEL_HIT_LEFT:
    case CHANNEL_HIT_RIGHT:
    case CHANNEL_JINGLE:
    case CHANNEL_MUSIC:
        return 0.44;
    case CHANNEL_BOUNCE:
        return 0.33;
    case CHANNEL_ALERT:
        return 0.25;
    default:
        return 0.0;
    }
}

HSound::HSound(HSoundSink* sink, int32_t effectsVolume, int32_t musicVolume)
    : sink(sink),
      effects(clampPercent(effectsVolume)),
      music(clampPercent(musicVolume)),
      mute(false),
      paused(false),
      musicPlaying(SOUNDS) {
    for (int32_t& handle : handles) handle = -1;
}

int32_t HSound::loadSounds() {
    int32_t loaded = 0;
    for (int32_t i = 0; i < SOUNDS; ++i) {
        const Sound sound = static_cast<Sound>(i);
        const bool music = sound == SOUND_MUSIC_MENU || sound == SOUND_MUSIC_MATCH;
        handles[i] = !sink ? -1 : music ? sink->loadStream(fileName(sound)) : sink->load(fileName(sound));
        if (handles[i] >= 0) ++loaded;
    }
    return loaded;
}

int32_t HSound::channelVolume(Channel channel) const {
    if (mute) return 0;
    const int32_t setting = channel == CHANNEL_MUSIC ? music : effects;
    // Rounded down, so that the shares' sum stays a bound.
    return static_cast<int32_t>(std::floor(HSoundSink::MAX_VOLUME * channelShare(channel) * setting / 100.0));
}

void HSound::panFor(float x, uint8_t& left, uint8_t& right) {
    float place = (x + FIELD_HALF_WIDTH) / (2.0f * FIELD_HALF_WIDTH);  // 0 left edge .. 1 right edge
    if (!(place >= 0.0f)) place = 0.0f;  // also catches NaN
    if (place > 1.0f) place = 1.0f;
    const double angle = place * (M_PI / 2.0);
    left = static_cast<uint8_t>(std::lround(HSoundSink::MAX_PAN * std::cos(angle)));
    right = static_cast<uint8_t>(std::lround(HSoundSink::MAX_PAN * std::sin(angle)));
}

void HSound::playOn(Channel channel, Sound sound, bool loop, float x) {
    if (!sink) return;
    uint8_t left, right;
    panFor(x, left, right);
    sink->play(channel, handles[sound], loop, channelVolume(channel), left, right);
}

void HSound::stopEffects() {
    if (!sink) return;
    for (int32_t channel = 0; channel < CHANNEL_MUSIC; ++channel) sink->halt(channel);
}

void HSound::hear(const GEventList& events, const GWorld& world) {
    if (paused) return;
    for (int32_t i = 0; i < events.count; ++i) {
        const GEvent& event = events.items[i];
        // The end's jingle comes however late: the result follows it.
        const bool end = event.kind == GEvent::MATCH_WON || event.kind == GEvent::MATCH_DRAWN;
        if (end || !event.staleAt(world.elapsedMs)) play(event);
    }
}

void HSound::jumped() { stopEffects(); }

void HSound::matchEvents(const GEventList& events) {
    if (paused) return;
    for (int32_t i = 0; i < events.count; ++i) play(events.items[i]);
}

void HSound::play(const GEvent& event) {
    const bool left = event.side == SIDE_LEFT;
    switch (event.kind) {
    case GEvent::SHOT_FIRED:
        if (event.side == SIDE_NONE) break;
        playOn(left ? CHANNEL_SHOT_LEFT : CHANNEL_SHOT_RIGHT, left ? SOUND_SHOT_LEFT : SOUND_SHOT_RIGHT, false, event.x);
        break;
    case GEvent::SHIP_HIT:
        if (event.side == SIDE_NONE) break;
        playOn(left ? CHANNEL_HIT_LEFT : CHANNEL_HIT_RIGHT, left ? SOUND_HIT_LEFT : SOUND_HIT_RIGHT, false, event.x);
        break;
    case GEvent::SHIPS_BOUNCED:
        playOn(CHANNEL_BOUNCE, SOUND_BOUNCE, false, event.x);
        break;
    case GEvent::LOW_HEALTH:
        playOn(CHANNEL_ALERT, SOUND_LOW_HEALTH, false, event.x);
        break;
    case GEvent::MATCH_WON:
        playOn(CHANNEL_JINGLE, SOUND_WON, false, event.x);
        break;
    case GEvent::MATCH_DRAWN:
        playOn(CHANNEL_JINGLE, SOUND_DRAW, false, 0.0f);
        break;
    default:
        break;
    }
}

void HSound::matchStarted() {
    paused = false;
    stopEffects();
    playOn(CHANNEL_JINGLE, SOUND_MATCH_START, false, 0.0f);
    playOn(CHANNEL_MUSIC, SOUND_MUSIC_MATCH, true, 0.0f);
    musicPlaying = SOUND_MUSIC_MATCH;
}

void HSound::matchPaused(bool pause) {
    if (!sink || pause == paused) return;
    paused = pause;
    for (int32_t channel = 0; channel < CHANNELS; ++channel) {
        if (pause)
            sink->pause(channel);
        else
            sink->resume(channel);
    }
}

void HSound::matchEnded() {
    if (paused) matchPaused(false);
    if (sink && musicPlaying == SOUND_MUSIC_MATCH) sink->halt(CHANNEL_MUSIC);
    musicPlaying = SOUNDS;
}

void HSound::menuShown() {
    if (paused) matchPaused(false);
    if (musicPlaying == SOUND_MUSIC_MENU) return;
    // Left in the middle of a match: its shots stop with it.
    if (musicPlaying == SOUND_MUSIC_MATCH) stopEffects();
    playOn(CHANNEL_MUSIC, SOUND_MUSIC_MENU, true, 0.0f);
    musicPlaying = SOUND_MUSIC_MENU;
}

void HSound::menuChoiceChanged(int32_t side) {
    playOn(CHANNEL_JINGLE, SOUND_MENU_CHOICE, false, side == 0 ? -FIELD_HALF_WIDTH / 2 : FIELD_HALF_WIDTH / 2);
}

void HSound::setVolumes(int32_t effectsVolume, int32_t musicVolume) {
    effects = clampPercent(effectsVolume);
    music = clampPercent(musicVolume);
    if (!sink) return;
    for (int32_t channel = 0; channel < CHANNELS; ++channel)
        sink->setVolume(channel, channelVolume(static_cast<Channel>(channel)));
}

void HSound::toggleMute() {
    mute = !mute;
    if (!sink) return;
    for (int32_t channel = 0; channel < CHANNELS; ++channel)
        sink->setVolume(channel, channelVolume(static_cast<Channel>(channel)));
}
