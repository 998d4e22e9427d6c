// nloopduel.h: a whole network match between two sessions in one process,
// without a window: the host and the one who joins, each with its own world,
// both driven from one loop on the real clock.
//
// This is the game's network path as it runs (ENet, the handshake, the
// menu's messages, the lockstep, the checks), minus the screens: the
// benchmarks measure it at a distance through a relay, and the tests check
// that both sides end with the same match.
#pragma once

#include <cstdint>

#include "app/matchresult.h"

struct NLoopDuelResult {
    bool connected = false;  // both reached the shared menu
    bool finished = false;   // both worlds ended (a ship's health ran out)
    bool same = false;       // both ended at the same ms with the same hash
    uint32_t endMs[2] = {};  // host, joiner
    uint64_t hash[2] = {};
    int32_t leftHealth = 0;  // the host's world
    int32_t rightHealth = 0;
    uint8_t delay = 0;       // the input delay agreed on
    int32_t rttMs = 0;       // the host's median round trip in the menu
    uint32_t outOfStepTick = 0;
    // Waiting for the other side, per side: the whole and the longest wait.
    uint64_t waitedMs[2] = {};
    uint32_t longestWaitMs[2] = {};
    uint32_t wallMs = 0;      // from the start to both ends
    // Payload bytes and packets each side sent during the match.
    uint64_t sentBytes[2] = {};
    uint64_t sentPackets[2] = {};
};

// Hosts on 127.0.0.1:`hostPort`, joins through 127.0.0.1:`joinPort` (the
// same port, or a relay's in front of it), waits `menuMs` in the menu for
// the round trip to be measured, then plays one match of `left` against
// `right` from `seed`, at most `limitMs` of wall time in all. Duels on
// other ports may run at the same time on other threads.
NLoopDuelResult playLoopDuel(uint16_t hostPort, uint16_t joinPort, ControllerChoice left, ControllerChoice right,
                             uint32_t seed, int32_t menuMs, uint32_t limitMs);
