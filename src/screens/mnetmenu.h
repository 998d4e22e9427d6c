// mnetmenu.h: the network screen: host, join by address, or join a game
// found on the local network.
//
// Opened with `n` from the main menu. `h` hosts on the default port and
// waits here, showing the port, this machine's addresses and what the
// router said; `j` takes an address (the last one joined is offered first,
// kept in LAST_ADDRESS_FILE) and Return connects to it; Up and Down choose
// among the games found (each shown waiting for a player, in its menu or in
// a match), Return joins the chosen one and `w` watches it. Once connected
// the application's connected menu takes over, a spectator's too. Escape stops what is under way,
// or goes back to the main menu. Every message is also written to standard
// error.
//
// With a lobby set (HScreenHost::lobby), the games open on it are listed
// under those found here, asked for every LIST_EVERY_MS (LIST_RETRY_MS
// after the lobby failed to answer) on a session prepared for it
// (browseOnline); Return and `w` join and watch them as they do the others,
// through the lobby. `h` also opens the hosted game there and shows its
// code; `c` takes a code (its letters only, in capitals; Backspace,
// Escape) and Return joins that game. The lobby's failures show as the
// other messages do.
#pragma once

#include <cstdint>
#include <string>

#include "net/ndiscovery.h"
#include "screens/hscreen.h"

class HScreenHost;
class MText;

class MNetMenu : public HScreen {
public:
    static constexpr const char* LAST_ADDRESS_FILE = "lastjoin.txt";

    enum class Mode {
        BROWSING,    // the keys, and the games found
        TYPING,      // an address being typed
        TYPING_CODE, // a game's code being typed
        JOINING,     // connecting to it (or to a game of the lobby), to play or to watch
        HOSTING,     // waiting for a player
    };

    explicit MNetMenu(HScreenHost* application);
    ~MNetMenu() override;

    void symbolDown(uint32_t sym, uint8_t key, char typed) override;
    void update(int32_t ms) override;
    void draw() override;
    bool typing() const override { return mode == Mode::TYPING || mode == Mode::TYPING_CODE; }

    static constexpr int32_t LIST_EVERY_MS = 3000;
    static constexpr int32_t LIST_RETRY_MS = 15000;
    // Rows of games shown at once; the chosen one is always among them.
    static constexpr int32_t ROWS_SHOWN = 8;

    Mode mode = Mode::BROWSING;
    std::string typed;    // the address being typed
    std::string code;     // the code being typed
    std::string message;  // the last thing that went wrong, or happened
    int32_t chosen = 0;   // among the games found here, then the lobby's

private:
    void host();
    // Joins the game at `address` to play, or to watch.
    void join(const std::string& address, bool toWatch);
    void joinChosen(bool toWatch);
    void joinCode(const std::string& gameCode, bool toWatch);
    // The games found here and the lobby's, as one list.
    int32_t gameCount() const;
    void serviceLobby(int32_t ms);
    // Ends what is under way: the session goes.
    void stop();
    // Shows `text`; also on standard error unless the session wrote it
    // there already.
    void say(const std::string& text, bool toStderr = true);
    void keepAddress(const std::string& address) const;

    HScreenHost* application;
    NDiscoveryFinder finder;
    MText* text = nullptr;
    int32_t sky = -1;
    std::string joining;  // "host:port", while joining; empty for a game of the lobby
    std::string joiningCode;  // a game of the lobby, while joining it
    int32_t listInMs = 0;  // to the next request for the lobby's games
    bool knocked = false;  // a lobby's join: its session has connected somewhere
    std::string addresses;     // while hosting: where the other player joins
    bool routerAsked = false;  // while hosting: the router is asked
};
