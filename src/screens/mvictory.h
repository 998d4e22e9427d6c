// mvictory.h: the result of a finished match, until a key after one second.
//
// Transition: the first key pressed once more than 1000 ms of updates have
// arrived -> menu (showMenu; the application switches once keyDown has
// returned).
#pragma once

#include <cstdint>

#include "app/hscreen.h"
#include "game/matchresult.h"

class HApplication;

class MVictory : public HScreen {
public:
    // Keeps a copy of the result and loads "won_l.jpg", "won_r.jpg" or
    // "remiza.jpg" for it.
    MVictory(HApplication* application, const MatchResult& result);
    ~MVictory() override;

    void keyDown(uint8_t key) override;
    void update(int32_t ms) override;
    void draw() override;

    // The picture for a result: the left player won, the right one did, or
    // neither (a draw, or a match that did not finish).
    static const char* pictureFor(const MatchResult& result);

    // The picture's quad, DISTANCE in front of the eye: as wide as a 21:9
    // window shows there (2.16 either side of the middle), so that no
    // window from 5:4 to 21:9 has black beside it; the lettering keeps to
    // the middle.
    static constexpr float DISTANCE = 2.2f;
    static constexpr float HALF_WIDTH = 2.2f;
    static constexpr float HALF_HEIGHT = 1.0f;

    MatchResult result;
    HApplication* application;
    int32_t image;    // texture index, -1 when none
    int32_t elapsed;  // ms of delivered updates; the dropped first one is not counted
};
