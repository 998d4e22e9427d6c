// happlication.h: the root screen that owns the current screen and switches.
//
// The main loop talks only to the one HApplication in theApplication. Screens
// keep a plain back pointer to it and call the switch operations below.
//
// Lifetime rules a screen must keep:
//  - showMenu and startMatch destroy the current screen before they return.
//    When a screen calls them from its own keyDown it must return at once
//    without touching its own fields.
//  - A screen is never destroyed while its own update is running: a switch
//    made from inside update (the match ending through showResult) retires
//    the old screen, and HApplication::update deletes it once that update has
//    returned.
//  - Every switch drops the next update, so the time spent building a screen
//    never reaches it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "app/hscreen.h"
#include "app/matchresult.h"

class GEngine;
class NSession;
struct GReplay;
struct NStart;

class HApplication : public HScreen {
public:
    HApplication();
    ~HApplication() override;

    void keyUp(uint8_t key) override;
    void keyDown(uint8_t key) override;
    void update(int32_t ms) override;
    void draw() override;

    void showMenu();
    void startMatch(ControllerChoice left, ControllerChoice right);
    void showResult(const MatchResult& result);
    // Watches the last match of this run again; nothing without one.
    void watchLastMatch();
    // Keeps `replay` as the last match of this run.
    void keepLastMatch(const GReplay& replay);
    bool hasLastMatch() const { return lastMatch != nullptr; }
    const GReplay* lastMatchKept() const { return lastMatch; }
    void quit();

    // A network game: takes ownership of `session` (hosting or joining).
    // From then on every update first services it, starts the matches it
    // agrees on and carries the other side's pause, leaving and going into
    // the running match. The caption names this side while connected.
    void attachNet(NSession* session);
    // The match both games agreed on, this side steered from here.
    void startNetMatch(const NStart& start);
    NSession* net;          // owned; null in a local game

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

    // Takes an old screen out of service: deleted now, or after its update
    // returns if it is the one running.
    void dispose(HScreen* screen);

    HScreen* updatingScreen;  // whose update is on the stack, or null
    HScreen* retiredScreen;   // replaced during its own update; deleted after
    GReplay* lastMatch;       // owned; null before the first match ends
    GEngine* netMatch;        // the current screen when it is a network match
    int32_t captionSide;      // the side the caption names; -1: none

    void serviceNet();
    void updateCaption();
};

// The program-wide root object. Null before start-up and after shutdown; read
// it afresh at every use, since a switch can happen in the middle of a pass.
extern HApplication* theApplication;
