// happlication.h: the root screen that owns the current screen and switches.
//
// The main loop talks only to the one HApplication in theApplication. It is
// the host of every screen (screens/hscreenhost.h): screens keep a plain
// pointer to it as an HScreenHost, never as an HApplication, and ask for
// the next screen through the switch operations there, whose contract
// (when a switch is made, the dropped update) this class keeps.
//
// The network. With a session attached, every update first services it and
// then reacts, here and only here, to what it reports: a match agreed on,
// the other side ending the pause, a match over without a result, the
// connection gone. With a lobby set, the lobby's client (net/nonline.h)
// sits beside the session it talks through, is serviced before it (and its
// relays flushed right after it), and goes before it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "game/ginput.h"
#include "game/matchresult.h"
#include "screens/hscreen.h"
#include "screens/hscreenhost.h"

class GEngine;
class HMatchOwner;
class NBeacon;
class NOnline;
class NSession;
struct GReplay;
struct NStart;

class HApplication : public HScreen, public HScreenHost {
public:
    // Where every match is written when it ends, in the working directory.
    static constexpr const char* REPLAY_FILE = "lastmatch.vkr";

    HApplication();
    ~HApplication() override;

    void keyUp(uint8_t key) override;
    void keyDown(uint8_t key) override;
    void symbolDown(uint32_t sym, uint8_t key, char typed) override;
    void update(int32_t ms) override;
    // The current screen's.
    bool typing() const override { return currentScreen != nullptr && currentScreen->typing(); }
    // Clears, draws the current screen and swaps, always.
    void draw() override;
    // draw(), unless the current screen is unchanged() and nothing since
    // the last frame (a switch, a key, redraw()) asks for one. Returns
    // whether it drew; a frame left out leaves the last one in the window.
    bool drawIfChanged();
    // The next drawIfChanged draws (the window was resized, say).
    void redraw() { frameStale = true; }

    // The host's operations (screens/hscreenhost.h). The last match is
    // read from and written to REPLAY_FILE.
    void showMenu() override;
    void showNetMenu() override;
    void showSettings() override;
    void startMatch(ControllerChoice left, ControllerChoice right) override;
    void showResult(const MatchResult& result) override;
    void watchLastMatch() override;
    void startDemo() override;
    bool findLastMatch() override;
    void keepLastMatch(const GReplay& replay) override;
    void quit() override;
    // keepLastMatch also keeps every match in the replay library
    // (game/greplaylibrary.h), its sides named from the match shown
    // (`owner`), which is the one that asked. The library's screen:
    void showReplays() override;
    void watchReplay(const GReplay& replay, const std::string& listed) override;
    NSession* network() const override { return net; }
    // Also names this side in the caption while connected, and keeps a
    // beacon beside a hosting session (net/nbeacon.h).
    void attachNet(NSession* session) override;
    std::string routerLine() const override;
    std::string lobby() const override;
    NOnline* online() const override { return onlineClient; }
    bool browseOnline() override;
    bool joinOnline(const std::string& code, bool watch) override;
    bool takeOnlineNotice(std::string& notice) override;
    const GInput& inputSnapshot() const override { return input; }
    // The shell's (app/shell.h).
    bool applyVideoMode() override;
    int32_t desktopWidth() const override;
    int32_t desktopHeight() const override;

    bool hasLastMatch() const { return lastMatch != nullptr; }
    const GReplay* lastMatchKept() const { return lastMatch; }
    // The match the match screen shows, while it shows one; null otherwise.
    HMatchOwner* matchOwner() const { return owner; }

    NSession* net;  // owned; null in a local game
    NBeacon* beacon;  // owned; beside `net` while it hosts, else null
    NOnline* onlineClient = nullptr;  // owned; beside `net` (see online())
    // The command line's lobby (--lobby, VEKTORAK_LOBBY), over the settings'.
    std::string runLobby;

    // What the players hold, sampled by the main loop once per pass; the
    // keyboard players of every match read it.
    GInput input;

    HScreen* currentScreen;
    double timeScale;     // applied to every elapsed time; stays 1.0
    bool running;         // the main loop runs while this is set
    bool skipNextUpdate;  // set by every switch
    bool frameStale;      // drawIfChanged must draw: set by switches and keys

    // Where switches get the memory for a new screen; returns null on
    // failure, and the old screen then stays current. Tests replace it to
    // simulate exhaustion.
    static void* (*allocateScreen)(std::size_t size);

private:
    HApplication(const HApplication&) = delete;
    HApplication& operator=(const HApplication&) = delete;

    enum class Next { NONE, MENU, MATCH, RESULT, REPLAY, NETMENU, SETTINGS, REPLAYS, DEMO };
    struct Request {
        Next next = Next::NONE;
        ControllerChoice left = 0, right = 0;
        MatchResult result = {false, 0, 0};
        // REPLAY: `chosen` rather than the last match; REPLAYS: the line.
        bool chosen = false;
        std::string listed{};
    };
    // Made now, or once the screen call under way has returned.
    void request(const Request& r);
    void switchNow(const Request& r);
    void afterScreenCall();
    // The old screen goes, and the match it showed; `next` (may be null)
    // becomes the match shown, then `build` makes the new screen in
    // `memory`.
    template <class Build>
    void replaceScreen(void* memory, HMatchOwner* next, Build build);
    // A match screen for the owner `made` set up; false, `made` deleted,
    // when there is no owner or no screen can be had.
    bool showMatch(HMatchOwner* made);

    void reactToNet();
    // The lobby's client for `net`; false, with the notice, when it cannot start.
    bool startOnline();
    void stopOnline();
    void serviceOnline();
    void noteOnline(const std::string& notice);
    void startNetMatch(const NStart& start);
    void updateCaption();

    int32_t screenCalls;      // screen calls under way (nested when a call switches)
    Request pending;          // asked for during a screen call
    GReplay* lastMatch;       // owned; null before the first match ends
    HMatchOwner* owner;       // owned; the match the current screen shows, or null
    int32_t captionSide;      // the side the caption names; -1: none, 2: watching
    bool onlineJoining = false;  // joinOnline's join, until connected or failed
    std::string onlineNotice;
    bool onlineNoticed = false;  // onlineNotice not yet taken
    // The replay library's.
    GReplay* chosen;          // owned; the replay watchReplay was handed, or null
    bool backToList;          // the menu asked for next is the replay screen, at `listed`
    std::string listed;

    // The key that ended a demo, until it is released (-1: none). It was
    // the demo's alone: the menu it brought back hears neither its repeats
    // nor its release, so Escape never quits there and Return never starts
    // a match. Keys reach screens by their 8-bit code, and so are told
    // apart by it.
    int32_t demoKey = -1;
    // Whether `key` goes on to the screen; notes a demo's last key.
    bool passKey(uint8_t key, bool released);
};

// The program-wide root object. Null before start-up and after shutdown; read
// it afresh at every use, since a switch can happen in the middle of a pass.
extern HApplication* theApplication;
