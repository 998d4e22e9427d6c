// gcontrollerkinds.h: every kind of controller a player can choose, in one
// table.
//
// A row says what a ControllerChoice means everywhere: its name (in tools'
// output and on their command lines), the menu's picture of it, whether
// both sides may choose it at once, and how to make one. A new kind of
// player is one new row; the menu's cycle, the match and the tools follow.
#pragma once

#include <cstdint>

#include "game/matchresult.h"

#include "game/gevent.h"

class GController;
struct GInput;
struct GKeyBinding;

// What a new controller may need to know: the local players read `input`
// (not owned; may be null) by `keys`, the players' bindings by GSide (the
// "left keys" are keys[SIDE_LEFT] whichever ship they fly; null: the
// defaults); the skilled ones seed their own random source from the
// match's seed and their side. The bindings come in here, where every
// match makes its controllers, so that a network match, which wraps the
// controller made here for its own side, follows them too.
struct GControllerContext {
    const GInput* input;
    uint32_t seed;
    GSide side;
    const GKeyBinding* keys = nullptr;
};

struct GControllerKind {
    ControllerChoice choice;
    const char* name;
    const char* picture;  // the menu's picture under the ship
    // Keys cannot be shared by two players; a computer can play itself.
    bool bothSides;
    // A new controller, or null without memory.
    GController* (*make)(const GControllerContext& context);
};

// Rows in the order of their choices, 0 up: the menu's `o` and `p` go
// through them in this order and round again.
extern const GControllerKind CONTROLLER_KINDS[];
constexpr int32_t CONTROLLER_KIND_COUNT = 6;

// The row of `choice`, or null for a value no row has (no controller).
const GControllerKind* controllerKind(ControllerChoice choice);
// The row named `name`, or null.
const GControllerKind* controllerKindNamed(const char* name);
// A controller for `choice`, or null: a ship nobody steers drifts and never
// fires.
GController* makeController(ControllerChoice choice, const GControllerContext& context);
