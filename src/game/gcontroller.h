// gcontroller.h: where a ship's five control flags come from, tick by tick,
// and the two keyboard players.
//
// A controller is a flag source: at the start of each of its ship's ticks
// the match (GMatch) asks it for the flags (vkr::FLAG_* bits) the ship flies
// by in that tick, notes the answer down and hands it to the ship. It never
// touches the ship itself. The kinds: a local player reading the input
// snapshot (GKeyboardController), a computer player reading the world
// (GAiController, GSkilledController), the notes of a recording
// (GReplayController), and the other machine (net/nmatch.cpp). Controllers
// live outside the world: the match owns them.
//
// State. Whatever a controller keeps from one tick to the next is part of
// the match, as much as a ship's position: save() copies all of it into a
// GControllerState and restore() puts it back, so that a match stepped
// again from a saved state asks the same questions and gets the same
// answers. A controller that answers from its arguments alone keeps nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>      // Required for: memcpy
#include <type_traits>  // Required for: std::is_trivially_copyable

#include "game/gevent.h"
#include "game/ginput.h"

class GWorld;

// A controller's state as plain bytes: a value that can be copied and kept.
struct GControllerState {
    // The largest state: a skilled player's ring of observations.
    static constexpr size_t CAPACITY = 9 * 1024;

    template <class T>
    void put(const T& value) {
        static_assert(std::is_trivially_copyable<T>::value, "a state is copied as bytes");
        static_assert(sizeof(T) <= CAPACITY, "the state must fit");
        memcpy(bytes, &value, sizeof value);
        size = sizeof value;
    }
    // False, leaving `value` alone, when the bytes are not a T's.
    template <class T>
    bool get(T& value) const {
        if (size != sizeof value) return false;
        memcpy(&value, bytes, sizeof value);
        return true;
    }

    uint32_t size = 0;
    alignas(8) unsigned char bytes[CAPACITY];
};

class GController {
public:
    virtual ~GController() {}

    // The flags ship `side` flies by in its tick `tick` (1, 2, ...), asked
    // once per tick at the start of the ship's movement step, in the middle
    // of a world step: `world` is as it stands then, and a computer player
    // may draw from world.random. Bits above vkr::FLAG_MASK are dropped.
    virtual uint8_t flags(GWorld& world, GSide side, uint32_t tick) = 0;

    // Copies everything the controller keeps into `state`; the base keeps
    // nothing.
    virtual void save(GControllerState& state) const { state.size = 0; }
    // Puts back what save() copied. False for a state another kind saved.
    virtual bool restore(const GControllerState& state) { return state.size == 0; }
};

// Which keys and which pad one local player follows. Keys are SDL key
// symbols (gkey), 0 for none; the pad an index into the snapshot's pads,
// -1 for none; padFire the button that fires, or ANY_FIRE_BUTTON for any
// of the first GPads::FIRE_BUTTONS, as it was before buttons could be
// chosen.
struct GKeyBinding {
    static constexpr int32_t ANY_FIRE_BUTTON = -1;
    uint16_t up, down, left, right, fire;
    int32_t pad;
    int32_t padFire;
};

// A player at this machine: a flag is set when its key is held in the
// snapshot or the player's pad asks for it. Holding both keys of a pair is
// allowed: the movement step decides (down beats up, right beats left).
class GKeyboardController : public GController {
public:
    // `input` is not owned and may be null (nothing held); whoever samples
    // it keeps it current.
    GKeyboardController(const GInput* input, const GKeyBinding& binding);
    uint8_t flags(GWorld& world, GSide side, uint32_t tick) override;

    const GInput* input;
    GKeyBinding binding;
};

// The "right keys": by default the cursor keys, right Ctrl fires, and the
// first gamepad, so that with one pad the right player takes it while the
// left keeps W A S D.
class GArrowKeysController : public GKeyboardController {
public:
    static const GKeyBinding KEYS;
    explicit GArrowKeysController(const GInput* input, const GKeyBinding& keys = KEYS) : GKeyboardController(input, keys) {}
};

// The "left keys": by default W A S D, left Ctrl fires, and the second
// gamepad.
class GWasdController : public GKeyboardController {
public:
    static const GKeyBinding KEYS;
    explicit GWasdController(const GInput* input, const GKeyBinding& keys = KEYS) : GKeyboardController(input, keys) {}
};
