// mmainmenu.h: the main menu, where each side's controller is chosen.
//
// Transitions: Return with an allowed pair of choices -> match (startMatch);
// Escape -> end of the run (quit).
#pragma once

#include <cstdint>

#include "app/hscreen.h"
#include "app/matchresult.h"

class HApplication;

// The choices outlive every menu: a menu shown again after a match shows the
// last ones.
extern ControllerChoice leftChoice;   // 'o' cycles it; starts at W A S D
extern ControllerChoice rightChoice;  // 'p' cycles it; starts at the cursor keys

class MMainMenu : public HScreen {
public:
    explicit MMainMenu(HApplication* application);
    ~MMainMenu() override;

    void keyDown(uint8_t key) override;
    void update(int32_t ms) override;
    void draw() override;

    float angle;  // degrees the models have turned; never wrapped
    HApplication* application;
};
