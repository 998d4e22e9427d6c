// gengine.h: the match screen: a world, the models it is drawn with, and
// the view.
//
// Transitions: Escape -> menu (showMenu, from keyDown; this engine is
// destroyed inside that call). A ship's health at 0 or less in a step ->
// result (showResult, from inside update; the application keeps this engine
// alive until update has returned and then deletes it). A replay that
// reaches the millisecond its match was left at -> menu, likewise.
//
// Every match is recorded: each ship's controller is wrapped so that its
// flags are noted tick by tick, and at the end (won, drawn or left with
// Escape) the match is written to REPLAY_FILE and handed to the application
// as the last match, which the menu's `r` watches again. A replay is the
// same screen, steered by the notes instead of the players.
#pragma once

#include <cstdint>

#include "app/hscreen.h"
#include "app/matchresult.h"
#include "game/greplay.h"
#include "game/gview.h"
#include "game/gworld.h"
#include "net/nmatch.h"

class GShip;
class HApplication;
class HModel;
class NSession;
struct NStart;

class GEngine : public HScreen {
public:
    // Where every match is written when it ends, in the working directory.
    static constexpr const char* REPLAY_FILE = "lastmatch.vkr";
    // The mark shown in the corner while a replay plays.
    static constexpr const char* REPLAY_PICTURE = "replay.bmp";

    // Loads the six models from the working directory. A model that cannot
    // be read stays empty (its reader says why) and the match goes on.
    explicit GEngine(HApplication* application);
    // Removes and deletes every object, then the models.
    ~GEngine() override;

    GEngine(const GEngine&) = delete;
    GEngine& operator=(const GEngine&) = delete;

    // Draws the match seed from rand() (seeded from the clock at start-up)
    // and sets up the world with it: the right ship, then the left one,
    // each with the controller its choice names (any value no kind has:
    // none) wrapped in a recorder, and the background. Call once, right
    // after construction. Returns whether the world has both ships.
    bool setUpMatch(ControllerChoice leftChoice, ControllerChoice rightChoice);
    // The same with a given seed.
    bool setUpMatch(ControllerChoice leftChoice, ControllerChoice rightChoice, uint32_t seed);
    // Sets up `replay`'s match, steered by its notes; nothing is recorded
    // or written. The replay is copied.
    bool setUpReplay(const GReplay& replay);
    // Sets up the match two games agreed on: this side's ship steered by
    // its player through the input delay, the other by what the other game
    // sends, both recorded. `session` is not owned and must outlive this.
    bool setUpNetMatch(const NStart& start, NSession* session);

    // A network match: the other side ended the pause.
    void netResumed();
    // A network match ends here without a result (the other side left it,
    // or went, or it went out of step): kept as a match left, and back to
    // the menu, which destroys this engine. `tellOther`: this side left.
    void netLeave(bool tellOther);

    // Escape leaves for the menu (and destroys this engine: nothing may
    // follow the call); 'p' toggles the pause.
    void keyDown(uint8_t key) override;
    // Steps the world one millisecond at a time through `elapsedMs`, ending
    // early when the match does; then hands over its end. Paused: does
    // nothing, and the time is not made up later. The events of the steps
    // are in world.events until the next update.
    void update(int32_t elapsedMs) override;
    void draw() override;
    // Facing, then the end test: the first time either ship's health is 0
    // or less, writes the match down and hands a MatchResult to the
    // application.
    void checkEnd() override;

    // The match as it stands, as a replay: choices, seed, the notes so far,
    // and the end as if it came now.
    GReplay replay(uint8_t end) const;

    // Entries 0 and 1 of the world as ships; null before a set-up.
    GShip* rightShip() const { return world.rightShip(); }
    GShip* leftShip() const { return world.leftShip(); }

    // Owned; the objects draw with them but do not own them.
    HModel* rightShipModel;
    HModel* leftShipModel;
    HModel* rightHealthBar;
    HModel* leftHealthBar;
    HModel* rightShotModel;
    HModel* leftShotModel;

    GWorld world;
    GView view;
    bool paused;
    HApplication* application;  // not owned

    ControllerChoice leftChoice;
    ControllerChoice rightChoice;
    uint32_t seed;
    bool replaying;       // steered by `watched`, not by players
    GReplay watched;      // the replay being watched
    bool ended;           // the end has been handed over (or the match left)
    int32_t replayMark;   // texture of REPLAY_PICTURE while replaying, else -1
    NSession* net;        // a network match's session, else null
    NMatch netMatch;      // its stepping in step with the other side

private:
    bool setUpWorld(uint32_t matchSeed);
    void netKeyDown(uint8_t key);
    void netUpdate(int32_t elapsedMs);
    // Writes the match to REPLAY_FILE and gives it to the application.
    void keepMatch(uint8_t end);
};
