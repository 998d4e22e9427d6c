// hsound.h: what the game sounds like: which sound each moment plays, on
// which channel, how loud and from which side.
//
// The match's owner hands over the events of each advance (hear, as one of
// the match's listeners, or matchEvents for a list to play whole); the shell
// and the screens say when a match starts, pauses and ends, when the menu
// shows and when a choice in it changes. HSound turns that into calls on a
// sink and never answers back: nothing here can change a match.
//
// Channels. Each kind of effect has a channel of its own, so a new shot cuts
// off the last one of the same ship instead of piling up, and at most
// CHANNELS sounds play at once. Each channel has a share of the full scale
// (channelShare). Any two channels playing sounds of full-scale peak stay
// under -1 dBFS; more at once may not, and the sink holds the mix there
// (HMixer's limiter). The shares once added up to -1 dBFS all together,
// which left a match at -31 dBFS RMS: too quiet at a desktop's volume.
#pragma once

#include <cstdint>

#include "game/gevent.h"
#include "sound/hsoundsink.h"

class HSound : public GEventListener {
public:
    enum Sound : int32_t {
        SOUND_SHOT_LEFT,
        SOUND_SHOT_RIGHT,
        SOUND_HIT_LEFT,
        SOUND_HIT_RIGHT,
        SOUND_BOUNCE,
        SOUND_LOW_HEALTH,
        SOUND_WON,
        SOUND_DRAW,
        SOUND_MENU_CHOICE,
        SOUND_MATCH_START,
        SOUND_MUSIC_MENU,
        SOUND_MUSIC_MATCH,
        SOUNDS
    };

    enum Channel : int32_t {
        CHANNEL_SHOT_LEFT,
        CHANNEL_SHOT_RIGHT,
        CHANNEL_HIT_LEFT,
        CHANNEL_HIT_RIGHT,
        CHANNEL_BOUNCE,
        CHANNEL_ALERT,   // a ship's low health
        CHANNEL_JINGLE,  // match start, won, draw, menu choice: one at a time
        CHANNEL_MUSIC,
        CHANNELS
    };

    // The file each sound is read from, by plain name, like every other
    // file of the game; a player's own file of that name replaces it.
    static const char* fileName(Sound sound);
    // The share of full scale a channel plays at with its volume setting at
    // 100. Any two add up to at most PEAK_LIMIT.
    static double channelShare(Channel channel);
    // -1 dBFS.
    static constexpr double PEAK_LIMIT = 0.8912509381337456;

    // The field runs from -FIELD_HALF_WIDTH (left edge) to +FIELD_HALF_WIDTH.
    static constexpr float FIELD_HALF_WIDTH = 26.0f;

    // Volumes are the settings' 0 to 100 (clamped).
    HSound(HSoundSink* sink, int32_t effectsVolume, int32_t musicVolume);

    // Loads every sound through the sink, the two music loops as streams.
    // Returns how many loaded; a sound that did not is silent.
    int32_t loadSounds();

    // Each event plays its sound once, placed by its x.
    void matchEvents(const GEventList& events);
    // The same, leaving the events stale in `world` (GEvent::STALE_MS) but
    // the end's.
    void hear(const GEventList& events, const GWorld& world) override;
    // A replay was sought: every effect stops (the music plays on).
    void jumped() override;
    // A new match: the start sound and the match music from its beginning;
    // whatever played before stops.
    void matchStarted();
    // Paused: every effect and the match music hold their place and are
    // silent; unpaused: they go on. Events while paused are not played.
    void matchPaused(bool paused);
    // The match is over (its result shows, or it was left): the match music
    // stops; the result's sound, already started, plays out.
    void matchEnded();
    // The menu: its music, unless it is playing already.
    void menuShown();
    // A side's choice changed in the menu (0 left, 1 right).
    void menuChoiceChanged(int32_t side);
    // Everything silent, or back as it was; what plays goes on unheard.
    void toggleMute();

    bool muted() const { return mute; }
    // New volumes (0 to 100, clamped), heard at once on every channel.
    void setVolumes(int32_t effectsVolume, int32_t musicVolume);

    // Sink volume (0 .. MAX_VOLUME) for a channel with the current settings
    // and mute.
    int32_t channelVolume(Channel channel) const;
    // The gains of the two sides for world x: constant power, so a sound
    // keeps its loudness as it crosses the field; neither side exceeds
    // MAX_PAN, so panning never adds to the peak.
    static void panFor(float x, uint8_t& left, uint8_t& right);

private:
    void playOn(Channel channel, Sound sound, bool loop, float x);
    // One event's sound, placed by its x.
    void play(const GEvent& event);
    void stopEffects();

    HSoundSink* sink;
    int32_t effects, music;  // 0 .. 100
    int32_t handles[SOUNDS];
    bool mute;
    bool paused;
    Sound musicPlaying;  // SOUNDS when no music plays
};

// The game's sound. Null when there is no audio: the game then runs silent
// and otherwise exactly the same.
extern HSound* theSound;
