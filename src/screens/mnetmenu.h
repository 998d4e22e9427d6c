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
        JOINING,     // connecting to it, to play or to watch
        HOSTING,     // waiting for a player
    };

    explicit MNetMenu(HScreenHost* application);
    ~MNetMenu() override;

    void symbolDown(uint32_t sym, uint8_t key, char typed) override;
    void update(int32_t ms) override;
    void draw() override;

    Mode mode = Mode::BROWSING;
    std::string typed;    // the address being typed
    std::string message;  // the last thing that went wrong, or happened
    int32_t chosen = 0;   // among the games found

private:
    void host();
    // Joins the game at `address` to play, or to watch.
    void join(const std::string& address, bool toWatch);
    void joinChosen(bool toWatch);
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
    std::string joining;  // "host:port", while joining
    std::string addresses;     // while hosting: where the other player joins
    bool routerAsked = false;  // while hosting: the router is asked
};
