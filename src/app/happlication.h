// happlication.h: the root screen that owns the current screen and switches.
//
// The main loop talks only to the one HApplication in theApplication. Screens
// keep a plain back pointer to it and ask for the next screen through the
// switch operations below.
//
// Switching. A switch asked for while a screen's own call is running (its
// keyDown, keyUp or update) waits until that call has returned, and is then
// made: a screen is never destroyed inside its own call, and after asking it
// may go on to finish what it does. A switch asked for from outside (the
// shell, the network, a test) is made at once. When a call asks twice, the
// last request wins. Every switch drops the next update, so the time spent
// building a screen never reaches it.
//
// The network. With a session attached, every update first services it and
// then reacts, here and only here, to what it reports: a match agreed on,
// the other side ending the pause, a match over without a result, the
// connection gone.
#pragma once

#include <cstddef>
#include <cstdint>

#include "game/ginput.h"
#include "game/matchresult.h"
#include "screens/hscreen.h"

class GEngine;
class NSession;
struct GReplay;
struct NStart;

class HApplication : public HScreen {
public:
    // Where every match is written when it ends, in the working directory.
    static constexpr const char* REPLAY_FILE = "lastmatch.vkr";

    HApplication();
    ~HApplication() override;

    void keyUp(uint8_t key) override;
    void keyDown(uint8_t key) override;
    void symbolDown(uint32_t sym, uint8_t key, char typed) override;
    void update(int32_t ms) override;
    void draw() override;

    void showMenu();
    // The network screen (screens/mnetmenu.h).
    void showNetMenu();
    // The settings screen (window, sound, controls); `s` in the menu.
    void showSettings();
    void startMatch(ControllerChoice left, ControllerChoice right);
    void showResult(const MatchResult& result);
    // Watches the last match again (findLastMatch); nothing without one.
    void watchLastMatch();
    // Whether there is a last match to watch: this run's, or else the one
    // REPLAY_FILE holds (an earlier run's, or one put there by hand), read
    // now and kept as this run's. No file is no match, silently; a file
    // that cannot be read or is not a good replay is said in one line on
    // standard error, and read again at the next try.
    bool findLastMatch();
    // Keeps `replay` as the last match of this run and writes it to
    // REPLAY_FILE (a failure is said on standard error and changes nothing
    // else).
    void keepLastMatch(const GReplay& replay);
    bool hasLastMatch() const { return lastMatch != nullptr; }
    const GReplay* lastMatchKept() const { return lastMatch; }
    void quit();

    // A network game: takes ownership of `session` (hosting or joining).
    // From then on every update first services it and reacts to what it
    // reports. The caption names this side while connected.
    void attachNet(NSession* session);
    NSession* net;  // owned; null in a local game

    // What the players hold, sampled by the main loop once per pass; the
    // keyboard players of every match read it.
    GInput input;

    HScreen* currentScreen;
    double timeScale;     // applied to every elapsed time; stays 1.0
    bool running;         // the main loop runs while this is set
    bool skipNextUpdate;  // set by every switch

    // Where switches get the memory for a new screen; returns null on
    // failure, and the old screen then stays current. Tests replace it to
    // simulate exhaustion.
    static void* (*allocateScreen)(std::size_t size);

private:
    HApplication(const HApplication&) = delete;
    HApplication& operator=(const HApplication&) = delete;

    enum class Next { NONE, MENU, MATCH, RESULT, REPLAY, NETMENU, SETTINGS };
    struct Request {
        Next next = Next::NONE;
        ControllerChoice left = 0, right = 0;
        MatchResult result = {false, 0, 0};
    };
    // Made now, or once the screen call under way has returned.
    void request(const Request& r);
    void switchNow(const Request& r);
    void afterScreenCall();
    // The old screen goes, then `build` makes the new one in `memory`.
    template <class Build>
    void replaceScreen(void* memory, Build build);

    void reactToNet();
    void startNetMatch(const NStart& start);
    void updateCaption();

    int32_t screenCalls;      // screen calls under way (nested when a call switches)
    Request pending;          // asked for during a screen call
    GReplay* lastMatch;       // owned; null before the first match ends
    GEngine* netMatch;        // the current screen when it is a network match
    int32_t captionSide;      // the side the caption names; -1: none
};

// The program-wide root object. Null before start-up and after shutdown; read
// it afresh at every use, since a switch can happen in the middle of a pass.
extern HApplication* theApplication;
