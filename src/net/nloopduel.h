// nloopduel.h: a whole network match between two sessions in one process,
// without a window: the host and the one who joins, each with its own world,
// and as many spectators as asked for, each with its own world too, all
// driven from one loop on the real clock.
//
// This is the game's network path as it runs (ENet, the handshake, the
// menu's messages, the lockstep, the checks, the spectators' feeds), minus
// the screens, and its matches are made as the game makes them
// (wireNetMatch): the benchmarks measure it at a distance through relays,
// and the tests check that every side ends with the same match.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "game/matchresult.h"

// One spectator of the host.
struct NLoopDuelWatcher {
    // Where it connects: the host's port, or a relay's in front of it.
    uint16_t port = 0;
    // When: -1 as soon as the players are connected, else this long after
    // the match started.
    int32_t joinAfterMs = -1;
    // From this long after the match started, it is no longer serviced at
    // all, as a hung game; -1 never.
    int32_t freezeAfterMs = -1;
};

// What became of one spectator.
struct NLoopDuelWatched {
    bool watched = false;   // it was given the match to watch
    bool finished = false;  // its world ended (a ship's health ran out)
    bool same = false;      // at the host's end ms with the host's hash
    uint32_t endMs = 0;
    uint64_t hash = 0;
    // From the START it heard until its world was first within CLOSE_MS of
    // the host's; 0 if never.
    uint32_t caughtUpAfterMs = 0;
    // Once caught up, the most its world trailed the host's, as seen at
    // each pass of the loop.
    uint32_t worstBehindMs = 0;
    // What reached it from the host once caught up: payload bytes and
    // datagrams, over this long.
    uint64_t bytes = 0;
    uint64_t packets = 0;
    uint32_t overMs = 0;
    std::string notice;  // why its connection closed, if it did
};

struct NLoopDuelResult {
    // A spectator counts as caught up within this of the host's world.
    static constexpr uint32_t CLOSE_MS = 300;

    bool connected = false;  // both reached the shared menu
    bool finished = false;   // both worlds ended (a ship's health ran out)
    bool same = false;       // both ended at the same ms with the same hash
    uint32_t endMs[2] = {};  // host, joiner
    uint64_t hash[2] = {};
    int32_t leftHealth = 0;  // the host's world
    int32_t rightHealth = 0;
    uint8_t delay = 0;       // the input delay agreed on
    // Per side: the ticks between a tick its own player was asked at and
    // the tick its ship flew by that answer (-1: no shift fits them all).
    int32_t ownLagTicks[2] = {-1, -1};
    // Per side: corrections, the ticks they stepped again, the most at once,
    // and the most CPU one advance with a correction took (microseconds).
    uint32_t rollbacks[2] = {};
    uint64_t rolledTicks[2] = {};
    uint32_t longestRollback[2] = {};
    uint32_t worstRollbackCpuUs[2] = {};
    // Per side: events handed on in time to be heard, and the ones of them a
    // later correction undid: sounds heard and taken back.
    uint32_t eventsHeard[2] = {};
    uint32_t eventsUndone[2] = {};
    int32_t rttMs = 0;       // the host's median round trip in the menu
    uint32_t outOfStepTick = 0;
    // Waiting for the other side, per side: the whole and the longest wait.
    uint64_t waitedMs[2] = {};
    uint32_t longestWaitMs[2] = {};
    uint32_t wallMs = 0;      // from the start to both ends
    // Payload bytes and packets each side sent during the match.
    uint64_t sentBytes[2] = {};
    uint64_t sentPackets[2] = {};
    // The host's thread CPU in its own service and match, over the passes
    // of the loop from the match's start to its end (microseconds).
    uint64_t hostCpuUs = 0;
    uint32_t matchPasses = 0;
    // Spectators the host dropped.
    uint32_t spectatorsDropped = 0;
    // With a vanish (below): whether it happened, and per side how long
    // after it the side lost its connection to the other player (0: it did
    // not; a joiner closes, a host waits for the next) and why.
    bool vanished = false;
    uint32_t noticedAfterMs[2] = {};
    std::string notice[2];
    // By the watchers' order.
    std::vector<NLoopDuelWatched> watched;
};

// One side vanishing without a word, as a killed game or a network that
// goes away would: `atMs` after both reached the menu (`inMenu`; the match
// is then never started) or after the match started, the side is no longer
// serviced at all; or, when `cut` is set, `cut` is called instead (e.g. a
// relay that starts dropping everything) and both sides go on. The duel
// then lasts until every side still serviced has lost the other.
struct NLoopDuelVanish {
    int32_t side = 1;  // 0 host, 1 joiner
    bool inMenu = false;
    uint32_t atMs = 0;
    std::function<void()> cut;
};

// How the loop runs beyond the two players.
struct NLoopDuelOptions {
    std::vector<NLoopDuelWatcher> watchers;
    // A pass of the loop every this many milliseconds, as the game draws a
    // frame (0: as fast as the players' match wants, every half
    // millisecond).
    int32_t frameMs = 0;
};

// Hosts on 127.0.0.1:`hostPort`, joins through 127.0.0.1:`joinPort` (the
// same port, or a relay's in front of it), waits `menuMs` in the menu for
// the round trip to be measured, then plays one match of `left` against
// `right` from `seed`, at most `limitMs` of wall time in all. Duels on
// other ports may run at the same time on other threads.
// `delay` fixes the host's input delay (as NSession::fixDelay; -1: chosen).
NLoopDuelResult playLoopDuel(uint16_t hostPort, uint16_t joinPort, ControllerChoice left, ControllerChoice right,
                             uint32_t seed, int32_t menuMs, uint32_t limitMs,
                             const NLoopDuelVanish* vanish = nullptr, int32_t delay = -1,
                             const NLoopDuelOptions* options = nullptr);
