// hgamepads.cpp: opening, reading and closing the players' gamepads.
#include "app/hgamepads.h"

HGamepads::HGamepads() : devices{}, started(false) {}

int32_t HGamepads::open() {
    if (started) return 0;
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) < 0) return 0;
    started = true;
    int32_t opened = 0;
    const int count = SDL_NumJoysticks();
    for (int i = 0; i < MAX_PADS && i < count; i++) {
        devices[i] = SDL_JoystickOpen(i);
        if (devices[i]) opened++;
    }
    if (opened == 0) close();
    return opened;
}

void HGamepads::close() {
    for (SDL_Joystick*& device : devices) {
        if (device) SDL_JoystickClose(device);
        device = nullptr;
    }
    if (started) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    started = false;
}

bool HGamepads::read(int32_t index, State& state) const {
    if (index < 0 || index >= MAX_PADS || !devices[index]) return false;
    SDL_Joystick* device = devices[index];
    // Asking SDL for an axis, hat or button the device lacks sets its error
    // text; ask only for what is there.
    const int axes = SDL_JoystickNumAxes(device);
    state.x = axes > 0 ? SDL_JoystickGetAxis(device, 0) : 0;
    state.y = axes > 1 ? SDL_JoystickGetAxis(device, 1) : 0;
    state.hat = SDL_JoystickNumHats(device) > 0 ? SDL_JoystickGetHat(device, 0) : SDL_HAT_CENTERED;
    state.buttons = 0;
    const int buttons = SDL_JoystickNumButtons(device);
    for (int b = 0; b < buttons && b < 32; b++) {
        if (SDL_JoystickGetButton(device, b)) state.buttons |= 1u << b;
    }
    return true;
}
