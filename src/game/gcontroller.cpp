// gcontroller.cpp: the keyboard players.
#include "game/gcontroller.h"

#include "game/greplay.h"

const GKeyBinding GArrowKeysController::KEYS = {gkey::UP, gkey::DOWN, gkey::LEFT, gkey::RIGHT, gkey::RCTRL, 0, GKeyBinding::ANY_FIRE_BUTTON};
const GKeyBinding GWasdController::KEYS = {gkey::W, gkey::S, gkey::A, gkey::D, gkey::LCTRL, 1, GKeyBinding::ANY_FIRE_BUTTON};

GKeyboardController::GKeyboardController(const GInput* input, const GKeyBinding& binding)
    : input(input), binding(binding) {}

uint8_t GKeyboardController::flags(GWorld& world, GSide side, uint32_t tick) {
    (void)world;
    (void)side;
    (void)tick;
    if (input == nullptr) return 0;
    // No pad, or none at this index: all false, and the keys alone decide.
    GPads::Flags asked = {false, false, false, false, false};
    GPads::State state;
    if (input->pad(binding.pad, state)) asked = GPads::flagsFor(state, binding.padFire);
    uint8_t flags = 0;
    // Key 0 is no key: SDL's SDLK_UNKNOWN, never held.
    if (input->held(binding.up) || asked.up) flags |= vkr::FLAG_UP;
    if (input->held(binding.down) || asked.down) flags |= vkr::FLAG_DOWN;
    if (input->held(binding.left) || asked.left) flags |= vkr::FLAG_LEFT;
    if (input->held(binding.right) || asked.right) flags |= vkr::FLAG_RIGHT;
    if (input->held(binding.fire) || asked.fire) flags |= vkr::FLAG_FIRE;
    return flags;
}
