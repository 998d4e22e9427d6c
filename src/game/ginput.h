// ginput.h: what the players hold at one moment, as data.
//
// The application samples the keyboard and the pads once per pass of the
// main loop into one GInput (app/hinput.h); the local players turn it into
// flags at their ships' ticks. Nothing in the game reads a device, so a
// match stepped again for a tick of the past cannot read the keys of now,
// and a test or a tool holds a key by writing it here.
#pragma once

#include <cstdint>

#include "game/gpads.h"

// The key numbers of the keys the players use by default: SDL 1.2's key
// symbols (SDLKey), which the snapshot is indexed by. app/hinput.cpp checks
// them against SDL's own.
namespace gkey {
constexpr uint16_t W = 'w';
constexpr uint16_t A = 'a';
constexpr uint16_t S = 's';
constexpr uint16_t D = 'd';
constexpr uint16_t UP = 273;
constexpr uint16_t DOWN = 274;
constexpr uint16_t RIGHT = 275;
constexpr uint16_t LEFT = 276;
constexpr uint16_t RCTRL = 305;
constexpr uint16_t LCTRL = 306;
}  // namespace gkey

struct GInput {
    // Room for every SDL 1.2 key symbol (they end below 323).
    static constexpr int32_t KEY_COUNT = 512;

    bool held(uint32_t key) const { return key < static_cast<uint32_t>(KEY_COUNT) && keys[key] != 0; }
    // Pad `index`'s state, or false when there is no such pad.
    bool pad(int32_t index, GPads::State& state) const {
        if (index < 0 || index >= GPads::MAX_PADS || !padPresent[index]) return false;
        state = pads[index];
        return true;
    }

    uint8_t keys[KEY_COUNT] = {};  // non-zero while held, by key symbol
    bool padPresent[GPads::MAX_PADS] = {};
    GPads::State pads[GPads::MAX_PADS] = {};
};
