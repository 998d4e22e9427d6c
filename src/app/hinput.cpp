// hinput.cpp: SDL's key state and the pads into a GInput.
#include "app/hinput.h"

#include <cstring>  // Required for: memcpy, memset

#include <SDL.h>

#include "app/hgamepads.h"
#include "game/ginput.h"

static_assert(gkey::W == SDLK_w && gkey::A == SDLK_a && gkey::S == SDLK_s && gkey::D == SDLK_d, "letters are SDL's");
static_assert(gkey::UP == SDLK_UP && gkey::DOWN == SDLK_DOWN && gkey::LEFT == SDLK_LEFT && gkey::RIGHT == SDLK_RIGHT,
              "the cursor keys are SDL's");
static_assert(gkey::RCTRL == SDLK_RCTRL && gkey::LCTRL == SDLK_LCTRL, "the fire keys are SDL's");
static_assert(SDLK_LAST <= GInput::KEY_COUNT, "the snapshot holds every key symbol");

void sampleInput(GInput& input, const HGamepads* pads) {
    int count = 0;
    const Uint8* held = SDL_GetKeyState(&count);
    memset(input.keys, 0, sizeof input.keys);
    if (held != nullptr) {
        const size_t n = count < 0 ? 0 : (count > GInput::KEY_COUNT ? GInput::KEY_COUNT : count);
        memcpy(input.keys, held, n);
    }
    for (int32_t i = 0; i < GPads::MAX_PADS; i++) {
        input.padPresent[i] = pads != nullptr && pads->read(i, input.pads[i]);
    }
}
