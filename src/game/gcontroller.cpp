// gcontroller.cpp: the controller base and the keyboard players.
#include "game/gcontroller.h"

#include "game/gmovable.h"

GController::GController(GEngine* world, GMovable* target) : world(world), target(target) {}

GController::~GController() {}

void GController::control() {}

GKeyboardController::GKeyboardController(GEngine* world, GMovable* target, const Keys& keys)
    : GController(world, target), keys(keys) {}

void GKeyboardController::control() {
    if (target == nullptr) return;
    // One byte per SDLKey, non-zero while held. SDL owns the array.
    const Uint8* held = SDL_GetKeyState(NULL);
    target->up = held[keys.up] != 0;
    target->down = held[keys.down] != 0;
    target->left = held[keys.left] != 0;
    target->right = held[keys.right] != 0;
    target->fire = held[keys.fire] != 0;
}

GArrowKeysController::GArrowKeysController(GEngine* world, GMovable* target)
    : GKeyboardController(world, target, Keys{SDLK_UP, SDLK_DOWN, SDLK_LEFT, SDLK_RIGHT, SDLK_RCTRL}) {}

GWasdController::GWasdController(GEngine* world, GMovable* target)
    : GKeyboardController(world, target, Keys{SDLK_w, SDLK_s, SDLK_a, SDLK_d, SDLK_LCTRL}) {}
