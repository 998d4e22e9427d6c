// hmatchowner.h: the match under way, of whatever kind, and everything that
// is done with it outside the match screen.
//
// One owner sets a match up (local, a replay, a network match played here,
// or one watched), drives it with the time the screen passes on, hands its
// events to the sound and to every listener, keeps its replay and hands
// over its result. The match screen (screens/gengine.h) shows it through
// the GShownMatch interface; the application makes the owner, then the
// screen, and lets the owner go after the screen.
//
// Ends, each asked of the host, which switches once the screen's call that
// caused it has returned:
//   Escape -> menu; the match is kept as left (a replay: not kept).
//   A ship's health at 0 or less in a step -> result, once the wreck has
//     played for WRECK_WAIT_MS or a key was pressed after KEY_GUARD_MS of
//     it; kept as finished at once, when the health ran out.
//   The longest match's time is up -> result, a draw not played out; kept
//     as left at that millisecond.
//   A replay reaches the millisecond its recording ends at -> menu.
//   A watched match reaches where the players' game kept it as left ->
//     menu; kept as left there.
//   The application ends a network match (the other side left, the two
//     went out of step, the connection went: endLeft) -> menu, or the
//     result a finished match owes; kept as left.
//   A demo: any key, or a pad button pressed after it started -> menu at
//     once, its wreck too; its own end -> menu where the result would
//     come. Never kept.
//   A replay brought to its end by a seek -> stays there (below).
//
// A replay, sought (Kind::REPLAY only; in every other match the arrows
// steer ships and none of these keys is taken). Keys, by SDL key symbol:
//   Left, Right: SEEK_STEP_MS back, forth.    Home, End: the start, the end.
//   Up, Down: the next speed of SPEED_QUARTERS up, down (1/4x to 8x).
//   Space: pauses and resumes, as 'p' does.   '.': one ship tick on, paused.
// Set-up plays the replay through once, at once, for the hits its bar
// marks (0.4 s of CPU for two hours, 3 ms for a match of a minute:
// bench/bench_seek.cpp), with the seeker
// (game/gseeker.h) saving a second at a time as it goes, then puts it back
// at its start: every seek then puts back a state at most a second before
// its target, and none ever steps far.
// Heard and seen: a seek's steps reach nobody, and a seek stops every sound
// and picture made before it (GEventListener::jumped); faster than 2x the
// sound hears nothing, while the pictures hear every step and age with the
// screen's time, as at normal speed.
// The end. A replay that plays into its end by itself ends as above: the
// wreck and the result, or the menu where it was left. Brought there by a
// seek (End, or Right within SEEK_STEP_MS of it) or by a tick step, it
// stays, since whoever went there wants to see it: the wreck plays out (the
// end's own events are the only ones of a seek the pictures hear), then the
// replay waits on its last frame until Escape (the menu) or a seek back. A
// seek key while the wreck of an end reached by playing plays is such a
// seek: the result waits; any other key skips to it as before.
#pragma once

#include <cstdint>
#include <memory>  // Required for: std::unique_ptr
#include <string>
#include <vector>

#include "game/gmatch.h"
#include "game/gpads.h"  // Required for: GPads::MAX_PADS, a demo's pads
#include "game/matchresult.h"
#include "screens/gshownmatch.h"

class GMatchDriver;
class GSeeker;
class HScreenHost;
class NMatch;
class NSession;
class NWatch;
struct NStart;

class HMatchOwner : public GShownMatch {
public:
    // How long a finished match shows its wreck before the result.
    static constexpr int32_t WRECK_WAIT_MS = 1500;
    // Keys in the first moments of the wreck do not skip it: a player
    // firing as the last shot struck would never see it.
    static constexpr int32_t KEY_GUARD_MS = 250;

    // `host` (not owned, may be null in tests: nothing is then kept or
    // handed over) takes the replays and the results.
    explicit HMatchOwner(HScreenHost* host);
    ~HMatchOwner() override;
    HMatchOwner(const HMatchOwner&) = delete;
    HMatchOwner& operator=(const HMatchOwner&) = delete;

    // Each set-up is called once, right after construction, and returns
    // whether the world has both ships.
    //
    // A match of this machine from `seed`; the keyboard players read the
    // host's input snapshot by the players' keys (config/hcontrols.h).
    bool setUpLocal(ControllerChoice left, ControllerChoice right, uint32_t seed);
    // `replay`'s match, steered by its notes and watched: nothing is kept.
    bool setUpReplay(const GReplay& replay);
    // The match `session` (not owned; must outlive this) started: played
    // here, or watched when the session is a spectator's.
    bool setUpNet(const NStart& start, NSession* session);
    // A demo of `left` against `right` from `seed`, said on standard
    // output: a local match that nobody plays and nothing keeps.
    bool setUpDemo(ControllerChoice left, ControllerChoice right, uint32_t seed);
    // A match the caller set up in `played`, moved on by `driver` (owned):
    // a network match's lockstep fed by hand, without a session (tests).
    bool setUpDriven(GMatchDriver* driver);

    // For the application's reactions to the network. The other side ended
    // the pause.
    void resumed();
    // The match ends here without a result (kept as left); a finished one
    // whose wreck plays hands its result over at once. The caller switches:
    // true for the result (result()), false for the menu.
    bool endLeft();

    // GShownMatch
    Kind kind() const override;
    GMatch& match() override { return played; }
    void update(int32_t ms) override;
    void keyDown(uint8_t key) override;
    void listen(GEventListener* listener) override;
    void unlisten(GEventListener* listener) override;
    bool paused() const override;
    bool wrecking() const override { return resultDueMs >= 0; }
    uint32_t waitingMs() const override;
    Vec3 takeJump(GSide side) override;
    std::string panelLine() const override;

    // --- a replay, sought (above) ----------------------------------------------
    static constexpr int32_t SEEK_STEP_MS = 5000;
    static constexpr int32_t SPEED_QUARTERS[] = {1, 2, 4, 8, 16, 32};  // of normal speed
    static constexpr int32_t SPEEDS = sizeof SPEED_QUARTERS / sizeof SPEED_QUARTERS[0];
    static constexpr int32_t NORMAL_SPEED = 2;      // SPEED_QUARTERS[NORMAL_SPEED] == 4
    static constexpr int32_t LOUDEST_QUARTERS = 8;  // 2x: faster is not heard
    bool seekKey(uint32_t sym) override;
    bool replayBar(GReplayBar& bar) const override;

    // The finished match's result, once there is one.
    const MatchResult& result() const { return finalResult; }
    // The network match's driver, or null.
    NMatch* netMatch() const { return net; }
    // The watched match's driver, or null.
    NWatch* watch() const { return watching; }
    // Events of one advance past GEventList::MAX_EVENTS, in all (said on
    // standard error as it happens).
    uint64_t eventsLost = 0;

    GMatch played;

private:
    void setDriver(GMatchDriver* driver);
    // Facing, then the end: the first time a ship's health is 0 or less, or
    // the time is up, keeps the match and asks for the result.
    void checkEnd();
    // Hands the match to the host as the last match; a replay is not kept.
    void keep(uint8_t end);
    void backToMenu();
    void handOverResult();
    // Tells the sound whether the match is held, when that changed.
    void tellPause();
    // A demo: whether a pad's button went down since the last look.
    bool padPressed();

    // --- a replay, sought ----------------------------------------------------------
    void setUpSeeking(uint32_t lastMs);
    void seekTo(int64_t targetMs);
    void stepTick();
    // The match milliseconds `ms` of the screen's make at the speed chosen.
    int32_t replayMs(int32_t ms);
    bool atLastFrame() const;
    std::unique_ptr<GSeeker> seeker;  // a replay's
    std::vector<GReplayHit> hits;
    int32_t speed = NORMAL_SPEED;  // into SPEED_QUARTERS
    int32_t speedCarry = 0;        // quarter milliseconds not yet played
    bool heldAtEnd = false;        // brought to its end, and staying

    HScreenHost* host;
    GMatchDriver* driver = nullptr;  // owned
    NMatch* net = nullptr;           // the driver, when a network match played here
    NWatch* watching = nullptr;      // the driver, when one watched
    NSession* session = nullptr;     // not owned
    std::vector<GEventListener*> listeners;
    bool ended = false;        // the end has been handed over (or the match left)
    bool soundPaused = false;  // what the sound was last told
    MatchResult finalResult = {false, 0, 0};
    int32_t resultDueMs = -1;  // until the result is handed over; -1 when none is due
    bool demo = false;
    uint32_t padButtons[GPads::MAX_PADS] = {};  // a demo's: what each pad held at the last look
};
