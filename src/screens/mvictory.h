// mvictory.h: the result of a finished match, until a key after one second.
//
// Transition: any key once more than 1000 ms of updates have arrived -> menu.
#pragma once

#include <cstdint>

#include "app/hscreen.h"
#include "app/matchresult.h"

class HApplication;

class MVictory : public HScreen {
public:
    MVictory(HApplication* application, const MatchResult& result);
    ~MVictory() override;

    void keyDown(uint8_t key) override;
    void update(int32_t ms) override;
    void draw() override;

    MatchResult result;
    HApplication* application;
    int32_t image;    // texture index, -1 when none
    int32_t elapsed;  // ms of delivered updates; the dropped first one is not counted
};
