// gengine.h: the match screen: it draws the match its owner shows and
// passes the keys and the time on.
//
// The match and everything done with it belong to its owner outside the
// screen (gshownmatch.h; the application's is app/hmatchowner.h): set-up,
// steps, replay, result. The screen draws the world through its view, the
// owner's events through the view's effects, a mark in the corner for a
// replay or a watched match, the notices over the match, and, when asked,
// one line on how the network carries it.
//
// Keys: Escape and 'p' go to the owner (and any key while the wreck plays);
// NET_PANEL_KEY shows or hides the network line, in every network match
// from then on; in a demo it is a key like any other, and goes to the
// owner. Every key goes to the owner's seekKey first (a replay's seeking
// keys) by its full symbol. The screen asks for no switch of its own: the
// owner does.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "game/gmatch.h"
#include "screens/gshownmatch.h"
#include "screens/gview.h"
#include "screens/hscreen.h"

class HScreenHost;
class MText;

class GEngine : public HScreen {
public:
    // The mark shown in the corner while a replay plays.
    static constexpr const char* REPLAY_PICTURE = "replay.bmp";
    // Shows or hides the network line: F3, which no setting can bind.
    static constexpr uint32_t NET_PANEL_KEY = 284;  // SDLK_F3
    // The network line shows in every network match once asked for.
    static bool netPanelShown;

    // Loads the view's six models and the backdrop for `shown`'s match, set
    // up already, and listens to its events. Neither pointer is owned;
    // `host` may be null (tests), `shown` must outlive this screen.
    GEngine(HScreenHost* host, GShownMatch* shown);
    ~GEngine() override;

    GEngine(const GEngine&) = delete;
    GEngine& operator=(const GEngine&) = delete;

    void keyDown(uint8_t key) override;
    void symbolDown(uint32_t sym, uint8_t key, char typed) override;
    // Ages the pictures, hands `ms` to the owner, eases the corrected ships.
    void update(int32_t ms) override;
    void draw() override;
    // While the match is held and was drawn held: nothing steps, the
    // pictures do not age and no ship eases. The network line moves by
    // itself, so a match showing it is drawn every frame.
    bool unchanged() const override;
    // Over the match as drawn, last: PAUSED and the key that ends the pause
    // while the match is held; in a network match, that the other player
    // is awaited once a wait has lasted over WAIT_NOTICE_MS; the spectator's
    // mark and who flies each ship; the network line.
    void drawNotices();
    static constexpr uint32_t WAIT_NOTICE_MS = 250;
    // While a replay is watched (GShownMatch::replayBar): a band along the
    // bottom of the window, under the replay's mark, with the time (elapsed
    // / length, m:ss), a track with each hit marked in its hitter's colour
    // (the effects', from the health bars) and where the replay stands, and
    // the speed when it is not the normal one (greplaybar.cpp).
    void drawReplayBar();
    // `ms` as m:ss, the seconds cut down (h:mm:ss from an hour on).
    static std::string clockText(uint32_t ms);

    bool paused() const { return shown->paused(); }
    bool wrecking() const { return shown->wrecking(); }
    GShip* rightShip() const { return match.world.rightShip(); }
    GShip* leftShip() const { return match.world.leftShip(); }

    GShownMatch* shown;  // not owned
    GMatch& match;       // the shown match's
    GView view;
    HScreenHost* application;  // not owned

private:
    int32_t replayMark;  // texture of REPLAY_PICTURE while replaying, else -1
    std::unique_ptr<MText> noticeText;  // the notices' font, loaded when one first shows
    bool drawnHeld = false;     // the last frame showed the match paused,
    uint32_t drawnTicks[2] = {0, 0};  // at these ships' ticks
};
