// mmainmenu.h: the main menu, where each side's controller is chosen.
//
// Shows the backdrop, the turning logo and both ships, and under each ship
// the picture of its controller; on a keyboard choice's picture, the keys
// that player has bound, written on its caps at run time. Transitions, made by the application once
// keyDown has returned: Return with an allowed pair of choices -> match
// (startMatch); with two players on the same keys it stays, and says why
// for REFUSAL_MS in the line under the title; `s` -> the settings screen
// (showSettings); `n` -> the network screen (showNetMenu); `l` -> the
// replay screen (showReplays), which the line under the title names; `r` with a
// last match, of this run or in the working folder's file -> that match
// again (watchLastMatch). Escape -> end of the run (quit; the menu stays
// until the loop ends). Until the first key, the line under the title says
// what the settings files had wrong (fileNotices in config/settings.h), or
// what online play failed at (HScreenHost::takeOnlineNotice).
// After demoWait seconds (config/settings.h; 0 never) of updates with no
// key pressed or released and no pad button held, in a local menu -> a
// demo (startDemo), after which a new menu waits afresh.
//
// In a network game each side changes only its own choice (`o` on the host,
// `p` on the one who joined) and the other's is shown as it hears of it;
// Return marks this side ready, and the match starts when both are. A line
// of text says how the connection stands and what last happened to it, the
// round trip to the other player shows under its side, and the picture's
// hints that are not true there (the other side's key, how a match starts)
// are covered by ones that are. Escape leaves the network game.
#pragma once

#include <cstdint>
#include <string>

#include "assets/hmodel.h"
#include "game/gcontrollerkinds.h"
#include "game/matchresult.h"
#include "screens/hscreen.h"

class HScreenHost;
class MText;

class MMainMenu : public HScreen {
public:
    // Loads "menu.jpg", the pictures of the kinds of controller in the
    // order of their table ("menu1.bmp" to "menu5.bmp"), then
    // "logo.3ds", "ship2.3ds", "ship.3ds", in that order.
    explicit MMainMenu(HScreenHost* application);
    // Releases the pictures, then the models in reverse order.
    ~MMainMenu() override;

    void keyDown(uint8_t key) override;
    void keyUp(uint8_t key) override;
    void update(int32_t ms) override;
    void draw() override;

    int32_t background;       // texture index of "menu.jpg"
    int32_t sky;              // of "menu_sky.jpg", round it in windows other than 4:3; -1 until one shows it
    bool skyLooked;           // the sky has been loaded, or tried
    // One picture per kind of controller.
    static constexpr int32_t CHOICE_IMAGES = CONTROLLER_KIND_COUNT;
    // Indexed by ControllerChoice; NOT_LOADED until first shown, then the
    // texture, or -1 when it could not be read.
    int32_t choiceImages[CHOICE_IMAGES];
    static constexpr int32_t NOT_LOADED = -2;
    HModel logo;
    HModel leftShipModel;   // "ship2.3ds", the left player's
    HModel rightShipModel;  // "ship.3ds", the right player's
    float angle;            // degrees the models have turned, 0 to below 360
    HScreenHost* application;
    MText* text;  // the bound keys on the key caps, and the lines drawn at run time
    // The round trip shown, refreshed once a second so that it can be read.
    int32_t shownRttMs = -1;
    int32_t rttShownFor = 0;
    static constexpr int32_t RTT_REFRESH_MS = 1000;
    // The round trip's rating: good up to GOOD_RTT_MS, fair up to FAIR_RTT_MS.
    static constexpr int32_t GOOD_RTT_MS = 66;
    static constexpr int32_t FAIR_RTT_MS = 120;
    static const char* rating(int32_t rttMs);
    // Why Return did not start a match, shown for REFUSAL_MS of updates.
    static constexpr const char* REFUSAL = "Two players need different keys";
    static constexpr int32_t REFUSAL_MS = 1000;
    int32_t refusalLeftMs = 0;
    // What online play last failed at (a code on the command line that no
    // game has, say), in the same line until the first key.
    std::string onlineNotice;
    // Updates' time since the last key or pad button, towards the demo.
    int32_t idleMs = 0;

    // Where a keys picture was drawn, in window pixels from the bottom left;
    // found while drawing it, used by the caps drawn over it.
    struct PanelRect {
        bool shown;
        float left, top, right, bottom;
        int32_t side;  // whose binding it shows (GSide)
    };

private:
    void netKeyDown(uint8_t key);
    void drawNet();
    void drawKeyCaps(const PanelRect& panel) const;
    // The picture of one side's choice, read if not yet; -1 (no texture)
    // for a value outside the table rather than a read past it.
    int32_t choiceImage(ControllerChoice choice);
};
