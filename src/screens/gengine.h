// gengine.h: the match screen: keys, drawing, and handing over the end.
//
// The match itself is a GMatch, and who moves it on is its driver
// (game/gmatchdriver.h): a local match, a replay being watched, or a network
// match (net/nmatch.h). The screen hands the driver the time and the pause
// key, draws the world through its view, hands the world's events to the
// sound, and asks the application for the next screen when the match is
// over. Every match played here is handed to the application as the last
// match, which writes it to its file and which the menu's `r` watches again.
//
// Transitions, each asked of the application, which switches once the call
// that asked has returned:
//   Escape -> menu; the match is kept as left.
//   A ship's health at 0 or less in a step -> result, once the wreck has
//     played for WRECK_WAIT_MS or a key was pressed after KEY_GUARD_MS of
//     it; kept as finished at once, when the health ran out.
//   The longest match's time is up -> result, a draw not played out; kept
//     as left at that millisecond.
//   A replay reaches the millisecond its recording ends at -> menu.
//   The application ends a network match (the other side left, the two
//     went out of step, the connection went: endLeft) -> menu; kept as left.
#pragma once

#include <cstdint>
#include <memory>

#include "game/gmatch.h"
#include "game/matchresult.h"
#include "screens/gview.h"
#include "screens/hscreen.h"

class GMatchDriver;
class HScreenHost;
class MText;
struct GInput;
class NMatch;
class NSession;
struct NStart;

class GEngine : public HScreen {
public:
    // The mark shown in the corner while a replay plays.
    static constexpr const char* REPLAY_PICTURE = "replay.bmp";
    // How long a finished match shows its wreck before the result.
    static constexpr int32_t WRECK_WAIT_MS = 1500;
    // Keys in the first moments of the wreck do not skip it: a player
    // firing as the last shot struck would never see it.
    static constexpr int32_t KEY_GUARD_MS = 250;

    // Loads the view's six models from the working directory. `application`
    // is not owned and may be null (tests): nothing is then handed over.
    explicit GEngine(HScreenHost* application);
    ~GEngine() override;

    GEngine(const GEngine&) = delete;
    GEngine& operator=(const GEngine&) = delete;

    // Each set-up is called once, right after construction, and loads the
    // backdrop's pictures after the world is made. Each returns whether the
    // world has both ships.
    //
    // A local match of the two choices from a seed drawn with rand()
    // (seeded from the clock at start-up), or from `seed`. The keyboard
    // players read the application's input snapshot.
    bool setUpMatch(ControllerChoice leftChoice, ControllerChoice rightChoice);
    bool setUpMatch(ControllerChoice leftChoice, ControllerChoice rightChoice, uint32_t seed);
    // `replay`'s match, steered by its notes and watched: nothing is kept.
    bool setUpReplay(const GReplay& replay);
    // The match two games agreed on (net/nmatch.h). `session` is not owned
    // and must outlive this screen.
    bool setUpNetMatch(const NStart& start, NSession* session);

    // Escape leaves; 'p' is the driver's pause key.
    void keyDown(uint8_t key) override;
    // Hands `ms` to the driver, the steps' events to the sound, then looks
    // for the end.
    void update(int32_t ms) override;
    void draw() override;
    // Over the match as drawn, last: PAUSED and the key that ends the pause
    // while the driver holds the match; in a network match, that the other
    // player is awaited once a wait has lasted over WAIT_NOTICE_MS.
    void drawNotices();
    static constexpr uint32_t WAIT_NOTICE_MS = 250;
    // Facing, then the end: the first time a ship's health is 0 or less, or
    // the time is up, keeps the match and asks for the result.
    void checkEnd() override;

    // For the application, in a network match: the other side ended the
    // pause; the match ends here without a result (kept as left, back to
    // the menu; nobody else is told).
    void resumed();
    void endLeft();

    // Whether the driver holds the match still.
    bool paused() const;
    // Whether the match has finished and its wreck plays before the result.
    bool wrecking() const { return resultDueMs >= 0; }
    // The network match's driver, or null.
    NMatch* netMatch() const { return net; }

    // The match as it stands, as a replay.
    GReplay replay(uint8_t end) const { return match.replay(end); }
    GShip* rightShip() const { return match.world.rightShip(); }
    GShip* leftShip() const { return match.world.leftShip(); }

    GMatch match;
    GView view;
    HScreenHost* application;  // not owned

private:
    void setDriver(GMatchDriver* newDriver);
    // The application's input snapshot; null without an application.
    const GInput* input() const;
    // Tells the sound whether the match is held, when that changed.
    void tellPause();
    // Hands the match to the application as the last match; a watched one
    // is not kept.
    void keep(uint8_t end);
    void backToMenu();
    void handOverResult();

    GMatchDriver* driver;  // owned; null before a set-up
    NMatch* net;           // the driver, when it is a network match
    bool ended;            // the end has been handed over (or the match left)
    bool soundPaused;      // what the sound was last told
    int32_t replayMark;    // texture of REPLAY_PICTURE while replaying, else -1
    MatchResult result;    // the finished match's, while its wreck plays
    int32_t resultDueMs;   // until the result is handed over; -1 when none is due
    std::unique_ptr<MText> noticeText;  // the notices' font, loaded when one first shows
};
