// gengine.h: the match screen.
//
// Transitions: Escape -> menu (showMenu); a ship's health used up -> result
// (showResult, from inside update).
#pragma once

#include <cstdint>

#include "app/hscreen.h"
#include "app/matchresult.h"

class HApplication;

class GEngine : public HScreen {
public:
    explicit GEngine(HApplication* application);
    ~GEngine() override;

    void setUpMatch(ControllerChoice left, ControllerChoice right);

    void keyDown(uint8_t key) override;
    void update(int32_t ms) override;
    void draw() override;

    HApplication* application;
    ControllerChoice leftChoice;
    ControllerChoice rightChoice;
};
