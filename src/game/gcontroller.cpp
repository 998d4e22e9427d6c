// gcontroller.cpp: the controller base and the keyboard players.
#include "game/gcontroller.h"

#include "game/gmovable.h"
#include "game/gpads.h"

GController::GController(GWorld* world, GMovable* target) : world(world), target(target) {}

GController::~GController() {}

void GController::control() {}

GKeyboardController::GKeyboardController(GWorld* world, GMovable* target, const Keys& keys, int32_t pad)
    : GController(world, target), keys(keys), pad(pad) {}

void GKeyboardController::control() {
    if (target == nullptr) return;
    // One byte per SDLKey, non-zero while held. SDL owns the array.
    const Uint8* held = SDL_GetKeyState(NULL);
    // No pad, or none at this index: all false, and the keys alone decide.
    GPads::Flags asked = {false, false, false, false, false};
    GPads::State state;
    if (thePads && thePads->read(pad, state)) asked = GPads::flagsFor(state);
    target->up = held[keys.up] != 0 || asked.up;
    target->down = held[keys.down] != 0 || asked.down;
    target->left = held[keys.left] != 0 || asked.left;
    target->right = held[keys.right] != 0 || asked.right;
    target->fire = held[keys.fire] != 0 || asked.fire;
}

GArrowKeysController::GArrowKeysController(GWorld* world, GMovable* target)
    : GKeyboardController(world, target, Keys{SDLK_UP, SDLK_DOWN, SDLK_LEFT, SDLK_RIGHT, SDLK_RCTRL}, 0) {}

GWasdController::GWasdController(GWorld* world, GMovable* target)
    : GKeyboardController(world, target, Keys{SDLK_w, SDLK_s, SDLK_a, SDLK_d, SDLK_LCTRL}, 1) {}
