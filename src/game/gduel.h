// gduel.h: one seeded match between two controller kinds, without a window,
// played to its end.
//
// The world is set up from the seed exactly as a local match sets it up
// (GWorld::setUpMatch, then makeController for the left ship and the right
// one), so a duel is the match the game would play with those choices and
// that seed.
#pragma once

#include <cstdint>

#include "game/gevent.h"
#include "game/gmatchstats.h"
#include "game/matchresult.h"

struct GDuel {
    // Match time after which a duel stops and counts as a draw: 10 minutes.
    static constexpr uint32_t MAX_MATCH_MS = 10u * 60u * 1000u;

    uint32_t ms = 0;           // match time played
    GSide winner = SIDE_NONE;  // SIDE_NONE for a draw, a cut-off included
    int32_t leftHealth = 0;
    int32_t rightHealth = 0;
    // Counted from the events as the match is played: a duel only steps
    // forward, so they come once each (gmatchstats.h).
    GMatchStats stats;
};

GDuel playDuel(ControllerChoice left, ControllerChoice right, uint32_t seed, uint32_t maxMs = GDuel::MAX_MATCH_MS);
