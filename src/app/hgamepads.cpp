// hgamepads.cpp: opening, reading and closing the players' gamepads.
#include "app/hgamepads.h"

static_assert(GPads::HAT_UP == SDL_HAT_UP && GPads::HAT_RIGHT == SDL_HAT_RIGHT && GPads::HAT_DOWN == SDL_HAT_DOWN &&
                  GPads::HAT_LEFT == SDL_HAT_LEFT,
              "the pads' hat bits are SDL's");

HGamepads::HGamepads() : devices{}, started(false) {}

int32_t HGamepads::open() {
    if (started) return 0;
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) < 0) return 0;
    started = true;
    int32_t opened = 0;
    const int count = SDL_NumJoysticks();
    for (int i = 0; i < MAX_PADS && i < count; i++) {
        Device& device = devices[i];
        device.joystick = SDL_JoystickOpen(i);
        if (!device.joystick) continue;
        device.axes = SDL_JoystickNumAxes(device.joystick);
        device.hats = SDL_JoystickNumHats(device.joystick);
        device.buttons = SDL_JoystickNumButtons(device.joystick);
        opened++;
    }
    if (opened == 0) close();
    return opened;
}

void HGamepads::close() {
    for (Device& device : devices) {
        if (device.joystick) SDL_JoystickClose(device.joystick);
        device = Device{};
    }
    if (started) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    started = false;
}

bool HGamepads::read(int32_t index, GPads::State& state) const {
    if (index < 0 || index >= MAX_PADS || !devices[index].joystick) return false;
    const Device& device = devices[index];
    // Asking SDL for an axis, hat or button the device lacks sets its error
    // text; ask only for what is there.
    state.x = device.axes > 0 ? SDL_JoystickGetAxis(device.joystick, 0) : 0;
    state.y = device.axes > 1 ? SDL_JoystickGetAxis(device.joystick, 1) : 0;
    state.hat = device.hats > 0 ? SDL_JoystickGetHat(device.joystick, 0) : SDL_HAT_CENTERED;
    state.buttons = 0;
    for (int b = 0; b < device.buttons && b < 32; b++) {
        if (SDL_JoystickGetButton(device.joystick, b)) state.buttons |= 1u << b;
    }
    return true;
}
