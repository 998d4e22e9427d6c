// gshownmatch.h: the match the match screen shows, as the screen sees it.
//
// The match has one owner outside the screen: the application's (app/
// hmatchowner.h) sets it up, drives it, keeps its replay and hands over its
// result, for every kind of match. The screen (GEngine) draws the world
// this hands it, passes on the time and the keys, and listens to the
// match's events for its pictures; it decides nothing about the match.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "assets/vec3.h"
#include "game/gevent.h"
#include "game/gmatch.h"

// A replay's time, as the bar along the bottom of its screen shows it.
struct GReplayHit {
    uint32_t ms;   // the match millisecond it struck in
    GSide hitter;  // whose shot it was
};
struct GReplayBar {
    uint32_t elapsedMs = 0;
    uint32_t lengthMs = 0;
    const std::vector<GReplayHit>* hits = nullptr;  // the whole replay's, in match order
    int32_t speedQuarters = 4;                      // 4 is normal speed, 1 a quarter of it
    bool atEnd = false;                             // held on its last frame
};

class GShownMatch {
public:
    enum class Kind {
        LOCAL,    // played on this machine
        REPLAY,   // a recording watched again
        // Two computer players, shown while the menu is idle; not kept. Before
        // NETWORK: the application takes the kinds from there on for network ones.
        DEMO,
        NETWORK,  // one side played here, the other on another machine
        WATCHED,  // a network match of others', watched
    };

    virtual ~GShownMatch() {}

    virtual Kind kind() const = 0;
    // The match, its world drawn as it stands.
    virtual GMatch& match() = 0;

    // Moves the match on through `ms` of the screen's time. Its events go
    // to every listener before this returns; the end is handed over from
    // here (the switch happens once the screen's call has returned).
    virtual void update(int32_t ms) = 0;
    // A key pressed in the match (Escape, 'p'; any key while the wreck plays,
    // and in a demo).
    virtual void keyDown(uint8_t key) = 0;
    // `listener` (not owned; one at most per caller, until unlisten) hears
    // every advance's events, after the sound.
    virtual void listen(GEventListener* listener) = 0;
    virtual void unlisten(GEventListener* listener) = 0;

    // Held still by a pause (here, or at the other machine).
    virtual bool paused() const = 0;
    // The match has finished and its wreck plays before the result.
    virtual bool wrecking() const = 0;
    // How long the match has waited for the other player without a pause
    // (a network match), in milliseconds; 0 while it plays.
    virtual uint32_t waitingMs() const = 0;
    // How far network corrections moved the ship of `side` since the last
    // call: where it was minus where it is, for the view to ease away.
    virtual Vec3 takeJump(GSide side) = 0;
    // One line on how the network carries the match (round trip,
    // corrections, waits, spectators), and a second after a newline for a
    // match met through a lobby (the path: direct or relayed, and where);
    // empty for a match of this machine.
    virtual std::string panelLine() const = 0;

    // --- a replay's seeking keys (app/hmatchowner.h) -------------------------
    // A key by its full SDL key symbol, before keyDown: true when it was
    // taken as a seeking key, and must not go on to keyDown.
    virtual bool seekKey(uint32_t sym) {
        (void)sym;
        return false;
    }
    // What the replay's bar shows; false when there is no bar to draw.
    virtual bool replayBar(GReplayBar& bar) const {
        (void)bar;
        return false;
    }
};
