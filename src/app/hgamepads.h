// hgamepads.h: the gamepads SDL finds at start-up, read for the players.
//
// SDL 1.2 reports no devices plugged in or pulled out later, so the devices
// are the ones there when the game starts: the first two that SDL lists, in
// its order. The main loop reads them into the input snapshot once per pass
// (hinput.h).
#pragma once

#include <cstdint>

#include <SDL.h>  // Required for: SDL_Joystick

#include "game/gpads.h"

class HGamepads {
public:
    static constexpr int32_t MAX_PADS = GPads::MAX_PADS;

    HGamepads();
    // Closes nothing: by the time a holder goes, SDL may be gone. close()
    // is the owner's to call.
    ~HGamepads() {}

    // Starts SDL's joystick subsystem and opens the first MAX_PADS devices.
    // Returns how many were opened. With none (no subsystem, no device, or
    // none would open) the subsystem is stopped again and the run is as it
    // would be without it. Says nothing either way: a missing pad is not a
    // fault. Call once, after the video start-up.
    int32_t open();

    // Closes every device opened and stops the subsystem; must come before
    // SDL_Quit. Safe to call when open() found nothing, and twice.
    void close();

    // The first two axes, the first hat and up to 32 buttons of pad
    // `index`, as SDL last saw them when events were pumped; false, leaving
    // `state` alone, when there is no such pad.
    bool read(int32_t index, GPads::State& state) const;

private:
    HGamepads(const HGamepads&) = delete;
    HGamepads& operator=(const HGamepads&) = delete;

    // What each open device has, asked once when it is opened: the players
    // read their pads every tick.
    struct Device {
        SDL_Joystick* joystick;
        int axes, hats, buttons;
    };
    Device devices[MAX_PADS];
    bool started;  // the joystick subsystem is ours to stop
};
