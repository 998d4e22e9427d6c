// gpads.h: what a gamepad asks of a ship.
//
// Two players on one keyboard lose key presses: many keyboards cannot report
// more than a few keys held at once, and a duel holds up to six. So each
// keyboard player also follows one gamepad: the cursor-key player the first
// device, the W A S D player the second. Within each of the five flags a key
// or the pad is enough. The computer player never looks at a pad.
//
// The application reads the devices (app/hgamepads.h) into the input
// snapshot (ginput.h) once per pass; here is only what a pad's state means,
// so nothing in the game needs a device and tests hold a pad by writing one.
#pragma once

#include <cstdint>

struct GPads {
    // What one pad reports. Axis values are SDL's, -32768 to 32767.
    struct State {
        int16_t x;         // first axis (the left stick): negative left, positive right
        int16_t y;         // second axis: negative up, positive down
        uint8_t hat;       // first hat (the d-pad): HAT_UP, _RIGHT, _DOWN, _LEFT bits
        uint32_t buttons;  // bit n set while button n is held
    };

    // The five control flags one pad asks for.
    struct Flags {
        bool up, down, left, right, fire;
    };

    // Each of the two players may choose any of the first four pads.
    static constexpr int32_t MAX_PADS = 4;
    // Buttons 0 to 3 fire in a match and count as Return elsewhere: those are
    // the four face buttons on common pads, wherever each maker numbers them.
    static constexpr int32_t FIRE_BUTTONS = 4;
    static constexpr uint32_t FIRE_BUTTON_MASK = (1u << FIRE_BUTTONS) - 1;
    // A stick counts only past a third of its full deflection either way,
    // so one resting a little off centre, or pushed mostly along the other
    // axis, does not steer. A value must be past it: 10923 or more, -10923
    // or less.
    static constexpr int16_t DEAD_ZONE = 32767 / 3;
    // The hat's bits, as SDL reports them (app/hgamepads.cpp checks).
    static constexpr uint8_t HAT_UP = 0x01;
    static constexpr uint8_t HAT_RIGHT = 0x02;
    static constexpr uint8_t HAT_DOWN = 0x04;
    static constexpr uint8_t HAT_LEFT = 0x08;

    // The flags a pad in `state` asks for: the stick or the hat moves;
    // button `fireButton` fires, or with a negative one any of the first
    // FIRE_BUTTONS.
    static Flags flagsFor(const State& state, int32_t fireButton = -1);
};
