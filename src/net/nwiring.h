// nwiring.h: a network match made from what a session agreed, in the one
// way the game and the loop duel (nloopduel.h) both make it.
#pragma once

#include <functional>

#include "game/gmatch.h"
#include "game/gmatchdriver.h"

class NMatch;
class NSession;
class NWatch;
struct NStart;

// The match made: its driver, which is an NMatch for a player and an NWatch
// for a spectator (the other pointer null), owned by the caller.
struct NWiredMatch {
    GMatchDriver* driver = nullptr;  // null without memory
    NMatch* player = nullptr;
    NWatch* spectator = nullptr;
    bool ships = false;  // the world has both ships
};

// Sets `match` (fresh) up from `start`'s seed and choices, the keyboard
// players reading `input` by `keys` (either may be null), and hands both
// ships to the driver `session` calls for: a player's own ship to its
// player through the lockstep and the other to the other game's flags, or,
// for a spectator, both to the flags the players' game sends. `match` and
// `session` must outlive the driver. `ownPlayer`, when set, is handed the
// own player's controller first and returns the one to fly by in its place
// (the loop duel notes what the player answered).
NWiredMatch wireNetMatch(GMatch& match, NSession& session, const NStart& start, const GInput* input,
                         const GKeyBinding* keys,
                         const std::function<GController*(GController*)>& ownPlayer = nullptr);
